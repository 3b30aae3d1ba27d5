#include "effects/pixel_board.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>

#include "runtime/random.h"
#include "tests/effects/effect_fixture.h"

namespace {

struct SMatrix {
    double m[4][4];
};
SMatrix Multiply(const SMatrix& a, const SMatrix& b) {
    SMatrix out{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k) out.m[i][j] += a.m[i][k] * b.m[k][j];
    return out;
}

// The cell's expected world: moved to its cell, depth scaled, then the board
// turned by sin t about x and cos t about y (row vectors).
SMatrix CellWorld(int row, int column, double t) {
    const double g = 0.25 * (std::cos(5 * (column + t)) + std::sin(5 * (row + t))) + 0.2;
    const double ax = std::sin(t), ay = std::cos(t);
    const SMatrix scaleMove = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, g, 0}, {0.4 * column - 3.2, 0.4 * row - 3.2, 0, 1}}};
    const double cx = std::cos(ax), sx = std::sin(ax), cy = std::cos(ay), sy = std::sin(ay);
    const SMatrix aboutX = {{{1, 0, 0, 0}, {0, cx, sx, 0}, {0, -sx, cx, 0}, {0, 0, 0, 1}}};
    const SMatrix aboutY = {{{cy, 0, -sy, 0}, {0, 1, 0, 0}, {sy, 0, cy, 0}, {0, 0, 0, 1}}};
    return Multiply(scaleMove, Multiply(aboutX, aboutY));
}

class PixelBoardTest : public EffectTest {
protected:
    void SetUp() override {
        EffectTest::SetUp();
        CEffectPixelBoard::s_time = 0.0f;
    }
    void InitWithPictures() {
        WriteSolidTga("Data/coders.tga", 3, 2, 32, 0xFF102030);
        WriteSolidTga("Data/music.tga", 5, 2, 24, 0x405060);
        board.Init(640, 480);
        for (const SRecordedCall* created : device.Find("CreateTexture"))
            pictures[created->object] = created->args[0] == 3 ? "coders" : "music";
        pictures[nullptr] = "none";
    }
    // The funnel as the effect left it in its buffer, all 384 slots.
    std::vector<SVertexColor> Funnel() const {
        BYTE* data = nullptr;
        EXPECT_EQ(board.funnel.buffer->Lock(0, 384 * 16, &data, 0), D3D_OK);
        std::vector<SVertexColor> vertices(384);
        std::memcpy(vertices.data(), data, 384 * 16);
        board.funnel.buffer->Unlock();
        return vertices;
    }
    static void ExpectMatrixNear(const D3DMATRIX& actual, const SMatrix& expected, const std::string& what) {
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j)
                EXPECT_NEAR(actual.m[i][j], expected.m[i][j], 2e-6) << what << " _" << i + 1 << j + 1;
    }

    CEffectPixelBoard board;
    std::map<const void*, std::string> pictures;
};

TEST_F(PixelBoardTest, FunnelBandsFollowTheTestTextureDraws) {
    // The test texture's Init draws the first 300 values at registration.
    for (int i = 0; i < 300; ++i) DemoRand();
    InitWithPictures();

    const auto buffers = device.Find("CreateVertexBuffer");
    ASSERT_EQ(buffers.size(), 2u);
    EXPECT_EQ(buffers[0]->args[0], 384 * 16);
    EXPECT_EQ(buffers[1]->args[0], 4 * 24);

    // Three values per band: 8 x 3 after the first 300.
    uint32_t state = 1;
    for (int i = 0; i < 324; ++i) state = state * 214013u + 2531011u;
    state = state * 214013u + 2531011u;
    EXPECT_EQ(DemoRand(), static_cast<int>((state >> 16) & 0x7FFF));

    const uint32_t rgb[8][3] = {{72, 161, 128}, {84, 113, 123}, {170, 101, 81}, {104, 129, 76},
                                {150, 105, 75}, {71, 87, 76},    {111, 177, 85}, {93, 90, 85}};
    const auto funnel = Funnel();
    const double pi = std::acos(-1.0);
    for (int band = 0; band < 8; ++band) {
        const double inner = band / 45.0 + 0.1, outer = (band + 1) / 45.0 + 0.1;
        for (int slot = 0; slot < 34; ++slot) {
            const SVertexColor& v = funnel[34 * band + slot];
            const int j = slot / 2 == 16 ? 0 : slot / 2;  // the last pair repeats angle 0
            const double angle = j * 2 * pi / 15, radius = slot % 2 ? outer : inner;
            EXPECT_NEAR(v.x, radius * std::sin(angle), 1e-6) << "band " << band << " slot " << slot;
            EXPECT_NEAR(v.y, radius * std::cos(angle), 1e-6) << "band " << band << " slot " << slot;
            EXPECT_FLOAT_EQ(v.z, (band + slot % 2) * 0.5f) << "band " << band << " slot " << slot;
            EXPECT_EQ(v.colour, 0x20000000u | rgb[band][0] << 16 | rgb[band][1] << 8 | rgb[band][2])
                << "band " << band << " slot " << slot;
        }
    }
    EXPECT_EQ(funnel[0].x, 0.0f);
    EXPECT_FLOAT_EQ(funnel[0].y, 0.1f);
    EXPECT_FLOAT_EQ(funnel[271].y, 8 / 45.0f + 0.1f);
    EXPECT_EQ(funnel[271].z, 4.0f);
    // Nothing past the eight bands is written.
    for (int i = 272; i < 384; ++i) EXPECT_EQ(funnel[i].colour, 0u) << "vertex " << i;
}

