#include "effects/old_zoom.h"

#include <cmath>
#include <cstdio>
#include <cstring>

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
        device.ClearCalls();
    }

    // One frame at the given clock (phase as it stands), with its calls only.
    void RenderAt(float seconds) {
        device.ClearCalls();
        CEffectOldZoom::s_time = seconds;
        effect.Render(0.0f);
    }

    // The zoom's view: the first view transform of the frame.
    D3DMATRIX ZoomView() const {
        for (const SRecordedCall* call : device.Find("SetTransform"))
            if (call->args[0] == D3DTS_VIEW) return call->matrix;
        ADD_FAILURE() << "no view transform";
        return {};
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

    std::string frameDraws;
    for (int i = 0; i < 5; ++i) frameDraws += "SetTexture SetStreamSource SetVertexShader DrawPrimitive ";
    std::string sixStage, eightStage, fiveRender;
    for (int i = 0; i < 6; ++i) sixStage += "SetTextureStageState ";
    for (int i = 0; i < 8; ++i) eightStage += "SetTextureStageState ";
    for (int i = 0; i < 5; ++i) fiveRender += "SetRenderState ";
    const std::string transforms = "SetTransform SetTransform SetTransform ";
    EXPECT_EQ(OpSequence() + " ", sixStage + "SetRenderState " + fiveRender + transforms + frameDraws + transforms +
                                      "SetRenderState " + eightStage + fiveRender +
                                      "SetStreamSource SetVertexShader DrawPrimitive ");

    EXPECT_EQ(StageStates(), (std::vector<std::pair<DWORD, DWORD>>{
                                 {1, 4}, {2, 0}, {3, 2}, {4, 1}, {16, 2}, {17, 2},                  // frames
                                 {1, 4}, {2, 2}, {3, 0}, {4, 12}, {16, 2}, {17, 2}, {1, 1}, {4, 1}}));  // veil
    EXPECT_EQ(RenderStates(), (std::vector<std::pair<DWORD, DWORD>>{
                                  {22, 1}, {23, 1}, {137, 0}, {27, 1}, {19, 5}, {20, 6},
                                  {23, 4}, {22, 1}, {137, 0}, {27, 1}, {19, 5}, {20, 6}}));

    // Scale 1, no turn: world and view identity under a 1024 x 768 space for
    // the frames, then identity under the layer's 640 x 480 for the veil.
    const auto matrices = device.Find("SetTransform");
    ASSERT_EQ(matrices.size(), 6u);
    const DWORD states[6] = {256, 2, 3, 256, 2, 3};
    const float spaces[2][2] = {{1024, 768}, {640, 480}};
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(matrices[i]->args[0], states[i]);
        const D3DMATRIX& m = matrices[i]->matrix;
        if (states[i] == D3DTS_PROJECTION) {
            EXPECT_FLOAT_EQ(m._11, 2 / spaces[i / 3][0]);
            EXPECT_FLOAT_EQ(m._22, 2 / spaces[i / 3][1]);
            EXPECT_FLOAT_EQ(m._33, -0.5f);
            EXPECT_FLOAT_EQ(m._43, 0.5f);
            EXPECT_FLOAT_EQ(m._44, 1.0f);
        } else {
            for (int r = 0; r < 4; ++r)
                for (int c = 0; c < 4; ++c) EXPECT_EQ(m.m[r][c], r == c ? 1.0f : 0.0f);
        }
    }

    EXPECT_EQ(BoundTextures(), frames);
    const auto draws = Draws();
    ASSERT_EQ(draws.size(), 6u);
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(draws[i]->args, (std::vector<int64_t>{D3DPT_TRIANGLEFAN, 0, 2}));
        const float b = static_cast<float>(512 >> i);  // 512, 256, 128, 64, 32
        const SVertexColorUV expected[4] = {{-b, -b, 0, 0xFFFFFFFF, 0, 0},
                                            {b, -b, 0, 0xFFFFFFFF, 1, 0},
                                            {b, b, 0, 0xFFFFFFFF, 1, 1},
                                            {-b, b, 0, 0xFFFFFFFF, 0, 1}};
        const auto vertices = VerticesOf<SVertexColorUV>(*draws[i]);
        ASSERT_EQ(vertices.size(), 4u);
        EXPECT_EQ(std::memcmp(vertices.data(), expected, sizeof expected), 0);
    }
    EXPECT_EQ(draws[5]->args, (std::vector<int64_t>{D3DPT_TRIANGLEFAN, 0, 2}));
    EXPECT_EQ(draws[5]->stride, 16u);
    EXPECT_EQ(draws[5]->fvf, 0x42u);
    const SVertexColor veil[4] = {{-320, 240, 0, 0xFFFFFFFF},
                                  {320, 240, 0, 0xFFFFFFFF},
                                  {320, -240, 0, 0xFFFFFFFF},
                                  {-320, -240, 0, 0xFFFFFFFF}};
    const auto vertices = VerticesOf<SVertexColor>(*draws[5]);
    ASSERT_EQ(vertices.size(), 4u);
    EXPECT_EQ(std::memcmp(vertices.data(), veil, sizeof veil), 0);
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

    for (float a : {3.0f, 7.0f}) {
        RenderAt(a);
        EXPECT_EQ(Draws().size(), 5u);
        EXPECT_EQ(RenderStates().back(), (std::pair<DWORD, DWORD>{20, 6}));
        EXPECT_EQ(StageStates().size(), 14u);
        EXPECT_FLOAT_EQ(LastTransform(D3DTS_PROJECTION)._11, 2.0f / 640);
        EXPECT_FLOAT_EQ(LastTransform(D3DTS_PROJECTION)._22, 2.0f / 480);
    }
}

TEST_F(OldZoomTest, ZoomDoublesEveryTwoSecondsThenTurnsBackAfterTen) {
    InitEffect();
    // The step is added before the frame: from 1 s, a step of 1 s gives a = 2,
    // scale 2 turned by 0.2 radians.
    CEffectOldZoom::s_time = 1.0f;
    device.ClearCalls();
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

    device.ClearCalls();
    EXPECT_EQ(effect.Trigger(), 0);
    EXPECT_EQ(OpSequence(), "SetTexture SetTexture SetTexture SetTexture SetTexture");
    EXPECT_EQ(BoundTextures(), frames);
    EXPECT_EQ(CEffectOldZoom::s_time, 1.25f);
    EXPECT_EQ(CEffectOldZoom::s_zoomPhase, 1);

    RenderAt(1.25f);
    ASSERT_EQ(device.calls.size(), alone.size());
    for (size_t i = 0; i < alone.size(); ++i) {
        EXPECT_EQ(device.calls[i].op, alone[i].op);
        EXPECT_EQ(device.calls[i].args, alone[i].args);
        EXPECT_EQ(device.calls[i].object, alone[i].object);
        EXPECT_EQ(device.calls[i].vertices, alone[i].vertices);
        EXPECT_EQ(std::memcmp(&device.calls[i].matrix, &alone[i].matrix, sizeof(D3DMATRIX)), 0);
    }
}

TEST_F(OldZoomTest, MissingFrameBindsNoTexture) {
    std::remove("Data/lrame3.tga");
    InitEffect();
    ASSERT_EQ(frames.size(), 4u);
    const std::vector<const void*> expected = {frames[0], frames[1], nullptr, frames[2], frames[3]};
    RenderAt(0.0f);
    EXPECT_EQ(BoundTextures(), expected);
    EXPECT_EQ(Draws().size(), 6u);
    device.ClearCalls();
    effect.Trigger();
    EXPECT_EQ(BoundTextures(), expected);
}

}  // namespace
