#include "effects/fade.h"

#include <cmath>
#include <limits>

#include "tests/effects/effect_fixture.h"

namespace {

class FadeTest : public EffectTest {
protected:
    void SetUp() override {
        EffectTest::SetUp();
        fade.Init(640, 480);
    }

    // Sets start, end and duration as the timeline does, restarting the clock.
    void Fade(float from, float to, float seconds) {
        fade.SetParam(0, from);
        fade.SetParam(1, to);
        fade.SetParam(2, seconds);
    }

    // Draws one frame and returns the alpha of its quad (all four vertices
    // carry the same colour, black with that alpha).
    int FrameAlpha(float step) {
        NewFrame();
        fade.Render(step);
        const auto draws = Draws();
        EXPECT_EQ(draws.size(), 1u);
        if (draws.empty()) return -1;
        const auto vertices = VerticesOf<SVertexColor>(*draws[0]);
        EXPECT_EQ(vertices.size(), 4u);
        for (const SVertexColor& vertex : vertices) EXPECT_EQ(vertex.colour & 0x00FFFFFFu, 0u);
        for (const SVertexColor& vertex : vertices) EXPECT_EQ(vertex.colour, vertices[0].colour);
        return vertices.empty() ? -1 : static_cast<int>(vertices[0].colour >> 24);
    }

    CEffectFade fade;
};

TEST_F(FadeTest, DrawsOneMultiplyingScreenQuad) {
    Fade(1.0f, 0.0f, 2.0f);
    NewFrame();
    fade.Render(0.5f);

    const auto draws = Draws();
    ASSERT_EQ(draws.size(), 1u);
    const SRecordedCall& quad = *draws[0];
    // dest = dest x source alpha, from the vertex colour alone.
    EXPECT_TRUE(HasRenderStates(quad.state, kUnlitNoCull));
    EXPECT_TRUE(HasRenderStates(quad.state, Blend(D3DBLEND_ZERO, D3DBLEND_SRCALPHA)));
    EXPECT_TRUE(HasStageStates(quad.state, kUntextured));
    EXPECT_TRUE(IsFlatSpace(quad.state, 640, 480));

    EXPECT_EQ(quad.args, (std::vector<int64_t>{D3DPT_TRIANGLEFAN, 0, 2}));
    EXPECT_EQ(quad.state.fvf, D3DFVF_XYZ | D3DFVF_DIFFUSE);
    EXPECT_EQ(quad.state.stride, 16u);
    // Twice the screen each way; 0.75 of 255 is 191.25.
    const auto vertices = VerticesOf<SVertexColor>(quad);
    const float expected[4][2] = {{640, 480}, {640, -480}, {-640, -480}, {-640, 480}};
    ASSERT_EQ(vertices.size(), 4u);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(vertices[k].x, expected[k][0]);
        EXPECT_EQ(vertices[k].y, expected[k][1]);
        EXPECT_EQ(vertices[k].z, 0.0f);
        EXPECT_EQ(vertices[k].colour, 191u << 24);
    }
}

TEST_F(FadeTest, LevelFollowsItsLineUntilClamped) {
    Fade(1.0f, 0.0f, 2.0f);
    EXPECT_EQ(FrameAlpha(0.25f), 223);  // 0.875 * 255 = 223.125
    EXPECT_EQ(FrameAlpha(0.25f), 191);
    EXPECT_EQ(FrameAlpha(1.5f), 0);

    // Past its duration a fade in keeps rising and holds at 1.
    Fade(0.0f, 1.0f, 1.0f);
    EXPECT_EQ(FrameAlpha(1.5f), 255);

    // The end level is passed, not held: 0.5 at 2 s, black from 4 s on.
    Fade(1.0f, 0.5f, 2.0f);
    EXPECT_EQ(FrameAlpha(2.0f), 127);  // 127.5 truncated
    EXPECT_EQ(FrameAlpha(2.0f), 0);
    EXPECT_EQ(FrameAlpha(2.0f), 0);

    // Truncated, not rounded.
    Fade(0.999f, 0.999f, 1.0f);
    EXPECT_EQ(FrameAlpha(0.0f), 254);
}

TEST_F(FadeTest, EveryParameterRestartsTheClock) {
    Fade(1.0f, 0.0f, 2.0f);
    EXPECT_EQ(FrameAlpha(1.0f), 127);
    // An unknown parameter keeps the levels and duration...
    fade.SetParam(7, 42.0f);
    EXPECT_EQ(FrameAlpha(0.0f), 255);
    EXPECT_EQ(FrameAlpha(0.5f), 191);
    // ...and so does setting one of them again.
    fade.SetParam(1, 0.0f);
    EXPECT_EQ(FrameAlpha(0.0f), 255);
}

TEST_F(FadeTest, DegenerateParametersDrawBlackOrFullWithoutFailing) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();

    // Nothing set yet: 0 / 0 is not a number, drawn black.
    EXPECT_EQ(FrameAlpha(0.0f), 0);

    // Duration 0: NaN at the start, infinite t after it.
    Fade(1.0f, 1.0f, 0.0f);
    EXPECT_EQ(FrameAlpha(0.0f), 0);
    EXPECT_EQ(FrameAlpha(0.1f), 0);

    Fade(nan, 1.0f, 1.0f);
    EXPECT_EQ(FrameAlpha(0.5f), 0);
    Fade(1.0f, 1.0f, nan);
    EXPECT_EQ(FrameAlpha(0.5f), 0);

    // Huge and infinite levels clamp to the ends of the range.
    Fade(1e30f, 1e30f, 1.0f);
    EXPECT_EQ(FrameAlpha(0.5f), 255);
    Fade(-1e30f, -1e30f, 1.0f);
    EXPECT_EQ(FrameAlpha(0.5f), 0);
    Fade(inf, 0.0f, 1.0f);
    EXPECT_EQ(FrameAlpha(0.0f), 255);
    Fade(-inf, 0.0f, 1.0f);
    EXPECT_EQ(FrameAlpha(0.0f), 0);
    // inf - inf along the way.
    Fade(inf, inf, 1.0f);
    EXPECT_EQ(FrameAlpha(2.0f), 0);
}

}  // namespace