TEST_F(PixelBoardTest, FirstFrameDrawsSwayingBoardThenPictures) {
    InitWithPictures();
    device.ClearCalls();
    board.Render(0.04f);
    EXPECT_EQ(CEffectPixelBoard::s_time, 0.04f);

    const std::string cell = "SetTransform " + Repeat("SetStreamSource SetVertexShader DrawPrimitive", 7);
    const std::string picture = "SetTexture SetStreamSource SetVertexShader DrawPrimitive";
    EXPECT_EQ(OpSequence(), Repeat("SetTransform", 2) + " " + Repeat("SetRenderState", 5) + " " +
                                Repeat("SetTextureStageState", 2) + " " + Repeat(cell, 256) + " " +
                                Repeat("SetTransform", 3) + " " + Repeat("SetTextureStageState", 6) + " " +
                                Repeat("SetRenderState", 5) + " " + Repeat(picture, 2));
    EXPECT_EQ(RenderStates(), (States{{D3DRS_CULLMODE, D3DCULL_NONE},
                                      {D3DRS_LIGHTING, FALSE},
                                      {D3DRS_ALPHABLENDENABLE, TRUE},
                                      {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA},
                                      {D3DRS_DESTBLEND, D3DBLEND_ONE},
                                      {D3DRS_CULLMODE, D3DCULL_NONE},
                                      {D3DRS_LIGHTING, FALSE},
                                      {D3DRS_ALPHABLENDENABLE, TRUE},
                                      {D3DRS_SRCBLEND, D3DBLEND_ONE},
                                      {D3DRS_DESTBLEND, D3DBLEND_ONE}}));
    EXPECT_EQ(StageStates(), (States{{D3DTSS_COLOROP, D3DTOP_DISABLE},
                                     {D3DTSS_ALPHAOP, D3DTOP_DISABLE},
                                     {D3DTSS_COLOROP, D3DTOP_MODULATE},
                                     {D3DTSS_COLORARG1, D3DTA_DIFFUSE},
                                     {D3DTSS_COLORARG2, D3DTA_TEXTURE},
                                     {D3DTSS_ALPHAOP, D3DTOP_BLENDDIFFUSEALPHA},
                                     {D3DTSS_MAGFILTER, D3DTEXF_LINEAR},
                                     {D3DTSS_MINFILTER, D3DTEXF_LINEAR}}));

    // Camera 10 units in front; 45 degrees with a square aspect.
    const auto transforms = device.Find("SetTransform");
    ASSERT_EQ(transforms.size(), 2u + 256u + 3u);
    EXPECT_EQ(transforms[0]->args[0], D3DTS_VIEW);
    ExpectMatrixNear(transforms[0]->matrix, {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 10, 1}}}, "view");
    EXPECT_EQ(transforms[1]->args[0], D3DTS_PROJECTION);
    const double h = 1 / std::tan(std::acos(-1.0) / 8), q = 100.0 / 99.0;
    ExpectMatrixNear(transforms[1]->matrix, {{{h, 0, 0, 0}, {0, h, 0, 0}, {0, 0, q, 1}, {0, 0, -q, 0}}}, "projection");

    // Rows outer, columns inner; at t = 0 the board turns 1 radian about y.
    for (int row = 0; row < 16; ++row) {
        for (int column = 0; column < 16; ++column) {
            const SRecordedCall& world = *transforms[2 + 16 * row + column];
            EXPECT_EQ(world.args[0], D3DTS_WORLD);
            ExpectMatrixNear(world.matrix, CellWorld(row, column, 0.0),
                             "cell " + std::to_string(row) + "," + std::to_string(column));
        }
    }
    EXPECT_FLOAT_EQ(transforms[2]->matrix._33, 0.45f * static_cast<float>(std::cos(1.0)));

    // Seven strips of 34 triangles per cell, never reading past vertex 239.
    const auto draws = Draws();
    ASSERT_EQ(draws.size(), 256u * 7u + 2u);
    for (size_t i = 0; i < 256u * 7u; ++i) {
        const int64_t start = 34 * static_cast<int64_t>(i % 7);
        EXPECT_EQ(draws[i]->args, (std::vector<int64_t>{D3DPT_TRIANGLESTRIP, start, 34})) << "draw " << i;
        EXPECT_EQ(draws[i]->stride, 16u);
        EXPECT_EQ(draws[i]->fvf, D3DFVF_XYZ | D3DFVF_DIFFUSE);
        EXPECT_EQ(draws[i]->vertices.size(), 36u * 16u);
    }
}

