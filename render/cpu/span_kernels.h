// The row-drawing kernels: one per combination of texture filter,
// perspective, flat colour and blend pair, built once for SSE2 and once for
// AVX2 from one source (span_kernels.inc). Both give the same bytes: the
// arithmetic is the same integer and IEEE float operations lane by lane,
// with no fused multiply-add.
#pragma once

#include <cstddef>
#include <cstdint>

#include "render/cpu/triangle_setup.h"

enum ETextureMode { kTexNone, kTexPoint, kTexLinear, kTexModeCount };

// The blend pairs the effects use get kernels of their own; the rest share
// one that works the factors out per pixel.
enum EBlendMode {
    kBlendOff,
    kBlendZeroSrcAlpha,
    kBlendSrcAlphaInvSrcAlpha,
    kBlendSrcAlphaOne,
    kBlendOneOne,
    kBlendSrcAlphaSrcAlpha,
    kBlendGeneric,
    kBlendModeCount
};

// Texture addressing along one axis.
enum EAddress : uint8_t { kAddressWrapMask, kAddressWrap, kAddressClamp };

// Stage-0 operations as the kernels see them (arguments are 1 for the
// texture, 0 for the diffuse colour).
enum ECombine : uint8_t { kCombineArg1, kCombineArg2, kCombineModulate, kCombineBlendDiffuseAlpha };

// Blend factors in Direct3D's order (D3DBLEND value - 1).
enum EFactor : uint8_t {
    kFactorZero,
    kFactorOne,
    kFactorSrcColour,
    kFactorInvSrcColour,
    kFactorSrcAlpha,
    kFactorInvSrcAlpha,
    kFactorDestAlpha,
    kFactorInvDestAlpha,
    kFactorDestColour,
    kFactorInvDestColour
};

// Everything a kernel needs besides the triangle, fixed for one draw.
struct SDrawContext {
    uint32_t* target;  // BGRA pixels, rows top first, width apart
    int width;
    int height;
    const uint32_t* texels;  // null when untextured
    int texWidth;
    int texHeight;
    EAddress addressU, addressV;
    bool disabled;  // colour operation DISABLE: the diffuse colour as it is
    ECombine colour, alpha;
    uint8_t colourArg1, colourArg2, alphaArg1, alphaArg2;
    EFactor srcFactor, destFactor;  // for kBlendGeneric
    // False: every pixel the plain way, for the tests that check that the
    // shortcuts give the same bytes.
    bool shortcuts;
};

// Draws the triangle's rows [rowBegin, rowEnd) (within its own).
using DrawRowsFn = void (*)(const SDrawContext& context, const STriangle& triangle, int rowBegin,
                            int rowEnd);

struct SKernelTable {
    // [texture mode][perspective][flat][blend mode]
    DrawRowsFn draw[kTexModeCount][2][2][kBlendModeCount];
};

const SKernelTable& Sse2Kernels();
const SKernelTable& Avx2Kernels();
