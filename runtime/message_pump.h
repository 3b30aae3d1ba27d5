// Where a frame meets the world outside it. A run installs its pump for its
// length: "beginScene" pumps the window's messages through it every frame,
// and the effect manager asks it between layers whether the run is to end
// (a key the pump met, a closed window, a signal). Nothing ends anything at
// once: a request ends the pass after the layer that saw it, and the run
// that owns the loop ends. Without a pump (tests, tools) nothing is pumped
// and nothing stops.
#pragma once

class IMessagePump {
public:
    virtual ~IMessagePump() = default;
    // Handles every waiting message.
    virtual void Pump() = 0;
    // Whether the run is to end. Asked between every two layers: cheap.
    virtual bool StopRequested() = 0;
};

// Not owned; null removes it.
void SetMessagePump(IMessagePump* pump);
// The installed pump's; 0, as the frame's message pump returns.
int PumpMessages();
bool StopRequested();
