#include "effects/flare.h"

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "tests/effects/effect_fixture.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kRows = 10;

// The profile's radius sample for (row, column): column 0 names its row,
// column 1 is 0 and column 2 is 255; the rest vary.
uint8_t ProfileSample(int column, int row) {
    if (column == 0) return static_cast<uint8_t>(10 * row + 5);
    if (column == 1) return 0;
    if (column == 2) return 255;
    return static_cast<uint8_t>((column * 7 + row * 31) & 255);
}

struct SExpected {
    double radius, degrees;
    float u;
};

void ExpectVertex(const SVertexColorUV& vertex, const SExpected& expected) {
    const double radians = expected.degrees * kPi / 180.0;
    EXPECT_NEAR(vertex.x, expected.radius * std::cos(radians), 2e-3);
    EXPECT_NEAR(vertex.y, expected.radius * std::sin(radians), 2e-3);
    EXPECT_EQ(vertex.z, 0.0f);
    EXPECT_EQ(vertex.colour, 0xFFFFFFFFu);
    EXPECT_EQ(vertex.u, expected.u);
    EXPECT_EQ(vertex.v, 0.0f);
}

class FlareTest : public EffectTest {
protected:
    void SetUp() override {
        EffectTest::SetUp();
        WriteProfile(256, kRows, 24);
        WriteSolidTga("Data/grad.tga", 8, 1, 32, 0xFFFF8000);
    }

    static void WriteProfile(int width, int height, int depth) {
        WriteTga("Data/anim.tga", width, height, depth,
                 [](int x, int row, uint8_t bgra[4]) { bgra[0] = ProfileSample(x, row); });
    }

    // One frame at the given clock, with the calls of that frame only.
    void RenderAt(float seconds, float step = 0.0f) {
        NewFrame();
        CEffectFlare::s_time = seconds;
        effect.Render(step);
    }

    CEffectFlare effect;
};

TEST_F(FlareTest, InitLoadsTheGradientAndMakesTenBuffers) {
    effect.Init(640, 480);
    const auto textures = device.Find("CreateTexture");
    ASSERT_EQ(textures.size(), 1u);
    EXPECT_EQ(textures[0]->args[0], 8);
    const auto buffers = device.Find("CreateVertexBuffer");
    ASSERT_EQ(buffers.size(), 10u);
    for (int k = 0; k < 9; ++k) EXPECT_EQ(buffers[k]->args[0], 514 * 24) << k;
    EXPECT_EQ(buffers[9]->args[0], 258 * 24);
    EXPECT_EQ(effect.Trigger(), 0);
}

