// Creates the process-wide Direct3D object and the 1024 x 768 device without
// a depth buffer, on the GL context current on this thread.
#pragma once

#include <string>

// Sets g_direct3d and g_device. False, with the reason in *error, when the
// context cannot carry the device (then neither is set).
// ReleaseDisplayDevice (shell_globals.h) undoes it.
bool CreateDisplayDevice(void* focusWindow, std::string* error);
