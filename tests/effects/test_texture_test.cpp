#include "effects/test_texture.h"

#include <cmath>

#include "runtime/random.h"
#include "tests/effects/effect_fixture.h"

namespace {

class TestTextureTest : public EffectTest {
protected:
    void SetUp() override {
        EffectTest::SetUp();
        CEffectTestTexture::s_time = 0.0f;
    }

    void WritePictures() {
        WriteSolidTga("Data/circflare.tga", 8, 8, 32, 0x80FFFFFF);
        WriteSolidTga("Data/bg.tga", 4, 4, 24, 0xFF204060);
    }

    // Centre and half-size of the square drawn by one sprite draw.
    struct SSquare {
        float x, y, s;
        D3DCOLOR colour;
    };
    static SSquare SquareOf(const SRecordedCall& draw) {
        const auto v = VerticesOf<SVertexColorUV>(draw);
        EXPECT_EQ(v.size(), 4u);
        if (v.size() != 4) return {};
        return {(v[0].x + v[2].x) / 2, (v[0].y + v[2].y) / 2, (v[2].x - v[0].x) / 2, v[0].colour};
    }

    CEffectTestTexture effect;
};

// Green and blue of particle i at running time T: 64 * cos / sin of (i + T)
// around 128, truncated.
D3DCOLOR ParticleColour(int i, float time) {
    const double a = static_cast<float>(i) + time;
    const int green = static_cast<int>(64 * std::cos(a) + 128);
    const int blue = static_cast<int>(64 * std::sin(a) + 128);
    return 0x907F0000u | static_cast<D3DCOLOR>(green << 8) | static_cast<D3DCOLOR>(blue);
}

TEST_F(TestTextureTest, InitLoadsPicturesAndDrawsThreeRandomsPerParticle) {
    WritePictures();
    effect.Init(640, 480);

    EXPECT_EQ(device.Count("CreateTexture"), 2u);
    const auto buffers = device.Find("CreateVertexBuffer");
    ASSERT_EQ(buffers.size(), 2u);
    EXPECT_EQ(buffers[0]->args[0], 400 * 24);  // sprites
    EXPECT_EQ(buffers[1]->args[0], 4 * 24);    // background

    // 300 draws used: the next value is the generator's 301st.
    uint32_t state = 1;
    for (int k = 0; k < 301; ++k) state = state * 214013u + 2531011u;
    EXPECT_EQ(DemoRand(), static_cast<int>((state >> 16) & 0x7FFF));
}

TEST_F(TestTextureTest, FirstFrameDrawsBackgroundThenHundredGlowingSprites) {
    WritePictures();
    effect.Init(640, 480);
    const auto textures = CreatedTextures();
    ASSERT_EQ(textures.size(), 2u);
    device.ClearCalls();
    const float d = 0.25f;
    effect.Render(d);

    EXPECT_EQ(StageStates(), (std::vector<std::pair<DWORD, DWORD>>{
                                 {D3DTSS_COLOROP, D3DTOP_MODULATE},
                                 {D3DTSS_COLORARG1, D3DTA_DIFFUSE},
                                 {D3DTSS_COLORARG2, D3DTA_TEXTURE},
                                 {D3DTSS_ALPHAOP, D3DTOP_BLENDDIFFUSEALPHA},
                                 {D3DTSS_MAGFILTER, D3DTEXF_LINEAR},
                                 {D3DTSS_MINFILTER, D3DTEXF_LINEAR},
                             }));
    // Blended background, then additive sprites; the latter stay set.
    EXPECT_EQ(RenderStates(), (std::vector<std::pair<DWORD, DWORD>>{
                                  {D3DRS_CULLMODE, D3DCULL_NONE},
                                  {D3DRS_LIGHTING, 0},
                                  {D3DRS_ALPHABLENDENABLE, 1},
                                  {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA},
                                  {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA},
                                  {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA},
                                  {D3DRS_DESTBLEND, D3DBLEND_ONE},
                              }));
    std::string ops =
        "SetTextureStageState SetTextureStageState SetTextureStageState SetTextureStageState "
        "SetTextureStageState SetTextureStageState SetRenderState SetRenderState SetRenderState "
        "SetRenderState SetRenderState SetTransform SetTransform SetTransform SetTexture "
        "SetStreamSource SetVertexShader DrawPrimitive SetRenderState SetRenderState SetTexture";
    for (int i = 0; i < 100; ++i) ops += " SetStreamSource SetVertexShader DrawPrimitive";
    EXPECT_EQ(OpSequence(), ops);
    EXPECT_EQ(BoundTextures(), (std::vector<const void*>{textures[1], textures[0]}));

    const auto transforms = device.Find("SetTransform");
    ASSERT_EQ(transforms.size(), 3u);
    EXPECT_EQ(transforms[0]->args[0], D3DTS_WORLD);
    EXPECT_EQ(transforms[1]->args[0], D3DTS_VIEW);
    EXPECT_EQ(transforms[2]->args[0], D3DTS_PROJECTION);
    const D3DMATRIX world = LastTransform(D3DTS_WORLD);
    const D3DMATRIX view = LastTransform(D3DTS_VIEW);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            EXPECT_EQ(world.m[r][c], r == c ? 1.0f : 0.0f);
            EXPECT_EQ(view.m[r][c], r == c ? 1.0f : 0.0f);
        }
    const D3DMATRIX projection = LastTransform(D3DTS_PROJECTION);
    EXPECT_FLOAT_EQ(projection._11, 2.0f / 640.0f);
    EXPECT_FLOAT_EQ(projection._22, 2.0f / 480.0f);
    EXPECT_FLOAT_EQ(projection._33, -0.5f);
    EXPECT_FLOAT_EQ(projection._43, 0.5f);

