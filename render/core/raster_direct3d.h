// The Direct3D object whose devices draw through a raster backend, and the
// extensions the shell and tests use on such a device. Nothing here knows
// which backend stands behind the device.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "render/core/raster_backend.h"
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

// Makes the backend for a new device; null, with the reason in *error, when
// it cannot be made.
using RasterBackendFactory = std::function<std::unique_ptr<IRasterBackend>(std::string* error)>;

// CreateDevice fails with D3DERR_NOTAVAILABLE (and a reason in
// RasterDeviceLastError) when the factory cannot make a backend.
IDirect3D8* CreateRasterDirect3D(RasterBackendFactory factory);
const std::string& RasterDeviceLastError();

// The device argument must come from such a Direct3D object's CreateDevice.
void RasterDeviceSetPresentTarget(IDirect3DDevice8* device, SPresentTarget target);
// Blocks until the backend has finished everything submitted so far.
void RasterDeviceFinish(IDirect3DDevice8* device);
// The back buffer now (after pending draws): RGBA8, rows top first.
void RasterDeviceReadBackBuffer(IDirect3DDevice8* device, std::vector<uint8_t>* rgba);
// A hidden device shows nothing (Present does nothing) and may drop drawing
// that reaches only the back buffer, without its vertex work, where a later
// full clear of the back buffer wipes it; what it kept is drawn when the
// back buffer is read, shown or copied, when a texture a kept draw samples
// changes, and when the device is shown again, so the back buffer then holds
// exactly what it would have. Render targets are drawn as always. For runs
// that only simulate the frames before the first one shown.
void RasterDeviceSetHidden(IDirect3DDevice8* device, bool hidden);
// Everything about a device that drawing changes: render and stage states,
// transforms, material and lights, the bound texture and stream, the target,
// the pixels of the back buffer, of render targets and of textures copied
// into, and what a hidden device holds back. Taken and put back to return a
// run to an earlier moment; the textures and buffers it names must outlive it.
struct SRasterDeviceState;
// Draws now whatever a hidden device has held back; with exceptBackBuffer,
// what it holds for a back buffer it clears before anything reads it is left
// held back (a state saved then need not keep the back buffer's pixels).
void RasterDeviceDrawHeldBack(IDirect3DDevice8* device, bool exceptBackBuffer);
std::shared_ptr<const SRasterDeviceState> RasterDeviceSaveState(IDirect3DDevice8* device);
void RasterDeviceLoadState(IDirect3DDevice8* device, const SRasterDeviceState& state);
// Frames presented so far, and backend draw calls issued so far.
uint64_t RasterDevicePresentCount(IDirect3DDevice8* device);
uint64_t RasterDeviceDrawCallCount(IDirect3DDevice8* device);