TEST_F(FlareTest, FrameSetsAdditiveStatesTheBreathingScaleAndDrawsTheDisc) {
    effect.Init(640, 480);
    const void* gradient = device.Find("CreateTexture")[0]->object;
    RenderAt(0.0f);

    // Texture x diffuse, added onto what is drawn; at a = 0 the view
    // scale is sin 0 + 2 = 2, in a 1024 x 768 space.
    const SMatrix doubled = {{{2, 0, 0, 0}, {0, 2, 0, 0}, {0, 0, 2, 0}, {0, 0, 0, 1}}};
    for (const SRecordedCall* draw : Draws()) {
        EXPECT_TRUE(HasRenderStates(draw->state, kUnlitNoCull));
        EXPECT_TRUE(HasRenderStates(draw->state, Blend(D3DBLEND_ONE, D3DBLEND_ONE)));
        EXPECT_TRUE(HasStageStates(draw->state, Modulate(D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_BLENDDIFFUSEALPHA)));
        EXPECT_TRUE(MatrixNear(TransformOf(draw->state, D3DTS_WORLD), Identity(), 0));
        EXPECT_TRUE(MatrixNear(TransformOf(draw->state, D3DTS_VIEW), doubled, 0));
        EXPECT_TRUE(MatrixNear(TransformOf(draw->state, D3DTS_PROJECTION), Ortho(1024, 768), 1e-7));
        EXPECT_EQ(TextureOf(draw->state), gradient);
    }

    // Nine closed strips of 514 vertices, then a fan of 258: ms = 0, row 0,
    // ring k's edges twisted by 2 sin k and 2 sin (k - 1) degrees. Columns 1
    // and 2 (samples 0 and 255) put ring k between 15 (k - 1) and 15 k, and
    // 127.5 further out; step 256 closes the ring 360 degrees on.
    const auto drawn = Draws();
    ASSERT_EQ(drawn.size(), 10u);
    for (int k = 1; k <= 9; ++k) {
        SCOPED_TRACE(k);
        const SRecordedCall& ring = *drawn[k - 1];
        EXPECT_EQ(ring.args, (std::vector<int64_t>{D3DPT_TRIANGLESTRIP, 0, 512}));
        const auto vertices = VerticesOf<SVertexColorUV>(ring);
        ASSERT_EQ(vertices.size(), 514u);
        const float outerU = static_cast<float>((k + 1) * 0.099), innerU = static_cast<float>(k * 0.099);
        for (int i = 0; i <= 256; ++i) {
            SCOPED_TRACE(i);
            const double half = 0.5 * ProfileSample(i % 256, 0);
            const double alpha = i * 360.0 / 256;
            ExpectVertex(vertices[2 * i], {15.0 * k + half, alpha - 2 * std::sin(k), outerU});
            ExpectVertex(vertices[2 * i + 1], {15.0 * (k - 1) + half, alpha - 2 * std::sin(k - 1), innerU});
        }
    }
    const SRecordedCall& centre = *drawn[9];
    EXPECT_EQ(centre.args, (std::vector<int64_t>{D3DPT_TRIANGLEFAN, 0, 256}));
    const auto fan = VerticesOf<SVertexColorUV>(centre);
    ASSERT_EQ(fan.size(), 258u);
    ExpectVertex(fan[0], {0.0, 0.0, 0.05f});
    for (int i = 0; i <= 256; ++i) ExpectVertex(fan[1 + i], {15 + 0.5 * ProfileSample(i % 256, 0), i * 360.0 / 256, 0.099f});
}

TEST_F(FlareTest, OutlineRowTwistAndScaleFollowTheClock) {
    effect.Init(640, 480);
    // Column 0 of row r samples 10 r + 5, so the fan's first rim vertex
    // names the row in use.
    auto rowRadius = [this]() {
        const auto fan = VerticesOf<SVertexColorUV>(*Draws().back());
        return std::hypot(fan[1].x, fan[1].y);
    };
    struct SCase {
        float seconds;
        int row;
    };
    for (const SCase& c : {SCase{0.0395f, 0}, SCase{0.0405f, 1}, SCase{0.0795f, 1}, SCase{0.0805f, 2},
                           SCase{0.3995f, 9}, SCase{0.4005f, 0}}) {
        SCOPED_TRACE(c.seconds);
        RenderAt(c.seconds);
        EXPECT_NEAR(rowRadius(), 15 + 0.5 * (10 * c.row + 5), 1e-3);
    }

    // ms = 40: T = 0.2, so ring 3 starts at -2 sin (3.2) degrees.
    RenderAt(0.0405f);
    const auto ring3 = VerticesOf<SVertexColorUV>(*Draws()[2]);
    ExpectVertex(ring3[0], {45 + 0.5 * ProfileSample(0, 1), -2 * std::sin(3.2), static_cast<float>(4 * 0.099)});

    // The step is added before the frame is drawn.
    RenderAt(0.0f, static_cast<float>(kPi / 2));
    EXPECT_EQ(CEffectFlare::s_time, static_cast<float>(kPi / 2));
    EXPECT_FLOAT_EQ(TransformOf(Draws()[0]->state, D3DTS_VIEW)._11, 3.0f);
    RenderAt(static_cast<float>(3 * kPi / 2));
    EXPECT_FLOAT_EQ(TransformOf(Draws()[0]->state, D3DTS_VIEW)._22, 1.0f);
    EXPECT_FLOAT_EQ(TransformOf(Draws()[0]->state, D3DTS_VIEW)._33, 1.0f);
}