    const auto draws = Draws();
    ASSERT_EQ(draws.size(), 101u);
    // The background square: half-size 320 around (0, -50), grey 144 at alpha 16.
    EXPECT_EQ(draws[0]->args, (std::vector<int64_t>{D3DPT_TRIANGLEFAN, 0, 2}));
    EXPECT_EQ(draws[0]->fvf, D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    const auto background = VerticesOf<SVertexColorUV>(*draws[0]);
    ASSERT_EQ(background.size(), 4u);
    const float corners[4][4] = {{-320, -370, 0, 0}, {320, -370, 1, 0}, {320, 270, 1, 1}, {-320, 270, 0, 1}};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(background[k].x, corners[k][0]);
        EXPECT_EQ(background[k].y, corners[k][1]);
        EXPECT_EQ(background[k].z, 0.0f);
        EXPECT_EQ(background[k].u, corners[k][2]);
        EXPECT_EQ(background[k].v, corners[k][3]);
        EXPECT_EQ(background[k].colour, 0x10909090u);
    }

    // One fan per sprite, four vertices apart.
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(draws[1 + i]->args, (std::vector<int64_t>{D3DPT_TRIANGLEFAN, 4 * i, 2}));
        EXPECT_EQ(SquareOf(*draws[1 + i]).colour, ParticleColour(i, d)) << "particle " << i;
    }
    // Particle 0 came from the draws 41, 18467, 6334 and has moved once.
    const SSquare first = SquareOf(*draws[1]);
    EXPECT_NEAR(first.x, -319.19921875 + std::sin(d) + 1.5 * std::cos(d), 1e-4);
    EXPECT_NEAR(first.y, 30.5126953125 + 2 * std::cos(d), 1e-4);
    EXPECT_NEAR(first.s, 35.4638671875, 1e-5);
    const auto sprite = VerticesOf<SVertexColorUV>(*draws[1]);
    ASSERT_EQ(sprite.size(), 4u);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(sprite[k].u, corners[k][2]);
        EXPECT_EQ(sprite[k].v, corners[k][3]);
    }
}

TEST_F(TestTextureTest, SpritesMoveEveryFrameWhateverTheStep) {
    WritePictures();
    effect.Init(640, 480);

    // At running time 0, particle 0 is green 192, blue 128 and moves by
    // (sin 0 + 1.5 cos 0, 2 cos 0) = (1.5, 2) per frame, even with no step.
    effect.Render(0.0f);
    const SSquare once = SquareOf(*Draws()[1]);
    EXPECT_EQ(once.colour, 0x907FC080u);
    device.ClearCalls();
    effect.Render(0.0f);
    const SSquare twice = SquareOf(*Draws()[1]);
    EXPECT_NEAR(twice.x - once.x, 1.5, 1e-4);
    EXPECT_NEAR(twice.y - once.y, 2.0, 1e-4);
    EXPECT_EQ(CEffectTestTexture::s_time, 0.0f);

    // The running time is shared and only grows by the steps drawn.
    CEffectTestTexture other;
    other.Init(640, 480);
    other.Render(0.5f);
    effect.Render(0.25f);
    EXPECT_EQ(CEffectTestTexture::s_time, 0.75f);
}

TEST_F(TestTextureTest, BackgroundHalvesWidthAsAnInteger) {
    WritePictures();
    effect.Init(641, 480);
    effect.Render(0.0f);
    const auto background = VerticesOf<SVertexColorUV>(*Draws()[0]);
    ASSERT_EQ(background.size(), 4u);
    EXPECT_EQ(background[0].x, -320.0f);
    EXPECT_EQ(background[2].x, 320.0f);
}

TEST_F(TestTextureTest, TriggerLeavesTheBackgroundBound) {
    WritePictures();
    effect.Init(640, 480);
    const auto textures = CreatedTextures();
    ASSERT_EQ(textures.size(), 2u);
    ASSERT_NE(textures[0], nullptr);
    device.ClearCalls();
    effect.Trigger();
    EXPECT_EQ(OpSequence(), "SetTexture SetTexture");
    EXPECT_EQ(BoundTextures(), (std::vector<const void*>{textures[0], textures[1]}));
}

TEST_F(TestTextureTest, MissingPicturesBindNoTexture) {
    effect.Init(640, 480);
    EXPECT_EQ(device.Count("CreateTexture"), 0u);
    effect.Trigger();
    effect.Render(0.1f);
    EXPECT_EQ(BoundTextures(), (std::vector<const void*>(4, nullptr)));
    EXPECT_EQ(Draws().size(), 101u);
}

}  // namespace
