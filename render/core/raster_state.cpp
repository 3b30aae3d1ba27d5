#include "render/core/raster_state.h"

namespace {

bool ReadsArg1(D3DTEXTUREOP op) { return op != D3DTOP_SELECTARG2; }
bool ReadsArg2(D3DTEXTUREOP op) { return op != D3DTOP_SELECTARG1; }

// At stage 0 "current" is the diffuse colour.
DWORD StageZeroArgument(DWORD arg) { return arg == D3DTA_CURRENT ? D3DTA_DIFFUSE : arg; }

// One operation's arguments, with those it does not read at the default.
void NormaliseArguments(D3DTEXTUREOP op, DWORD* arg1, DWORD* arg2) {
    *arg1 = ReadsArg1(op) ? StageZeroArgument(*arg1) : D3DTA_DIFFUSE;
    *arg2 = ReadsArg2(op) ? StageZeroArgument(*arg2) : D3DTA_DIFFUSE;
}

bool ReadsTexture(D3DTEXTUREOP op, DWORD arg1, DWORD arg2) {
    return (ReadsArg1(op) && arg1 == D3DTA_TEXTURE) || (ReadsArg2(op) && arg2 == D3DTA_TEXTURE);
}

}  // namespace

SRasterState NormalisedRasterState(const SRasterState& state) {
    const SRasterState defaults;
    SRasterState out = defaults;
    if (state.blendEnable) {
        out.blendEnable = true;
        out.srcBlend = state.srcBlend;
        out.destBlend = state.destBlend;
    }
    if (state.colorOp == D3DTOP_DISABLE) {
        // The diffuse colour and alpha, whatever else is set.
        out.colorOp = D3DTOP_DISABLE;
        out.alphaOp = D3DTOP_DISABLE;
        out.colorArg1 = out.colorArg2 = out.alphaArg1 = out.alphaArg2 = D3DTA_DIFFUSE;
        out.texture = 0;
        return out;
    }
    out.colorOp = state.colorOp;
    out.colorArg1 = state.colorArg1;
    out.colorArg2 = state.colorArg2;
    NormaliseArguments(out.colorOp, &out.colorArg1, &out.colorArg2);
    if (state.alphaOp == D3DTOP_DISABLE) {
        out.alphaOp = D3DTOP_SELECTARG1;
        out.alphaArg1 = D3DTA_DIFFUSE;
        out.alphaArg2 = D3DTA_DIFFUSE;
    } else {
        out.alphaOp = state.alphaOp;
        out.alphaArg1 = state.alphaArg1;
        out.alphaArg2 = state.alphaArg2;
        NormaliseArguments(out.alphaOp, &out.alphaArg1, &out.alphaArg2);
    }
    const bool sampled = ReadsTexture(out.colorOp, out.colorArg1, out.colorArg2) ||
                         ReadsTexture(out.alphaOp, out.alphaArg1, out.alphaArg2);
    if (sampled && state.texture != 0) {
        out.texture = state.texture;
        out.magFilter = state.magFilter;
        out.minFilter = state.minFilter;
        out.addressU = state.addressU;
        out.addressV = state.addressV;
    }
    return out;
}
