// The presentation played in the window: in real time with the music, until
// the timeline ends, a key is pressed, the window is closed or a signal
// comes. With --start or --end the timeline before the start is simulated
// at the fixed step of --fps without being shown, and the run plays on from
// there with the music from the same moment.
#pragma once

#include "shell/command_line.h"

class CRasterDevice;

// The process exit status: 0, 1 when the run could not start or the
// timeline ended before --start, 128 + the signal's number for a signal.
int RunInteractive(const SOptions& options, CRasterDevice* device);
