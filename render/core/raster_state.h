// How a triangle's pixels come out: stage 0 of the fixed-function pipeline
// and the blend. The device hands backends only normalised states, so the
// rules of what stage 0 really reads live here once, for every backend.
#pragma once

#include <cstdint>
#include <tuple>

#include "render/d3d8.h"

struct SRasterState {
    // The image stage 0 samples; 0 when it samples none (in a normalised
    // state, also when a texture is bound that no operation reads).
    uint32_t texture = 0;
    bool blendEnable = false;
    D3DBLEND srcBlend = D3DBLEND_ONE;
    D3DBLEND destBlend = D3DBLEND_ZERO;
    D3DTEXTUREOP colorOp = D3DTOP_MODULATE;
    DWORD colorArg1 = D3DTA_TEXTURE;
    DWORD colorArg2 = D3DTA_CURRENT;
    D3DTEXTUREOP alphaOp = D3DTOP_SELECTARG1;
    DWORD alphaArg1 = D3DTA_TEXTURE;
    DWORD alphaArg2 = D3DTA_CURRENT;
    D3DTEXTUREFILTERTYPE magFilter = D3DTEXF_POINT;
    D3DTEXTUREFILTERTYPE minFilter = D3DTEXF_POINT;
    DWORD addressU = D3DTADDRESS_WRAP;
    DWORD addressV = D3DTADDRESS_WRAP;

    // Every field, for comparing; the size check below fails to compile when
    // a field is added without being named here.
    auto Fields() const {
        return std::tie(texture, blendEnable, srcBlend, destBlend, colorOp, colorArg1, colorArg2, alphaOp,
                        alphaArg1, alphaArg2, magFilter, minFilter, addressU, addressV);
    }
    bool operator==(const SRasterState& o) const { return Fields() == o.Fields(); }
    bool operator!=(const SRasterState& o) const { return !(*this == o); }
};
static_assert(sizeof(SRasterState) == 14 * 4, "SRasterState changed: name the new field in Fields()");

// The same drawing in one form: a disabled colour operation disables the
// whole stage, alpha included; a disabled alpha operation keeps the diffuse
// alpha; "current" is the diffuse colour at stage 0; an argument that its
// operation does not read, a texture nothing samples, filters and address
// modes without a texture, and blend factors with blending off are set to
// their defaults. Two states that draw alike then compare equal, and a
// backend reads `texture` as the image to sample.
SRasterState NormalisedRasterState(const SRasterState& state);
