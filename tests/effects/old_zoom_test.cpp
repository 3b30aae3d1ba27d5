#include "effects/old_zoom.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>
#include <vector>

#include "tests/effects/effect_fixture.h"

namespace {

class OldZoomTest : public EffectTest {
protected:
    void SetUp() override {
        EffectTest::SetUp();
        // Frame i's picture is i pixels wide, so its texture can be told apart.
        for (int i = 1; i <= 5; ++i)
            WriteSolidTga("Data/lrame" + std::to_string(i) + ".tga", i, 2, 24, 0x00408020u * static_cast<unsigned>(i));
        CEffectOldZoom::s_time = 0.0f;
        CEffectOldZoom::s_zoomPhase = 1;
    }

    void InitEffect() {
        effect.Init(640, 480);
        frames = CreatedTextures();
    }

    // One frame at the given clock (phase as it stands), with its calls only.
    void RenderAt(float seconds) {
        NewFrame();
        CEffectOldZoom::s_time = seconds;
        effect.Render(0.0f);
    }

    // The zoom's view: the one the first frame was drawn with.
    D3DMATRIX ZoomView() const {
        const auto draws = Draws();
        if (!draws.empty()) return TransformOf(draws[0]->state, D3DTS_VIEW);
        ADD_FAILURE() << "nothing drawn";
        return {};
    }

    static void ExpectVeilStates(const SDeviceState& state) {
        EXPECT_TRUE(HasStageStates(state, kUntextured));
        EXPECT_TRUE(HasRenderStates(state, kUnlitNoCull));
        EXPECT_TRUE(HasRenderStates(state, {{D3DRS_ZFUNC, D3DCMP_LESSEQUAL}}));
        EXPECT_TRUE(HasRenderStates(state, Blend(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA)));
        EXPECT_TRUE(IsFlatSpace(state, 640, 480));
    }

    // The textures the draws were made with, in order.
    std::vector<const void*> DrawnTextures() const {
        std::vector<const void*> textures;
        for (const SRecordedCall* draw : Draws()) textures.push_back(TextureOf(draw->state));
        return textures;
    }

    // The veil's colour, or 0 when the frame has no veil.
    D3DCOLOR OverlayColour() const {
        const auto draws = Draws();
        if (draws.size() != 6) return 0;
        const auto vertices = VerticesOf<SVertexColor>(*draws[5]);
        return vertices.empty() ? 0 : vertices[0].colour;
    }

    CEffectOldZoom effect;
    std::vector<const void*> frames;
};

TEST_F(OldZoomTest, InitLoadsFiveFramesAndBuildsTheirQuads) {
    effect.Init(640, 480);
    const auto textures = device.Find("CreateTexture");
    ASSERT_EQ(textures.size(), 5u);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(textures[i]->args[0], i + 1) << "frame " << i + 1;
    const auto buffers = device.Find("CreateVertexBuffer");
    ASSERT_EQ(buffers.size(), 6u);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(buffers[i]->args[0], 4 * 24);
    EXPECT_EQ(buffers[5]->args[0], 4 * 16);
}

TEST_F(OldZoomTest, FirstFrameDrawsTheNestedFramesUnderAnOpaqueWhiteVeil) {
    InitEffect();
    RenderAt(0.0f);
    const auto draws = Draws();
    ASSERT_EQ(draws.size(), 6u);

    // The frames: texture x diffuse with the alpha off, blended, never
    // depth-tested; scale 1 and no turn under a 1024 x 768 space.
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        const SRecordedCall& frame = *draws[i];
        EXPECT_TRUE(HasStageStates(frame.state, Modulate(D3DTA_DIFFUSE, D3DTA_TEXTURE, D3DTOP_DISABLE)));
        EXPECT_TRUE(HasStageStates(frame.state, kLinearFiltering));
        EXPECT_TRUE(HasRenderStates(frame.state, kUnlitNoCull));
        EXPECT_TRUE(HasRenderStates(frame.state, {{D3DRS_ZFUNC, D3DCMP_NEVER}}));
        EXPECT_TRUE(HasRenderStates(frame.state, Blend(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA)));
        EXPECT_TRUE(IsFlatSpace(frame.state, 1024, 768));
        EXPECT_EQ(TextureOf(frame.state), frames[i]);
        EXPECT_EQ(frame.args, (std::vector<int64_t>{D3DPT_TRIANGLEFAN, 0, 2}));
        const float b = static_cast<float>(512 >> i);  // 512, 256, 128, 64, 32
        const SVertexColorUV expected[4] = {{-b, -b, 0, 0xFFFFFFFF, 0, 0},
                                            {b, -b, 0, 0xFFFFFFFF, 1, 0},
                                            {b, b, 0, 0xFFFFFFFF, 1, 1},
                                            {-b, b, 0, 0xFFFFFFFF, 0, 1}};
        const auto vertices = VerticesOf<SVertexColorUV>(frame);
        ASSERT_EQ(vertices.size(), 4u);
        EXPECT_EQ(std::memcmp(vertices.data(), expected, sizeof expected), 0);
    }

