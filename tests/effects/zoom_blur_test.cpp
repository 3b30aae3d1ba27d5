#include "effects/zoom_blur.h"

#include <cmath>
#include <cstring>

#include "tests/effects/effect_fixture.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr D3DCOLOR kColour = 0x47FFFFFF;

struct SCorner {
    float x, y, u, v;
};

void ExpectQuad(const SRecordedCall& draw, const SCorner (&expected)[4]) {
    EXPECT_EQ(draw.args, (std::vector<int64_t>{D3DPT_TRIANGLEFAN, 0, 2}));
    EXPECT_EQ(draw.state.stride, 24u);
    EXPECT_EQ(draw.state.fvf, D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    const auto vertices = VerticesOf<SVertexColorUV>(draw);
    ASSERT_EQ(vertices.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(vertices[i].x, expected[i].x, 1e-3);
        EXPECT_NEAR(vertices[i].y, expected[i].y, 1e-3);
        EXPECT_EQ(vertices[i].z, 0.0f);
        EXPECT_EQ(vertices[i].colour, kColour);
        EXPECT_EQ(vertices[i].u, expected[i].u);
        EXPECT_EQ(vertices[i].v, expected[i].v);
    }
}

ULONG RefsOf(IDirect3DSurface8* surface) {
    surface->AddRef();
    return surface->Release();
}

class ZoomBlurTest : public EffectTest {
protected:
    void SetUp() override {
        EffectTest::SetUp();
        WriteSolidTga("Data/happy.tga", 4, 4, 32, 0xFF20C040);
    }

    // The textures Init made, in the order it made them.
    void InitEffect() {
        effect.Init(640, 480);
        const auto creates = device.Find("CreateTexture");
        ASSERT_EQ(creates.size(), 3u);
        spinner = static_cast<IDirect3DTexture8*>(const_cast<void*>(creates[0]->object));
        target = static_cast<IDirect3DTexture8*>(const_cast<void*>(creates[1]->object));
        copy = static_cast<IDirect3DTexture8*>(const_cast<void*>(creates[2]->object));
        NewFrame();
    }

    CEffectZoomBlur effect;
    IDirect3DTexture8* spinner = nullptr;
    IDirect3DTexture8* target = nullptr;
    IDirect3DTexture8* copy = nullptr;
};

TEST_F(ZoomBlurTest, InitMakesItsPicturesAndClearsTheTargetToOpaqueBlack) {
    const int liveBefore = CRecordingDevice::LiveObjects();
    const ULONG backBufferRefs = RefsOf(device.BackBuffer());
    effect.Init(640, 480);

    const auto creates = device.Find("CreateTexture");
    ASSERT_EQ(creates.size(), 3u);
    EXPECT_EQ(creates[0]->args, (std::vector<int64_t>{4, 4, 0, 0, 21, 1}));      // the spinner
    EXPECT_EQ(creates[1]->args, (std::vector<int64_t>{256, 256, 0, 1, 21, 0}));  // render target
    EXPECT_EQ(creates[2]->args, (std::vector<int64_t>{256, 256, 0, 0, 21, 1}));  // the copy
    const auto buffers = device.Find("CreateVertexBuffer");
    ASSERT_EQ(buffers.size(), 1u);
    EXPECT_EQ(buffers[0]->args[0], 4 * 24);

    const auto targets = device.Find("SetRenderTarget");
    ASSERT_EQ(targets.size(), 2u);
    auto* cleared = static_cast<IDirect3DSurface8*>(const_cast<void*>(targets[0]->object));
    ASSERT_NE(cleared, nullptr);
    EXPECT_NE(cleared, device.BackBuffer());
    EXPECT_EQ(cleared->Width(), 256u);
    EXPECT_EQ(targets[0]->object2, nullptr);
    const auto clears = device.Find("Clear");
    ASSERT_EQ(clears.size(), 1u);
    EXPECT_EQ(clears[0]->object, cleared);
    EXPECT_EQ(clears[0]->args, (std::vector<int64_t>{0, D3DCLEAR_TARGET, 0xFF000000, 0}));
    EXPECT_EQ(clears[0]->z, 1.0f);
    EXPECT_EQ(targets[1]->object, device.BackBuffer());
    EXPECT_EQ(targets[1]->object2, nullptr);
    EXPECT_EQ(device.State().target, device.BackBuffer());

    // Both surfaces went back: only the three textures and the buffer remain.
    EXPECT_EQ(CRecordingDevice::LiveObjects(), liveBefore + 4);
    EXPECT_EQ(RefsOf(device.BackBuffer()), backBufferRefs);
    EXPECT_EQ(effect.Trigger(), 0);
}

TEST_F(ZoomBlurTest, QuarterTurnFrameFeedsLastPictureBackAndAddsItToTheScreen) {
    InitEffect();
    // Mark last frame's picture so the copy can be traced.
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(target->LockRect(0, &locked, nullptr, 0), D3D_OK);
    for (int i = 0; i < 256 * 4; ++i) static_cast<uint8_t*>(locked.pBits)[i] = static_cast<uint8_t>(i * 7);
    target->UnlockRect(0);

    const int liveBefore = CRecordingDevice::LiveObjects();
    const ULONG backBufferRefs = RefsOf(device.BackBuffer());
    NewFrame();
    const float t = static_cast<float>(kPi / 2);
    CEffectZoomBlur::s_time = t;
    EXPECT_EQ(effect.Render(0.02f), 0);
    EXPECT_EQ(CEffectZoomBlur::s_time, t + 0.02f);

    const auto draws = Draws();
    ASSERT_EQ(draws.size(), 3u);
    const auto copies = device.Find("CopyRects");
    ASSERT_EQ(copies.size(), 1u);
    // Last frame's picture is copied before anything is drawn into it.
    EXPECT_LT(copies[0], draws[0]);
    const void* targetSurface = copies[0]->object;

    // Unlit pictures in the layer's flat projection: texture x diffuse, the
    // alpha blending texture alpha towards the vertex alpha, filtered.
    for (const SRecordedCall* draw : draws) {
        EXPECT_TRUE(HasStageStates(draw->state, Modulate(D3DTA_DIFFUSE, D3DTA_TEXTURE, D3DTOP_BLENDDIFFUSEALPHA)));
        EXPECT_TRUE(HasStageStates(draw->state, kLinearFiltering));
        EXPECT_TRUE(HasRenderStates(draw->state, kUnlitNoCull));
        EXPECT_TRUE(MatrixNear(TransformOf(draw->state, D3DTS_VIEW), Identity(), 0));
        EXPECT_TRUE(MatrixNear(TransformOf(draw->state, D3DTS_PROJECTION), Ortho(640, 480), 1e-7));
    }

    // Into the target: last frame's picture zoomed, both it and what it
    // covers weighted by its alpha. sin t = 1: half-width 640 / 2.5 = 256;
    // half the height 240.
    const SRecordedCall& feedback = *draws[0];
    EXPECT_EQ(feedback.state.target, targetSurface);
    EXPECT_EQ(TextureOf(feedback.state), copy);
    EXPECT_TRUE(HasRenderStates(feedback.state, Blend(D3DBLEND_SRCALPHA, D3DBLEND_SRCALPHA)));
    EXPECT_TRUE(MatrixNear(TransformOf(feedback.state, D3DTS_WORLD),
                           {{{1.15, 0, 0, 0}, {0, 1.15, 0, 0}, {0, 0, 1.15, 0}, {0, 0, 0, 1}}}, 1e-6));
    ExpectQuad(feedback, {{-256, -240, 0, 1}, {256, -240, 1, 1}, {256, 240, 1, 0}, {-256, 240, 0, 0}});

    // The spinner added there, a box of half the screen's width and height
    // turned by t: a quarter turn maps x to y.
    const SRecordedCall& spinnerDraw = *draws[1];
    EXPECT_EQ(spinnerDraw.state.target, targetSurface);
    EXPECT_EQ(TextureOf(spinnerDraw.state), spinner);
    EXPECT_TRUE(HasRenderStates(spinnerDraw.state, Blend(D3DBLEND_ONE, D3DBLEND_ONE)));
    EXPECT_TRUE(MatrixNear(TransformOf(spinnerDraw.state, D3DTS_WORLD),
                           {{{0, 1, 0, 0}, {-1, 0, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}}, 1e-6));
    ExpectQuad(spinnerDraw, {{-160, -120, 0, 1}, {160, -120, 1, 1}, {160, 120, 1, 0}, {-160, 120, 0, 0}});

    // Then the whole target added over the screen, v = 1 at the top.
    const SRecordedCall& screen = *draws[2];
    EXPECT_EQ(screen.state.target, device.BackBuffer());
    EXPECT_EQ(TextureOf(screen.state), target);
    EXPECT_TRUE(HasRenderStates(screen.state, Blend(D3DBLEND_ONE, D3DBLEND_ONE)));
    EXPECT_TRUE(IsFlatSpace(screen.state, 640, 480));
    ExpectQuad(screen, {{-320, 240, 0, 1}, {320, 240, 1, 1}, {320, -240, 1, 0}, {-320, -240, 0, 0}});

    // The whole target went to the copy texture; the frame ends drawing to
    // the screen, and no target came with a depth surface.
    EXPECT_EQ(copies[0]->args, (std::vector<int64_t>{0, 1, 1}));
    EXPECT_EQ(std::memcmp(CRecordingDevice::Pixels(copy).data(), CRecordingDevice::Pixels(target).data(), 256 * 4),
              0);
    EXPECT_EQ(CRecordingDevice::Pixels(copy)[5], 35);
    EXPECT_EQ(device.State().target, device.BackBuffer());
    for (const SRecordedCall* set : device.Find("SetRenderTarget")) EXPECT_EQ(set->object2, nullptr);

    // Three surfaces obtained, all three released: target, saved, copy.
    const auto releases = device.Find("Release");
    ASSERT_EQ(releases.size(), 3u);
    EXPECT_EQ(releases[0]->object, copies[0]->object);
    EXPECT_EQ(releases[1]->object, device.BackBuffer());
    EXPECT_EQ(releases[2]->object, copies[0]->object2);
    EXPECT_EQ(CRecordingDevice::LiveObjects(), liveBefore);
    EXPECT_EQ(RefsOf(device.BackBuffer()), backBufferRefs);
}

TEST_F(ZoomBlurTest, FeedbackWidthFollowsTheSineAndMirrorsWhileItIsNegative) {
    InitEffect();
    struct SCase {
        float t;
        double x;  // the first corner's x: minus the half-width 640 / (2.5 sin t)
    };
    const SCase cases[] = {
        {static_cast<float>(3 * kPi / 2), 256.0},  // sin t = -1: corners swap sides
        {1.0f, -640.0 / (2.5 * std::sin(1.0))},    // narrower than the target's width
        {4.0f, -640.0 / (2.5 * std::sin(4.0))},    // negative and wide
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.t);
        NewFrame();
        CEffectZoomBlur::s_time = c.t;
        effect.Render(0.0f);
        const auto draws = Draws();
        ASSERT_EQ(draws.size(), 3u);
        const float x = static_cast<float>(c.x);
        ExpectQuad(*draws[0], {{x, -240, 0, 1}, {-x, -240, 1, 1}, {-x, 240, 1, 0}, {x, 240, 0, 0}});
        // With step 0 the clock stands still.
        EXPECT_EQ(CEffectZoomBlur::s_time, c.t);
    }
}

// At t = 0 the feedback quad would be infinitely wide: the frame skips it
// but still draws the spinner, unturned, and the screen quad.
TEST_F(ZoomBlurTest, FirstFrameSkipsTheUnboundedFeedbackQuad) {
    InitEffect();
    CEffectZoomBlur::s_time = 0.0f;
    effect.Render(0.016f);
    EXPECT_EQ(CEffectZoomBlur::s_time, 0.016f);
    const auto draws = Draws();
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(TextureOf(draws[0]->state), spinner);
    EXPECT_EQ(TextureOf(draws[1]->state), target);
    ExpectQuad(*draws[0], {{-160, -120, 0, 1}, {160, -120, 1, 1}, {160, 120, 1, 0}, {-160, 120, 0, 0}});
    ExpectQuad(*draws[1], {{-320, 240, 0, 1}, {320, 240, 1, 1}, {320, -240, 1, 0}, {-320, -240, 0, 0}});
    EXPECT_TRUE(MatrixNear(TransformOf(draws[0]->state, D3DTS_WORLD), Identity(), 0));
    EXPECT_EQ(device.Count("Release"), 3u);
}

TEST_F(ZoomBlurTest, MissingPicturesBindNothingOrDrawNothing) {
    std::remove("Data/happy.tga");
    effect.Init(640, 480);
    ASSERT_EQ(device.Count("CreateTexture"), 2u);
    NewFrame();
    CEffectZoomBlur::s_time = 1.0f;
    effect.Render(0.0f);
    const auto draws = Draws();
    ASSERT_EQ(draws.size(), 3u);
    EXPECT_EQ(TextureOf(draws[1]->state), nullptr);  // the spinner

    // Without the off-screen pictures there is nothing to feed back: no
    // drawing and no surfaces, but the clock still runs.
    CEffectZoomBlur broken;
    device.createTextureResult = D3DERR_OUTOFVIDEOMEMORY;
    NewFrame();
    broken.Init(640, 480);
    EXPECT_EQ(device.Count("Clear"), 0u);
    broken.Render(0.5f);
    EXPECT_EQ(device.Count("DrawPrimitive"), 0u);
    EXPECT_EQ(device.Count("GetRenderTarget"), 0u);
    EXPECT_EQ(CEffectZoomBlur::s_time, 1.5f);
}

}  // namespace
