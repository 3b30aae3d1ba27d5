// Where a program the runs hand work to (ffmpeg, ffprobe) is installed,
// looked up the way the shell does, so that a missing one is named before
// anything is rendered.
#pragma once

#include <string>

// The executable file `program` names in the first of PATH's directories
// that holds one, or empty when none does.
std::string ProgramPath(const char* program);
