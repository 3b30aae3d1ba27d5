// --sound FILE: the sound of a fixed-step run without drawing it, byte for
// byte the audio.wav that --capture writes for the same options, so that a
// video made in pieces can take the whole run's sound at once.
#pragma once

#include "shell/command_line.h"

// The process exit status: 0 when FILE was written, 1 when it could not be,
// 128 + the signal's number when SIGINT or SIGTERM stopped it (nothing is
// left under FILE's name then).
int RunSound(const SOptions& options);
