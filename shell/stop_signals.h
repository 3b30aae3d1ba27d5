// SIGINT and SIGTERM as requests to stop: a run sees one between two layers
// and finishes in its own way (the window restores the desktop, a capture
// closes its files), so a signal never leaves a half-written file or a
// full-screen window behind, and a frame however slow delays it by one
// layer at most. A second signal of the same kind ends the process at once,
// for a run that is stuck.
#pragma once

#include "runtime/message_pump.h"

void InstallStopSignals();
// The signal that asked to stop, or 0 while none has.
int StopSignal();
// The exit status for a run stopped by `signal`: 128 + its number.
int StopSignalExitStatus(int signal);

// What stops a run without a window: SIGINT and SIGTERM alone.
class CSignalPump : public IMessagePump {
public:
    void Pump() override {}
    bool StopRequested() override { return StopSignal() != 0; }
};
