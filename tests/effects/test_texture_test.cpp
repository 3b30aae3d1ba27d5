#include "effects/test_texture.h"

#include <cmath>
#include <set>
#include <vector>

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

TEST_F(TestTextureTest, InitPlacesEachParticleFromThreeValuesOfTheGenerator) {
    WritePictures();
    effect.Init(640, 480);

    EXPECT_EQ(device.Count("CreateTexture"), 2u);
    const auto buffers = device.Find("CreateVertexBuffer");
    ASSERT_EQ(buffers.size(), 2u);
    EXPECT_EQ(buffers[0]->args[0], 400 * 24);  // sprites
    EXPECT_EQ(buffers[1]->args[0], 4 * 24);    // background

    // 300 values used: the generator goes on from its 301st.
    const std::vector<int> next = NextRandomValues(3);
    EXPECT_EQ(next, RandomValuesFromStart(300, 3));

    // Particle i takes x, y and half-size from values 3i, 3i + 1 and 3i + 2,
    // as fractions of 32768; the first frame, at running time 0, moves it
    // by (sin 3i + 1.5 cos i, 2 cos 1.43234i).
    const std::vector<int> values = RandomValuesFromStart(0, 300);
    NewFrame();
    effect.Render(0.0f);
    const auto draws = Draws();
    ASSERT_EQ(draws.size(), 101u);
    for (int i = 0; i < 100; ++i) {
        SCOPED_TRACE(i);
        const double x = (values[3 * i] / 32768.0 - 0.5) * 640 + std::sin(3.0 * i) + 1.5 * std::cos(i);
        const double y = (values[3 * i + 1] / 32768.0 - 0.5) * 480 + 2 * std::cos(1.43234 * i);
        const SSquare square = SquareOf(*draws[1 + i]);
        EXPECT_NEAR(square.x, x, 1e-3);
        EXPECT_NEAR(square.y, y, 1e-3);
        EXPECT_NEAR(square.s, values[3 * i + 2] / 32768.0 * 80 + 20, 1e-4);
        EXPECT_GE(square.s, 20.0f);
        EXPECT_LT(square.s, 100.0f);
    }
}

TEST_F(TestTextureTest, FirstFrameDrawsTheFaintBackgroundThenHundredGlowingSprites) {
    WritePictures();
    effect.Init(640, 480);
    const auto textures = CreatedTextures();  // the flare, the background
    ASSERT_EQ(textures.size(), 2u);
    NewFrame();
    const float d = 0.25f;
    effect.Render(d);

    const auto draws = Draws();
    ASSERT_EQ(draws.size(), 101u);
    // Everything unlit in the flat space: colour = texture x diffuse, the
    // alpha blended by the diffuse alpha, filtered.
    for (const SRecordedCall* draw : draws) {
        EXPECT_TRUE(HasStageStates(draw->state, Modulate(D3DTA_DIFFUSE, D3DTA_TEXTURE, D3DTOP_BLENDDIFFUSEALPHA)));
        EXPECT_TRUE(HasStageStates(draw->state, kLinearFiltering));
        EXPECT_TRUE(HasRenderStates(draw->state, kUnlitNoCull));
        EXPECT_TRUE(IsFlatSpace(draw->state, 640, 480));
        EXPECT_EQ(draw->state.fvf, D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    }

    // First the background, blended over what lies below: half-size 320
    // around (0, -50), grey 144 at alpha 16.
    const SRecordedCall& background = *draws[0];
    EXPECT_TRUE(HasRenderStates(background.state, Blend(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA)));
    EXPECT_EQ(TextureOf(background.state), textures[1]);
    EXPECT_EQ(background.args, (std::vector<int64_t>{D3DPT_TRIANGLEFAN, 0, 2}));
    const auto corners = VerticesOf<SVertexColorUV>(background);
    ASSERT_EQ(corners.size(), 4u);
    const float expected[4][4] = {{-320, -370, 0, 0}, {320, -370, 1, 0}, {320, 270, 1, 1}, {-320, 270, 0, 1}};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(corners[k].x, expected[k][0]);
        EXPECT_EQ(corners[k].y, expected[k][1]);
        EXPECT_EQ(corners[k].z, 0.0f);
        EXPECT_EQ(corners[k].u, expected[k][2]);
        EXPECT_EQ(corners[k].v, expected[k][3]);
        EXPECT_EQ(corners[k].colour, 0x10909090u);
    }

    // Then the flare added once per sprite, a fan each, four vertices apart.
    for (int i = 0; i < 100; ++i) {
        SCOPED_TRACE(i);
        const SRecordedCall& sprite = *draws[1 + i];
        EXPECT_TRUE(HasRenderStates(sprite.state, Blend(D3DBLEND_SRCALPHA, D3DBLEND_ONE)));
        EXPECT_EQ(TextureOf(sprite.state), textures[0]);
        EXPECT_EQ(sprite.args, (std::vector<int64_t>{D3DPT_TRIANGLEFAN, 4 * i, 2}));
        EXPECT_EQ(SquareOf(sprite).colour, ParticleColour(i, d));
        const auto square = VerticesOf<SVertexColorUV>(sprite);
        ASSERT_EQ(square.size(), 4u);
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(square[k].u, expected[k][2]);
            EXPECT_EQ(square[k].v, expected[k][3]);
        }
    }
    // The additive blend stays for the layers after.
    EXPECT_TRUE(HasRenderStates(device.State(), Blend(D3DBLEND_SRCALPHA, D3DBLEND_ONE)));
}

TEST_F(TestTextureTest, SpritesMoveEveryFrameWhateverTheStep) {
    WritePictures();
    effect.Init(640, 480);

    // At running time 0, particle 0 is green 192, blue 128 and moves by
    // (sin 0 + 1.5 cos 0, 2 cos 0) = (1.5, 2) per frame, even with no step.
    effect.Render(0.0f);
    const SSquare once = SquareOf(*Draws()[1]);
    EXPECT_EQ(once.colour, 0x907FC080u);
    NewFrame();
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
    NewFrame();
    effect.Trigger();
    EXPECT_EQ(TexturesBound(), (std::set<const void*>{textures[0], textures[1]}));
    EXPECT_EQ(TextureOf(device.State()), textures[1]);
    EXPECT_TRUE(Draws().empty());
}

TEST_F(TestTextureTest, MissingPicturesBindNoTexture) {
    effect.Init(640, 480);
    EXPECT_EQ(device.Count("CreateTexture"), 0u);
    NewFrame();
    effect.Trigger();
    EXPECT_EQ(TextureOf(device.State()), nullptr);
    NewFrame();
    effect.Render(0.1f);
    const auto draws = Draws();
    EXPECT_EQ(draws.size(), 101u);
    for (const SRecordedCall* draw : draws) EXPECT_EQ(TextureOf(draw->state), nullptr);
}

}  // namespace
