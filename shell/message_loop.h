// The window's messages: what ends the run (a key press, a quit request,
// closing the window) and the exit sequence.
#pragma once

#include <SDL.h>

// The GL context of the window; released by the exit sequence.
extern SDL_GLContext g_glContext;

// Handles one message that does not end the run. Closing the window asks
// for the quit that ends it at the next pump.
int WindowProc(const SDL_Event& event);

// Handles every waiting message and returns 0 once none is left. Does not
// return when it meets a quit request or a key press other than the system
// keys (F10, Alt, anything pressed with Alt held).
int PumpWindowMessages();

// True when closing the window or a quit request is waiting, without taking
// any message from the queue: the run checks it once per pass, so that it
// ends even when no "beginScene" pumps messages. Keys stay in the queue for
// the pump, as before.
bool QuitWaiting();

// The status ExitDemo ends the process with (0 unless set).
void SetDemoExitStatus(int status);

// Releases the device, the Direct3D object and the window, and ends the
// process. The music is left to the end of the process.
[[noreturn]] void ExitDemo();
