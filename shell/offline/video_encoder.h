// Turns a capture directory (NNNNNN.png frames and audio.wav) into a video
// file with ffmpeg, when it is installed.
#pragma once

#include <string>

// True when `program` is an executable file in one of PATH's directories.
bool ProgramInstalled(const char* program);

// Runs ffmpeg and waits for it. False, with the reason in *error, when it
// cannot be started or fails.
bool EncodeVideo(const std::string& captureDir, int fps, const std::string& videoFile, std::string* error);
