#include "shell/shell_globals.h"

#include "render/d3d8.h"

SDL_Window* g_window = nullptr;
IDirect3D8* g_direct3d = nullptr;
CTimer g_timer;

void ReleaseDisplayDevice() {
    if (g_device) g_device->Release();
    g_device = nullptr;
    if (g_direct3d) g_direct3d->Release();
    g_direct3d = nullptr;
}
