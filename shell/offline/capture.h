// --capture: every presented frame to DIR/NNNNNN.png, the music to
// DIR/audio.wav, optionally both into a video with ffmpeg.
#pragma once

#include "shell/command_line.h"

// The process exit status: 0 when everything was written.
int RunCapture(const SOptions& options);
