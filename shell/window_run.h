// The runs in a window (the default, and --author): the window, what draws
// in it, the run, and the window closed again.
#pragma once

#include "shell/command_line.h"

// The process exit status: 1, said in a message box, when the window or
// the device cannot be made; otherwise the run's own.
int RunInWindow(const SOptions& options);
