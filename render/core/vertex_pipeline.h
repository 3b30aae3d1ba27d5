// The fixed-function vertex work Direct3D does with software vertex
// processing: world x view x projection, lighting, primitives to triangles,
// clipping to the view volume, culling and the viewport. It produces the
// screen-space triangles a raster backend draws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "render/d3d8.h"
#include "render/core/raster_backend.h"

constexpr int kMaxLights = 8;

// Triangles are clipped in x and y only where they reach this far past the
// target's edges (a guard band); within it the backend clips while drawing.
constexpr float kGuardBandPixels = 4096.0f;

struct SFixedFunctionState {
    D3DMATRIX world{};
    D3DMATRIX view{};
    D3DMATRIX projection{};
    bool lighting = true;
    D3DCOLOR ambient = 0;
    D3DMATERIAL8 material{};
    D3DLIGHT8 lights[kMaxLights]{};
    bool lightEnabled[kMaxLights]{};
    D3DCULL cull = D3DCULL_CCW;
};

// Where each component sits in a vertex of a flexible vertex format.
struct SVertexLayout {
    int stride = 0;   // bytes the format needs
    int normal = -1;  // byte offsets, -1 when absent
    int diffuse = -1;
    int texCoord = -1;
};

// A vertex in homogeneous clip space (Direct3D's: -w <= x, y <= w,
// 0 <= z <= w) with its lit colour and texture coordinates.
struct SClipVertex {
    float x, y, z, w;
    float r, g, b, a;
    float u, v;
};

// A draw's working space, kept by the caller from draw to draw so that its
// vectors are not made anew for every draw.
struct SPrimitiveScratch {
    std::vector<SClipVertex> clip;
    std::vector<unsigned> codes;  // clipping outcodes
    std::vector<SRasterVertex> screen;
};

// False for formats without a position or with components this device
// does not draw (only XYZ, NORMAL, DIFFUSE and TEX1 are known).
bool DescribeVertexFormat(DWORD fvf, SVertexLayout* layout);

// Vertices a primitive list reads; 0 for a type that is not drawn as
// triangles (points and lines) or a count of 0.
uint64_t TriangleVertexCount(D3DPRIMITIVETYPE type, uint64_t primitiveCount);

// Appends the visible triangles of one draw (three vertices each) to `out`.
// `vertices` holds exactly TriangleVertexCount(type, primitiveCount)
// vertices, `stride` bytes apart, laid out as `layout` says.
void ProcessPrimitives(const SFixedFunctionState& state, int targetWidth, int targetHeight,
                       const uint8_t* vertices, int stride, const SVertexLayout& layout,
                       D3DPRIMITIVETYPE type, uint32_t primitiveCount, SPrimitiveScratch* scratch,
                       std::vector<SRasterVertex>* out);
