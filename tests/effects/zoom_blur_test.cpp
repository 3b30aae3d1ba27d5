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
    EXPECT_EQ(draw.stride, 24u);
    EXPECT_EQ(draw.fvf, 0x142u);
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
        device.ClearCalls();
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

    const std::string ops = OpSequence();
    EXPECT_NE(ops.find("CreateVertexBuffer GetRenderTarget SetRenderTarget Clear SetRenderTarget Release Release"),
              std::string::npos)
        << ops;
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
    device.ClearCalls();
    const float t = static_cast<float>(kPi / 2);
    CEffectZoomBlur::s_time = t;
    EXPECT_EQ(effect.Render(0.02f), 0);
    EXPECT_EQ(CEffectZoomBlur::s_time, t + 0.02f);

    const char* ts = "SetTextureStageState ";
    std::string stage;
    for (int i = 0; i < 6; ++i) stage += ts;
    const std::string draw = "SetStreamSource SetVertexShader DrawPrimitive ";
    const std::string flat = "SetTransform SetTransform SetTransform ";
    EXPECT_EQ(OpSequence() + " ",
              "GetRenderTarget CopyRects SetRenderTarget " + flat + stage +
                  "SetRenderState SetRenderState SetTransform "
                  "SetRenderState SetRenderState SetRenderState SetTexture " + draw +
                  "SetTransform SetRenderState SetRenderState SetRenderState SetTexture " + draw +
                  "SetRenderTarget " + flat + stage +
                  "SetRenderState SetRenderState SetRenderState SetRenderState SetRenderState SetTexture " +
                  draw + "Release Release Release ");

    const std::vector<std::pair<DWORD, DWORD>> stageStates = {{1, 4}, {2, 0}, {3, 2}, {4, 12}, {16, 2}, {17, 2}};
    std::vector<std::pair<DWORD, DWORD>> twice = stageStates;
    twice.insert(twice.end(), stageStates.begin(), stageStates.end());
    EXPECT_EQ(StageStates(), twice);
    EXPECT_EQ(RenderStates(), (std::vector<std::pair<DWORD, DWORD>>{
                                  {22, 1}, {137, 0},            // into the target
                                  {27, 1}, {19, 5}, {20, 5},    // feedback: both weighted by source alpha
                                  {27, 1}, {19, 2}, {20, 2},    // spinner: added
                                  {22, 1}, {137, 0}, {27, 1}, {19, 2}, {20, 2}}));  // screen: added

    // World, view, projection; the zoom; the spinner's turn; then flat again.
    const auto transforms = device.Find("SetTransform");
    ASSERT_EQ(transforms.size(), 8u);
    const DWORD states[8] = {256, 2, 3, 256, 256, 256, 2, 3};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(transforms[i]->args[0], states[i]) << i;
    for (int i : {2, 7}) {
        const D3DMATRIX& ortho = transforms[i]->matrix;
        EXPECT_FLOAT_EQ(ortho._11, 2.0f / 640);
        EXPECT_FLOAT_EQ(ortho._22, 2.0f / 480);
        EXPECT_FLOAT_EQ(ortho._33, -0.5f);
        EXPECT_FLOAT_EQ(ortho._43, 0.5f);
        EXPECT_FLOAT_EQ(ortho._44, 1.0f);
    }
    for (int i : {0, 1, 5, 6})
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c) EXPECT_EQ(transforms[i]->matrix.m[r][c], r == c ? 1.0f : 0.0f);
    const D3DMATRIX& zoom = transforms[3]->matrix;
    EXPECT_EQ(zoom._11, 1.15f);
    EXPECT_EQ(zoom._22, 1.15f);
    EXPECT_EQ(zoom._33, 1.15f);
    EXPECT_EQ(zoom._44, 1.0f);
    const D3DMATRIX& turn = transforms[4]->matrix;  // a quarter turn: x maps to y
    EXPECT_NEAR(turn._11, 0.0f, 1e-6);
    EXPECT_NEAR(turn._12, 1.0f, 1e-6);
    EXPECT_NEAR(turn._21, -1.0f, 1e-6);
    EXPECT_NEAR(turn._22, 0.0f, 1e-6);

    EXPECT_EQ(BoundTextures(), (std::vector<const void*>{copy, spinner, target}));
    const auto draws = Draws();
    ASSERT_EQ(draws.size(), 3u);
    // sin t = 1: half-width 640 / 2.5 = 256; half the height 240.
    ExpectQuad(*draws[0], {{-256, -240, 0, 1}, {256, -240, 1, 1}, {256, 240, 1, 0}, {-256, 240, 0, 0}});
    // The spinner: a box of half the screen's width and height.
    ExpectQuad(*draws[1], {{-160, -120, 0, 1}, {160, -120, 1, 1}, {160, 120, 1, 0}, {-160, 120, 0, 0}});
    // The screen: the whole target, v = 1 at the top.
    ExpectQuad(*draws[2], {{-320, 240, 0, 1}, {320, 240, 1, 1}, {320, -240, 1, 0}, {-320, -240, 0, 0}});

    // The copy of the target went to the copy texture; drawing moved into
    // the target and back to the back buffer.
    const auto copies = device.Find("CopyRects");
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(copies[0]->args, (std::vector<int64_t>{0, 1, 1}));
    EXPECT_EQ(std::memcmp(CRecordingDevice::Pixels(copy).data(), CRecordingDevice::Pixels(target).data(), 256 * 4),
              0);
    EXPECT_EQ(CRecordingDevice::Pixels(copy)[5], 35);
    const auto targets = device.Find("SetRenderTarget");
    ASSERT_EQ(targets.size(), 2u);
    EXPECT_EQ(targets[0]->object, copies[0]->object);
    EXPECT_EQ(targets[0]->object2, nullptr);
    EXPECT_EQ(targets[1]->object, device.BackBuffer());
    EXPECT_EQ(targets[1]->object2, nullptr);

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
        device.ClearCalls();
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
    EXPECT_EQ(BoundTextures(), (std::vector<const void*>{spinner, target}));
    const auto draws = Draws();
    ASSERT_EQ(draws.size(), 2u);
    ExpectQuad(*draws[0], {{-160, -120, 0, 1}, {160, -120, 1, 1}, {160, 120, 1, 0}, {-160, 120, 0, 0}});
    ExpectQuad(*draws[1], {{-320, 240, 0, 1}, {320, 240, 1, 1}, {320, -240, 1, 0}, {-320, -240, 0, 0}});
    const D3DMATRIX spin = device.Find("SetTransform")[4]->matrix;
    EXPECT_EQ(spin._11, 1.0f);
    EXPECT_EQ(spin._12, 0.0f);
    EXPECT_EQ(device.Count("Release"), 3u);
}

TEST_F(ZoomBlurTest, MissingPicturesBindNothingOrDrawNothing) {
    std::remove("Data/happy.tga");
    effect.Init(640, 480);
    ASSERT_EQ(device.Count("CreateTexture"), 2u);
    device.ClearCalls();
    CEffectZoomBlur::s_time = 1.0f;
    effect.Render(0.0f);
    const auto bound = device.Find("SetTexture");
    ASSERT_EQ(bound.size(), 3u);
    EXPECT_EQ(bound[1]->object, nullptr);  // the spinner's place

    // Without the off-screen pictures there is nothing to feed back: no
    // drawing and no surfaces, but the clock still runs.
    CEffectZoomBlur broken;
    device.createTextureResult = D3DERR_OUTOFVIDEOMEMORY;
    device.ClearCalls();
    broken.Init(640, 480);
    EXPECT_EQ(device.Count("Clear"), 0u);
    broken.Render(0.5f);
    EXPECT_EQ(device.Count("DrawPrimitive"), 0u);
    EXPECT_EQ(device.Count("GetRenderTarget"), 0u);
    EXPECT_EQ(CEffectZoomBlur::s_time, 1.5f);
}

}  // namespace
