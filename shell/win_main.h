// The interactive run: the window, the device on it, the demo, the exit.
#pragma once

#include "shell/command_line.h"

// Returns -1 when the window cannot be made; otherwise the process ends in
// ExitDemo and this does not return.
int WinMain(const SOptions& options);