TEST_F(FlareTest, StepZeroKeepsThePictureStill) {
    effect.Init(640, 480);
    RenderAt(1.234f);
    const std::vector<SRecordedCall> first = device.calls;
    ASSERT_EQ(Draws().size(), 10u);
    NewFrame();
    effect.Render(0.0f);
    ExpectSameDraws(first, device.calls);
}

// An image the buffers cannot hold, a bad depth or no file: Init stops
// before the gradient and the buffers, and the effect draws nothing.
TEST_F(FlareTest, UnusableProfilesAreRejectedAndDrawNothing) {
    struct SCase {
        const char* what;
        int width, height, depth;
    };
    for (const SCase& c : {SCase{"narrow", 128, 4, 24}, SCase{"wide", 512, 4, 24}, SCase{"no rows", 256, 0, 24},
                           SCase{"16-bit", 256, 4, 16}, SCase{"missing", 0, 0, 0}}) {
        SCOPED_TRACE(c.what);
        if (c.depth) {
            WriteProfile(c.width, c.height, c.depth);
        } else {
            std::remove("Data/anim.tga");
        }
        CEffectFlare rejected;
        NewFrame();
        EXPECT_EQ(rejected.Init(640, 480), 0);
        EXPECT_EQ(device.calls.size(), 0u);
        CEffectFlare::s_time = 0.0f;
        EXPECT_EQ(rejected.Render(0.25f), 0);
        EXPECT_EQ(device.calls.size(), 0u);
        EXPECT_EQ(CEffectFlare::s_time, 0.25f);
    }
}

TEST_F(FlareTest, ShortProfileReadsMissingRowsAsZero) {
    // The header promises 10 rows, the file holds 2 and a half.
    std::filesystem::resize_file("Data/anim.tga", 18 + 256 * 3 * 5 / 2);
    effect.Init(640, 480);
    RenderAt(0.0405f);  // row 1 is whole
    const SVertexColorUV first = VerticesOf<SVertexColorUV>(*Draws()[0])[0];
    EXPECT_NEAR(std::hypot(first.x, first.y), 15 + 0.5 * ProfileSample(0, 1), 1e-3);
    RenderAt(0.2005f);  // row 5 is beyond the end: every sample 0
    const auto drawn = Draws();
    ASSERT_EQ(drawn.size(), 10u);
    for (int k = 1; k <= 9; ++k) {
        const auto ring = VerticesOf<SVertexColorUV>(*drawn[k - 1]);
        for (int i = 0; i < 514; i += 37) EXPECT_NEAR(std::hypot(ring[i].x, ring[i].y), 15.0 * (k - i % 2), 1e-3);
    }
}

TEST_F(FlareTest, ThirtyTwoBitProfilesAreStillSampledThreeBytesApart) {
    // Sample j is byte 3 j: with 4-byte pixels, column 1 reads pixel 0's alpha.
    WriteTga("Data/anim.tga", 256, 2, 32, [](int x, int, uint8_t bgra[4]) {
        bgra[0] = 0;
        bgra[3] = x == 0 ? 200 : 0;
    });
    effect.Init(640, 480);
    RenderAt(0.0f);
    const auto fan = VerticesOf<SVertexColorUV>(*Draws().back());
    EXPECT_NEAR(std::hypot(fan[1].x, fan[1].y), 15.0, 1e-3);
    EXPECT_NEAR(std::hypot(fan[2].x, fan[2].y), 15.0 + 100.0, 1e-3);
    EXPECT_NEAR(std::hypot(fan[3].x, fan[3].y), 15.0, 1e-3);
}

TEST_F(FlareTest, MissingGradientBindsNoTexture) {
    std::remove("Data/grad.tga");
    effect.Init(640, 480);
    RenderAt(0.0f);
    const auto draws = Draws();
    EXPECT_EQ(draws.size(), 10u);
    for (const SRecordedCall* draw : draws) EXPECT_EQ(TextureOf(draw->state), nullptr);
}

}  // namespace