    // The veil: the vertex colour alone, blended, depth-tested again, over
    // the layer's 640 x 480.
    const SRecordedCall& veil = *draws[5];
    ExpectVeilStates(veil.state);
    EXPECT_EQ(veil.args, (std::vector<int64_t>{D3DPT_TRIANGLEFAN, 0, 2}));
    EXPECT_EQ(veil.state.stride, 16u);
    EXPECT_EQ(veil.state.fvf, D3DFVF_XYZ | D3DFVF_DIFFUSE);
    const SVertexColor white[4] = {{-320, 240, 0, 0xFFFFFFFF},
                                   {320, 240, 0, 0xFFFFFFFF},
                                   {320, -240, 0, 0xFFFFFFFF},
                                   {-320, -240, 0, 0xFFFFFFFF}};
    const auto vertices = VerticesOf<SVertexColor>(veil);
    ASSERT_EQ(vertices.size(), 4u);
    EXPECT_EQ(std::memcmp(vertices.data(), white, sizeof white), 0);
}

TEST_F(OldZoomTest, VeilFadesOverThreeSecondsButItsStatesStay) {
    InitEffect();
    // c = 255 - trunc(a * 0.333333343 * 255) in every byte.
    RenderAt(1.5f);  // 127.50000...
    EXPECT_EQ(OverlayColour(), 0x80808080u);
    RenderAt(0.6f);  // 51.0000...
    EXPECT_EQ(OverlayColour(), 0xCCCCCCCCu);
    RenderAt(2.99f);  // 254.15
    EXPECT_EQ(OverlayColour(), 0x01010101u);

    // Without the veil its states are still left for the next layer.
    for (float a : {3.0f, 7.0f}) {
        SCOPED_TRACE(a);
        RenderAt(a);
        EXPECT_EQ(Draws().size(), 5u);
        ExpectVeilStates(device.State());
    }
}

TEST_F(OldZoomTest, ZoomDoublesEveryTwoSecondsThenTurnsBackAfterTen) {
    InitEffect();
    // The step is added before the frame: from 1 s, a step of 1 s gives a = 2,
    // scale 2 turned by 0.2 radians.
    CEffectOldZoom::s_time = 1.0f;
    NewFrame();
    effect.Render(1.0f);
    EXPECT_EQ(CEffectOldZoom::s_time, 2.0f);
    D3DMATRIX view = ZoomView();
    EXPECT_FLOAT_EQ(view._11, 2 * std::cos(0.2f));
    EXPECT_FLOAT_EQ(view._12, 2 * std::sin(0.2f));
    EXPECT_FLOAT_EQ(view._21, -2 * std::sin(0.2f));
    EXPECT_FLOAT_EQ(view._22, 2 * std::cos(0.2f));
    EXPECT_FLOAT_EQ(view._33, 2.0f);
    EXPECT_FLOAT_EQ(view._44, 1.0f);

    auto scale = [&]() {
        const D3DMATRIX m = ZoomView();
        return std::hypot(m._11, m._12);
    };
    RenderAt(10.0f);  // the turn needs a > 10
    EXPECT_FLOAT_EQ(scale(), 32.0f);
    EXPECT_EQ(CEffectOldZoom::s_zoomPhase, 1);
    RenderAt(10.5f);  // still zooming in on this frame, out from the next
    EXPECT_NEAR(scale(), std::pow(2.0, 5.25), 1e-4);
    EXPECT_EQ(CEffectOldZoom::s_zoomPhase, 2);
    RenderAt(12.0f);
    EXPECT_FLOAT_EQ(scale(), 16.0f);
    RenderAt(20.0f);
    EXPECT_FLOAT_EQ(scale(), 1.0f);
    RenderAt(22.0f);
    EXPECT_FLOAT_EQ(scale(), 0.5f);
    RenderAt(1.0f);  // never back to zooming in
    EXPECT_NEAR(scale(), std::pow(2.0, 9.5), 1e-2);
    EXPECT_EQ(CEffectOldZoom::s_zoomPhase, 2);
}

TEST_F(OldZoomTest, TriggerBindsEachFrameAndChangesNothingElse) {
    InitEffect();
    RenderAt(1.25f);
    const std::vector<SRecordedCall> alone = device.calls;

    NewFrame();
    EXPECT_EQ(effect.Trigger(), 0);
    EXPECT_EQ(TexturesBound(), std::set<const void*>(frames.begin(), frames.end()));
    EXPECT_EQ(TextureOf(device.State()), frames[4]);
    EXPECT_TRUE(Draws().empty());
    EXPECT_EQ(CEffectOldZoom::s_time, 1.25f);
    EXPECT_EQ(CEffectOldZoom::s_zoomPhase, 1);

    // The next frame, drawn over what the trigger left, is the same.
    device.ClearCalls();
    effect.Render(0.0f);
    ExpectSameDraws(alone, device.calls);
}

TEST_F(OldZoomTest, MissingFrameBindsNoTexture) {
    std::remove("Data/lrame3.tga");
    InitEffect();
    ASSERT_EQ(frames.size(), 4u);
    const std::vector<const void*> expected = {frames[0], frames[1], nullptr, frames[2], frames[3]};
    RenderAt(0.0f);
    std::vector<const void*> drawn = DrawnTextures();
    ASSERT_EQ(drawn.size(), 6u);
    drawn.pop_back();  // the veil
    EXPECT_EQ(drawn, expected);
    NewFrame();
    effect.Trigger();
    EXPECT_EQ(TexturesBound(), std::set<const void*>(expected.begin(), expected.end()));
}

}  // namespace
