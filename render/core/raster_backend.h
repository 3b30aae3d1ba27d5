// The narrow interface between the device and whatever rasterises for it.
// The device does all vertex work on the CPU; a backend receives finished
// screen-space triangles, the stage-0 and blend state to draw them with, and
// manages the images (textures, render targets, the back buffer). Nothing
// here knows about OpenGL, so a CPU rasteriser can implement it too.
#pragma once

#include <cstddef>
#include <cstdint>

#include "render/core/raster_state.h"
#include "render/d3d8.h"

// A vertex after transform, lighting, clipping and the viewport: x, y in
// pixels of the target with pixel centres on integers (Direct3D's rule),
// y growing downwards, up to kGuardBandPixels (vertex_pipeline.h) outside
// the target, which the backend clips to; z the depth 0..1; rhw = 1 / clip
// w, for perspective-correct interpolation. Colour channels are 0..1.
struct SRasterVertex {
    float x, y, z, rhw;
    float r, g, b, a;
    float u, v;
};

struct SRasterRect {
    int x, y, width, height;
};

// Images are RGBA8 with rows in Direct3D order (row 0 is the top); pixel
// bytes in memory are blue, green, red, alpha, as A8R8G8B8 lays them out.
class IRasterBackend {
public:
    virtual ~IRasterBackend() = default;

    // Id 0 is never returned; it names "no image". Returns 0 on failure.
    virtual uint32_t CreateImage(int width, int height) = 0;
    virtual void DestroyImage(uint32_t image) = 0;
    // Replaces the whole image from BGRA rows `pitch` bytes apart.
    virtual void UploadImage(uint32_t image, const uint8_t* bgra, int pitch) = 0;
    // The whole image into BGRA rows `pitch` bytes apart (at least 4 x its
    // width), as many rows as it has.
    virtual void DownloadImage(uint32_t image, uint8_t* bgra, int pitch) = 0;

    virtual void SetTarget(uint32_t image) = 0;
    // Clears the rectangle (the whole target when null) of the current target.
    virtual void Clear(D3DCOLOR color, const SRasterRect* rect) = 0;
    // `count` vertices, three per triangle, into the current target, in a
    // normalised state (NormalisedRasterState).
    virtual void DrawTriangles(const SRasterState& state, const SRasterVertex* vertices,
                               size_t count) = 0;
    // Copies a rectangle between images of the same format, pixel for pixel.
    virtual void CopyRect(uint32_t source, const SRasterRect& rect, uint32_t dest, int destX,
                          int destY) = 0;
    virtual void Finish() = 0;
    // Draw calls issued to the rasteriser so far.
    virtual uint64_t DrawCallCount() const = 0;
};