TEST_F(PixelBoardTest, BoardSwaysWithTheClockReadOnEntry) {
    InitWithPictures();
    CEffectPixelBoard::s_time = 0.75f;
    device.ClearCalls();
    board.Render(0.25f);
    EXPECT_EQ(CEffectPixelBoard::s_time, 1.0f);

    const auto transforms = device.Find("SetTransform");
    ASSERT_EQ(transforms.size(), 261u);
    for (int cell : {0, 3 * 16 + 10, 255})
        ExpectMatrixNear(transforms[2 + cell]->matrix, CellWorld(cell / 16, cell % 16, 0.75),
                         "cell " + std::to_string(cell));
}

TEST_F(PixelBoardTest, PicturesFillOppositeQuarters) {
    InitWithPictures();
    device.ClearCalls();
    board.Render(0.0f);

    const auto transforms = device.Find("SetTransform");
    ASSERT_EQ(transforms.size(), 261u);
    const SMatrix identity = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
    EXPECT_EQ(transforms[258]->args[0], D3DTS_WORLD);
    ExpectMatrixNear(transforms[258]->matrix, identity, "world");
    EXPECT_EQ(transforms[259]->args[0], D3DTS_VIEW);
    ExpectMatrixNear(transforms[259]->matrix, identity, "view");
    EXPECT_EQ(transforms[260]->args[0], D3DTS_PROJECTION);
    const SMatrix ortho = {{{2 / 640.0, 0, 0, 0}, {0, 2 / 480.0, 0, 0}, {0, 0, -0.5, 0}, {0, 0, 0.5, 1}}};
    ExpectMatrixNear(transforms[260]->matrix, ortho, "projection");

    std::vector<std::string> bound;
    for (const SRecordedCall* call : device.Find("SetTexture")) bound.push_back(pictures[call->object]);
    EXPECT_EQ(bound, (std::vector<std::string>{"coders", "music"}));

    const auto draws = Draws();
    ASSERT_EQ(draws.size(), 1794u);
    // Corners top-left, top-right, bottom-right, bottom-left; v = 1 at the top.
    const float expected[2][4][4] = {
        {{-320, 240, 0, 1}, {0, 240, 1, 1}, {0, 0, 1, 0}, {-320, 0, 0, 0}},
        {{0, 0, 0, 1}, {320, 0, 1, 1}, {320, -240, 1, 0}, {0, -240, 0, 0}},
    };
    for (int p = 0; p < 2; ++p) {
        const SRecordedCall& draw = *draws[1792 + p];
        EXPECT_EQ(draw.args, (std::vector<int64_t>{D3DPT_TRIANGLEFAN, 0, 2}));
        const auto corners = VerticesOf<SVertexColorUV>(draw);
        ASSERT_EQ(corners.size(), 4u);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(corners[i].x, expected[p][i][0]) << "picture " << p << " corner " << i;
            EXPECT_EQ(corners[i].y, expected[p][i][1]) << "picture " << p << " corner " << i;
            EXPECT_EQ(corners[i].z, 0.0f);
            EXPECT_EQ(corners[i].colour, 0xFFFFFFFFu);
            EXPECT_EQ(corners[i].u, expected[p][i][2]) << "picture " << p << " corner " << i;
            EXPECT_EQ(corners[i].v, expected[p][i][3]) << "picture " << p << " corner " << i;
        }
    }
}

TEST_F(PixelBoardTest, MissingPicturesBindNoTexture) {
    board.Init(640, 480);
    board.Render(0.0f);
    const auto bound = device.Find("SetTexture");
    ASSERT_EQ(bound.size(), 2u);
    EXPECT_EQ(bound[0]->object, nullptr);
    EXPECT_EQ(bound[1]->object, nullptr);
    EXPECT_EQ(Draws().size(), 1794u);
    EXPECT_EQ(board.Trigger(), 0);
}

}  // namespace
