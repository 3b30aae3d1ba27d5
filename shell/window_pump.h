// The window's messages in a played run: a key press (other than the system
// keys F10, Alt, anything pressed with Alt held), a quit request or closing
// the window ends it, and so does SIGINT or SIGTERM. Each is recorded as a
// stop request: the pass ends after the layer that met it and the run
// returns its status.
#pragma once

#include <SDL.h>

#include "runtime/message_pump.h"

// Handles one message that does not end the run. Closing the window asks
// for the quit that ends it at the next pump.
int WindowProc(const SDL_Event& event);

// True when closing the window or a quit request is waiting, without taking
// any message from the queue, so that a run ends even when no "beginScene"
// pumps messages. Keys stay in the queue for the pump.
bool QuitWaiting();

class CWindowPump : public IMessagePump {
public:
    // Handles every waiting message; a key press or a quit request is
    // recorded and stops the pumping.
    void Pump() override;
    // A recorded message, a signal, or (looked at every few milliseconds,
    // since it asks the display) a close or quit waiting.
    bool StopRequested() override;
    // 128 + the signal's number when a signal stopped the run, else 0.
    int ExitStatus() const;

private:
    bool m_ended = false;
    uint32_t m_lastLook = 0;  // SDL ticks of the last look at the queue
};
