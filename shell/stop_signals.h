// SIGINT and SIGTERM as requests to stop: the runs check for one once per
// pass and finish in their own way (the window restores the desktop, a
// capture closes its files), so a signal never leaves a half-written file or
// a full-screen window behind. A second signal of the same kind ends the
// process at once, for a run that is stuck.
#pragma once

void InstallStopSignals();
// The signal that asked to stop, or 0 while none has.
int StopSignal();
// The exit status for a run stopped by `signal`: 128 + its number.
int StopSignalExitStatus(int signal);
