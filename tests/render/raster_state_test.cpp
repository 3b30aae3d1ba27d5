// The one form of stage 0 that both backends draw from.
#include <gtest/gtest.h>

#include "render/core/raster_state.h"

namespace {

SRasterState Textured(uint32_t texture, D3DTEXTUREOP colorOp, DWORD arg1, DWORD arg2) {
    SRasterState state;
    state.texture = texture;
    state.colorOp = colorOp;
    state.colorArg1 = arg1;
    state.colorArg2 = arg2;
    state.alphaOp = D3DTOP_SELECTARG1;
    state.alphaArg1 = D3DTA_DIFFUSE;
    return state;
}

// A texture left bound by an earlier effect is not sampled where the
// operations take no texture argument (the pixel board draws so).
TEST(RasterState, OnlyATextureTheStageReadsIsSampled) {
    EXPECT_EQ(NormalisedRasterState(Textured(7, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE)).texture, 7u);
    EXPECT_EQ(NormalisedRasterState(Textured(7, D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_DIFFUSE)).texture, 0u);
    EXPECT_EQ(NormalisedRasterState(Textured(7, D3DTOP_MODULATE, D3DTA_DIFFUSE, D3DTA_CURRENT)).texture, 0u);
    SRasterState alphaOnly = Textured(7, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_DIFFUSE);
    alphaOnly.alphaArg1 = D3DTA_TEXTURE;
    EXPECT_EQ(NormalisedRasterState(alphaOnly).texture, 7u) << "alpha from the texture samples it";
    SRasterState disabled = Textured(7, D3DTOP_DISABLE, D3DTA_TEXTURE, D3DTA_TEXTURE);
    disabled.alphaArg1 = D3DTA_TEXTURE;
    const SRasterState off = NormalisedRasterState(disabled);
    EXPECT_EQ(off.texture, 0u) << "a disabled colour operation disables the whole stage";
    EXPECT_EQ(off.alphaOp, D3DTOP_DISABLE);
}

// States that draw alike compare equal, so they share a batch.
TEST(RasterState, StatesThatDrawAlikeAreEqual) {
    SRasterState a = Textured(0, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_TEXTURE);
    SRasterState b = Textured(3, D3DTOP_SELECTARG1, D3DTA_CURRENT, D3DTA_DIFFUSE);
    b.magFilter = D3DTEXF_LINEAR;  // no texture sampled: no filter
    b.srcBlend = D3DBLEND_SRCALPHA;  // blending off: no factors
    EXPECT_EQ(NormalisedRasterState(a), NormalisedRasterState(b));

    SRasterState keptAlpha = a;
    keptAlpha.alphaOp = D3DTOP_DISABLE;
    EXPECT_EQ(NormalisedRasterState(keptAlpha), NormalisedRasterState(a)) << "DISABLE keeps the diffuse alpha";

    SRasterState blended = a;
    blended.blendEnable = true;
    blended.srcBlend = D3DBLEND_SRCALPHA;
    EXPECT_NE(NormalisedRasterState(blended), NormalisedRasterState(a));
    SRasterState sampled = Textured(3, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    SRasterState filtered = sampled;
    filtered.magFilter = D3DTEXF_LINEAR;
    EXPECT_NE(NormalisedRasterState(sampled), NormalisedRasterState(filtered));
}

}  // namespace
