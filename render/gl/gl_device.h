// The device that draws with OpenGL 3.3 core. This header carries no GL
// types: the shell creates the GL context (a window, or a headless EGL
// context) and talks to the device through these functions and those of
// the raster device.
#pragma once

#include <memory>
#include <string>

#include "render/core/raster_direct3d.h"

// Requires a current OpenGL 3.3 core context on this thread. CreateDevice
// fails with D3DERR_NOTAVAILABLE (and a reason in RasterDeviceLastError)
// when the context cannot do what the device needs.
IDirect3D8* Direct3DCreate8(UINT sdkVersion);

// The GL_RENDERER string of the context current on this thread (the shell
// picks the CPU backend over a software one).
std::string CurrentGLRenderer();

// A GL 3.3 core context without any display (EGL, surfaceless platform).
class CHeadlessGLContext {
public:
    // Null, with a reason in *error, when no such context can be made.
    static std::unique_ptr<CHeadlessGLContext> Create(std::string* error);
    virtual ~CHeadlessGLContext() = default;
    virtual void MakeCurrent() = 0;
};
