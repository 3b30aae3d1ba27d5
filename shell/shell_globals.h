// The process-wide handles of the shell, each set once at start-up.
#pragma once

#include "shell/timer.h"

struct SDL_Window;
class IDirect3D8;

// The window; null when running headless (capture, benchmark).
extern SDL_Window* g_window;
// The Direct3D object the device was made from.
extern IDirect3D8* g_direct3d;
// The frame clock of the main loop. Capture and benchmark give it a fixed
// step counter before the run.
extern CTimer g_timer;

// Releases g_device, then g_direct3d, and clears both.
void ReleaseDisplayDevice();
