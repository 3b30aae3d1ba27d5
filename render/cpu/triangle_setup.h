// A screen-space triangle made ready for drawing rows: its corners snapped
// to the sub-pixel grid for coverage, and the planes its attributes are
// interpolated on. Plain data: the span kernels read it in translation
// units built for other instruction sets.
#pragma once

#include <cstdint>

struct SRasterVertex;

// Corners are snapped to 1/256 pixel (round half up); coverage is decided
// exactly on that grid.
constexpr int kSubPixelBits = 8;
constexpr int kSubPixels = 1 << kSubPixelBits;
// Pixel centres lie on integers. A pixel is covered when the point
// (x + 2/256, y + 1/256) lies inside the triangle, boundaries half open
// (left and top in, right and bottom out), and when an edge runs exactly
// through its centre, when the triangle lies right of that edge (below it
// if horizontal): Direct3D's top-left rule. The point a hair right of and
// below the centre decides ties the top-left way for every edge steeper
// than 1:2 by itself; it is the same point the OpenGL backend samples at
// (it must shift Direct3D's centres by a hair less than OpenGL's half
// pixel), so that both backends cover alike where an edge passes within a
// hair of a centre.
constexpr int kSampleX = 2;
constexpr int kSampleY = 1;
// Corners farther out than this are refused, so that every coverage sum is
// exact in a double (the device clips to the target, well inside it).
constexpr float kMaxCoordinate = 16384.0f;

// value(x, y) = dx * (x - refX) + dy * (y - refY) + atRef, at pixel centres.
// Working from a pixel next to the triangle keeps the terms small, so that
// a texture drawn one to one lands exactly on texel centres.
struct SPlane {
    float dx, dy, atRef;
};

enum EPlane { kPlaneQ, kPlaneR, kPlaneG, kPlaneB, kPlaneA, kPlaneU, kPlaneV, kPlaneCount };

struct STriangle {
    int32_t x[3], y[3];  // snapped corners, top (smallest y) first
    int32_t rowBegin, rowEnd;  // rows whose sample points may be covered, inside the target
    int32_t refX, refY;
    uint32_t command;  // index of the draw it belongs to
    bool longEdgeLeft;  // the edge from corner 0 to corner 2 bounds rows on the left
    // Colour equal at all corners: flatColour holds it as 8-bit B, G, R, A
    // and the colour planes are unset.
    bool flat;
    // 1/w differs between corners: the planes hold q = 1/w and
    // attribute x q, divided by q at each pixel. Otherwise they hold the
    // attributes themselves and q is unset.
    bool perspective;
    uint8_t flatColour[4];
    SPlane planes[kPlaneCount];
};

// Fills *out from three vertices; false when the triangle covers no pixel
// centre of a width x height target (or its corners are not finite or too
// far out). Texture planes are set only when `textured`.
bool SetupTriangle(const SRasterVertex* v, bool textured, int width, int height, uint32_t command,
                   STriangle* out);

// A colour channel 0..1 as 8 bits: clamped, then rounded to nearest. The
// span kernels round the same way.
uint8_t QuantiseChannel(float value);
