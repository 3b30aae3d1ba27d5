// --capture and --video: the fixed-step run headless, one frame per pass of
// the main loop, to DIR/NNNNNN.png and DIR/audio.wav, to a video made by
// ffmpeg while it renders, or to both.
#pragma once

#include "shell/command_line.h"

// The process exit status: 0 when everything was written, 1 when something
// could not be, 128 + the signal's number when SIGINT or SIGTERM stopped
// the run (what was made so far is complete).
int RunCapture(const SOptions& options);
