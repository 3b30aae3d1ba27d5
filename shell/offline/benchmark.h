// --benchmark: the fixed-step run headless as fast as the renderer allows,
// timed by whole frames; with --per-effect a run of its own timed effect by
// effect.
#pragma once

#include "shell/command_line.h"

// The process exit status.
int RunBenchmark(const SOptions& options);
