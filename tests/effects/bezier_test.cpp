#include "effects/bezier.h"

#include <cmath>
#include <string>

#include "tests/effects/effect_fixture.h"

namespace {

constexpr float kTolerance = 1e-5f;
constexpr int kStripVertices = 34;

// The undistorted net is separable: x follows the columns' spacing along u
// (u = 1 at column 0), y the rows' spacing along w (w = 1 at row 0).
double Cubic(double s, const double p[4]) {
    const double r = 1.0 - s;
    return s * s * s * p[0] + 3 * s * s * r * p[1] + 3 * s * r * r * p[2] + r * r * r * p[3];
}
const double kSpacing[4] = {-1.0, -0.5, 0.0, 1.0};

class BezierTest : public EffectTest {
protected:
    void SetUp() override {
        EffectTest::SetUp();
        CEffectBezier::s_time = 0.0f;
    }
    // The vertices the frame's draws read, in buffer order.
    std::vector<SVertexColorUV> FrameVertices() const {
        std::vector<SVertexColorUV> all;
        for (const SRecordedCall* draw : Draws()) {
            const auto strip = VerticesOf<SVertexColorUV>(*draw);
            all.insert(all.end(), strip.begin(), strip.end());
        }
        return all;
    }
    CEffectBezier bezier;
};

TEST_F(BezierTest, InitLoadsPictureAndMakesRoomForThePatch) {
    WriteSolidTga("Data/bez1.tga", 4, 2, 32, 0x80FF0000);
    bezier.Init(640, 480);
    const auto buffers = device.Find("CreateVertexBuffer");
    ASSERT_EQ(buffers.size(), 1u);
    EXPECT_EQ(buffers[0]->args[0], 648 * 24);
    const auto textures = device.Find("CreateTexture");
    ASSERT_EQ(textures.size(), 1u);
    EXPECT_EQ(textures[0]->args[0], 4);
    EXPECT_EQ(textures[0]->args[1], 2);
    const void* picture = textures[0]->object;
    ASSERT_NE(picture, nullptr);

    NewFrame();
    bezier.Render(0.0f);
    const auto draws = Draws();
    ASSERT_EQ(draws.size(), 16u);
    for (const SRecordedCall* draw : draws) EXPECT_EQ(TextureOf(draw->state), picture);
    EXPECT_EQ(bezier.Trigger(), 0);
}

TEST_F(BezierTest, MissingPictureBindsNoTexture) {
    bezier.Init(640, 480);
    NewFrame();
    bezier.Render(0.0f);
    const auto draws = Draws();
    EXPECT_EQ(draws.size(), 16u);
    for (const SRecordedCall* draw : draws) EXPECT_EQ(TextureOf(draw->state), nullptr);
}

TEST_F(BezierTest, EvalCurveHitsEndsAndMidpoint) {
    const D3DVECTOR a[4] = {{1, 2, 3}, {-4, 8, 0.5f}, {2, -6, 1}, {7, 0, -2}};
    D3DVECTOR out;
    CEffectBezier::EvalCurve(0.0f, a, &out);
    EXPECT_EQ(out.x, 7.0f);
    EXPECT_EQ(out.y, 0.0f);
    EXPECT_EQ(out.z, -2.0f);
    CEffectBezier::EvalCurve(1.0f, a, &out);
    EXPECT_EQ(out.x, 1.0f);
    EXPECT_EQ(out.y, 2.0f);
    EXPECT_EQ(out.z, 3.0f);
    CEffectBezier::EvalCurve(0.5f, a, &out);
    EXPECT_FLOAT_EQ(out.x, (1 - 12 + 6 + 7) / 8.0f);
    EXPECT_FLOAT_EQ(out.y, (2 + 24 - 18 + 0) / 8.0f);
    EXPECT_FLOAT_EQ(out.z, (3 + 1.5f + 3 - 2) / 8.0f);
}

TEST_F(BezierTest, FirstFrameDrawsWithItsStatesAndSpinningCamera) {
    bezier.Init(640, 480);
    NewFrame();
    bezier.Render(0.5f);
    EXPECT_EQ(CEffectBezier::s_time, 0.5f);

    // A third of a radian per second about the view axis; the camera 5
    // units in front, looking at the sheet.
    const double angle = 0.5 / 3;
    const double c = std::cos(angle), s = std::sin(angle);
    const SMatrix world = {{{c, s, 0, 0}, {-s, c, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
    const SMatrix view = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 5, 1}}};
    const auto draws = Draws();
    ASSERT_EQ(draws.size(), 16u);
    for (const SRecordedCall* draw : draws) {
        // Clockwise faces culled; texture x diffuse, blended over what lies below.
        EXPECT_TRUE(HasRenderStates(draw->state, {{D3DRS_CULLMODE, D3DCULL_CW}, {D3DRS_LIGHTING, FALSE}}));
        EXPECT_TRUE(HasRenderStates(draw->state, Blend(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA)));
        EXPECT_TRUE(HasStageStates(draw->state, Modulate(D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_BLENDDIFFUSEALPHA)));
        EXPECT_TRUE(MatrixNear(TransformOf(draw->state, D3DTS_WORLD), world, 1e-6));
        EXPECT_TRUE(MatrixNear(TransformOf(draw->state, D3DTS_VIEW), view, 1e-6));
        EXPECT_TRUE(MatrixNear(TransformOf(draw->state, D3DTS_PROJECTION), SquarePerspective(), 1e-5));
    }
}

TEST_F(BezierTest, FirstFrameDrawsTheUndistortedSheetInSixteenStrips) {
    bezier.Init(640, 480);
    NewFrame();
    bezier.Render(0.0f);

    const auto draws = Draws();
    ASSERT_EQ(draws.size(), 16u);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(draws[i]->args[0], D3DPT_TRIANGLESTRIP);
        EXPECT_EQ(draws[i]->args[1], kStripVertices * i);
        EXPECT_EQ(draws[i]->args[2], 32);
        EXPECT_EQ(draws[i]->state.stride, 24u);
        EXPECT_EQ(draws[i]->state.fvf, D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    }

    // 544 vertices: strip q pairs the edge u = (q - 1) / 16 with u = q / 16.
    const auto vertices = FrameVertices();
    ASSERT_EQ(vertices.size(), 544u);
    for (int strip = 0; strip < 16; ++strip) {
        for (int j = 0; j <= 16; ++j) {
            for (int side = 0; side < 2; ++side) {
                const int index = strip * kStripVertices + 2 * j + side;
                const double u = (strip + side) / 16.0, w = j / 16.0;
                const SVertexColorUV& v = vertices[index];
                EXPECT_NEAR(v.x, Cubic(u, kSpacing), kTolerance) << "vertex " << index;
                EXPECT_NEAR(v.y, Cubic(w, kSpacing), kTolerance) << "vertex " << index;
                EXPECT_EQ(v.z, 0.0f) << "vertex " << index;
                EXPECT_EQ(v.colour, 0x40FFFFFFu) << "vertex " << index;
                EXPECT_FLOAT_EQ(v.u, float(u)) << "vertex " << index;
                EXPECT_FLOAT_EQ(v.v, float(w)) << "vertex " << index;
            }
        }
    }
    // Corners: (0, 0) at (1, 1), (1, 1) at (-1, -1); the centre of the
    // parameter square sits off the centre of the sheet.
    EXPECT_EQ(vertices[0].x, 1.0f);
    EXPECT_EQ(vertices[0].y, 1.0f);
    EXPECT_EQ(vertices[543].x, -1.0f);
    EXPECT_EQ(vertices[543].y, -1.0f);
    EXPECT_EQ(vertices[543].u, 1.0f);
    EXPECT_EQ(vertices[543].v, 1.0f);
    EXPECT_FLOAT_EQ(vertices[255].x, -0.1875f);
    EXPECT_FLOAT_EQ(vertices[255].y, -0.1875f);
    EXPECT_EQ(vertices[255].u, 0.5f);
    EXPECT_EQ(vertices[255].v, 0.5f);
}

TEST_F(BezierTest, NetWandersOncePerFrameEvenWithoutTime) {
    bezier.Init(640, 480);
    bezier.Render(0.0f);
    NewFrame();
    bezier.Render(0.0f);

    // While t is 0, point (r, c) moved by 0.02 (sin k, cos k), k = r + c.
    // The patch corners are control points: S(0,0) = P[3][3], S(0,1) = P[0][3],
    // S(1,0) = P[3][0], S(1,1) = P[0][0].
    const auto vertices = FrameVertices();
    ASSERT_EQ(vertices.size(), 544u);
    struct SCorner {
        int vertex;
        double x, y;
        int k;
    };
    const SCorner corners[] = {{0, 1, 1, 6}, {32, 1, -1, 3}, {511, -1, 1, 3}, {543, -1, -1, 0}};
    for (const SCorner& c : corners) {
        EXPECT_NEAR(vertices[c.vertex].x, c.x + 0.02 * std::sin(c.k), 1e-6) << "vertex " << c.vertex;
        EXPECT_NEAR(vertices[c.vertex].y, c.y + 0.02 * std::cos(c.k), 1e-6) << "vertex " << c.vertex;
        EXPECT_EQ(vertices[c.vertex].z, 0.0f);
    }
}

TEST_F(BezierTest, NetWandersWithTheClock) {
    bezier.Init(640, 480);
    bezier.Render(0.5f);
    NewFrame();
    bezier.Render(0.0f);

    // The first frame moved P[3][3] (k = 6) at t = 0.5.
    const auto vertices = FrameVertices();
    ASSERT_EQ(vertices.size(), 544u);
    EXPECT_NEAR(vertices[0].x, 1 + 0.02 * std::sin(6.5), 1e-6);
    EXPECT_NEAR(vertices[0].y, 1 + 0.02 * std::cos(6 + 1.2343 * 0.5), 1e-6);
    EXPECT_EQ(CEffectBezier::s_time, 0.5f);
}

}  // namespace
