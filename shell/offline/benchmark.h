// --benchmark: the fixed-step run as fast as the GPU allows, timed per frame
// and per effect.
#pragma once

#include "shell/command_line.h"

// The process exit status.
int RunBenchmark(const SOptions& options);
