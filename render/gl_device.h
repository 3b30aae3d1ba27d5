// The device that draws with OpenGL 3.3 core. This header carries no GL
// types: the shell creates the GL context (a window, or a headless EGL
// context) and talks to the device only through these functions.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "render/d3d8.h"

// How Present reaches the user.
struct SPresentTarget {
    // Window size in pixels, for scaling the 1024 x 768 back buffer with its
    // aspect kept. Null when there is no window (headless).
    std::function<void(int* width, int* height)> drawableSize;
    // Shows what was drawn to the default framebuffer (swaps buffers).
    std::function<void()> swap;
    // Called with every presented frame when set: RGBA8, rows top first.
    std::function<void(const uint8_t* rgba, int width, int height)> onFrame;
};

// Requires a current OpenGL 3.3 core context on this thread. CreateDevice
// fails with D3DERR_NOTAVAILABLE (and a reason in GLDeviceLastError) when
// the context cannot do what the device needs.
IDirect3D8* Direct3DCreate8(UINT sdkVersion);
const std::string& GLDeviceLastError();

// Extensions for the shell and tests; the argument must come from
// CreateDevice above.
void GLDeviceSetPresentTarget(IDirect3DDevice8* device, SPresentTarget target);
// Blocks until the GPU has finished everything submitted so far.
void GLDeviceFinish(IDirect3DDevice8* device);
// The back buffer now (after pending draws): RGBA8, rows top first.
void GLDeviceReadBackBuffer(IDirect3DDevice8* device, std::vector<uint8_t>* rgba);
// Frames presented so far, and GPU draw calls issued so far.
uint64_t GLDevicePresentCount(IDirect3DDevice8* device);
uint64_t GLDeviceDrawCallCount(IDirect3DDevice8* device);

// A GL 3.3 core context without any display (EGL, surfaceless platform).
class CHeadlessGLContext {
public:
    // Null, with a reason in *error, when no such context can be made.
    static std::unique_ptr<CHeadlessGLContext> Create(std::string* error);
    virtual ~CHeadlessGLContext() = default;
    virtual void MakeCurrent() = 0;
};
