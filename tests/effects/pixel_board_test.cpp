#include "effects/pixel_board.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>

#include "tests/effects/effect_fixture.h"

namespace {

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
    // The draws of one frame: seven strips for each of the 256 cells, rows
    // outer and columns inner, then the two pictures.
    std::vector<const SRecordedCall*> Frame(float step) {
        NewFrame();
        board.Render(step);
        const auto draws = Draws();
        EXPECT_EQ(draws.size(), 256u * 7u + 2u);
        return draws;
    }

    CEffectPixelBoard board;
    std::map<const void*, std::string> pictures;
};

TEST_F(PixelBoardTest, FunnelBandsFollowTheTestTextureDraws) {
    // The test texture's Init draws the first 300 values at registration.
    NextRandomValues(300);
    InitWithPictures();

    const auto buffers = device.Find("CreateVertexBuffer");
    ASSERT_EQ(buffers.size(), 2u);
    EXPECT_EQ(buffers[0]->args[0], 384 * 16);
    EXPECT_EQ(buffers[1]->args[0], 4 * 24);

    // Three values per band, red, green and blue, each taken into 64 ... 191:
    // 8 x 3 after the first 300.
    const std::vector<int> next = NextRandomValues(3);
    EXPECT_EQ(next, RandomValuesFromStart(324, 3));
    const std::vector<int> values = RandomValuesFromStart(300, 24);

    const auto funnel = Funnel();
    const double pi = std::acos(-1.0);
    for (int band = 0; band < 8; ++band) {
        uint32_t rgb[3];
        for (int c = 0; c < 3; ++c) rgb[c] = static_cast<uint32_t>(values[3 * band + c] % 128 + 64);
        const double inner = band / 45.0 + 0.1, outer = (band + 1) / 45.0 + 0.1;
        for (int slot = 0; slot < 34; ++slot) {
            SCOPED_TRACE("band " + std::to_string(band) + " slot " + std::to_string(slot));
            const SVertexColor& v = funnel[34 * band + slot];
            const int j = slot / 2 == 16 ? 0 : slot / 2;  // the last pair repeats angle 0
            const double angle = j * 2 * pi / 15, radius = slot % 2 ? outer : inner;
            EXPECT_NEAR(v.x, radius * std::sin(angle), 1e-6);
            EXPECT_NEAR(v.y, radius * std::cos(angle), 1e-6);
            EXPECT_FLOAT_EQ(v.z, (band + slot % 2) * 0.5f);
            EXPECT_EQ(v.colour, 0x20000000u | rgb[0] << 16 | rgb[1] << 8 | rgb[2]);
        }
    }
    EXPECT_EQ(funnel[0].x, 0.0f);
    EXPECT_FLOAT_EQ(funnel[0].y, 0.1f);
    EXPECT_FLOAT_EQ(funnel[271].y, 8 / 45.0f + 0.1f);
    EXPECT_EQ(funnel[271].z, 4.0f);
    // Nothing past the eight bands is written.
    for (int i = 272; i < 384; ++i) EXPECT_EQ(funnel[i].colour, 0u) << "vertex " << i;
}

TEST_F(PixelBoardTest, FirstFrameDrawsTheSwayingBoardThenThePictures) {
    InitWithPictures();
    const auto draws = Frame(0.04f);
    ASSERT_EQ(draws.size(), 1794u);
    EXPECT_EQ(CEffectPixelBoard::s_time, 0.04f);

    // Each cell's seven strips of 34 triangles are drawn with its world,
    // never reading past vertex 239: the bands add 32/255 of their colour,
    // untextured, seen from 10 units in front. At t = 0 the board turns
    // 1 radian about y.
    const SMatrix view = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 10, 1}}};
    for (size_t i = 0; i < 256u * 7u; ++i) {
        SCOPED_TRACE("draw " + std::to_string(i));
        const SRecordedCall& strip = *draws[i];
        const int cell = static_cast<int>(i / 7);
        EXPECT_EQ(strip.args, (std::vector<int64_t>{D3DPT_TRIANGLESTRIP, 34 * static_cast<int64_t>(i % 7), 34}));
        EXPECT_EQ(strip.state.stride, 16u);
        EXPECT_EQ(strip.state.fvf, D3DFVF_XYZ | D3DFVF_DIFFUSE);
        EXPECT_EQ(strip.vertices.size(), 36u * 16u);
        EXPECT_TRUE(HasRenderStates(strip.state, kUnlitNoCull));
        EXPECT_TRUE(HasRenderStates(strip.state, Blend(D3DBLEND_SRCALPHA, D3DBLEND_ONE)));
        EXPECT_TRUE(HasStageStates(strip.state, kUntextured));
        EXPECT_TRUE(MatrixNear(TransformOf(strip.state, D3DTS_VIEW), view, 2e-6));
        EXPECT_TRUE(MatrixNear(TransformOf(strip.state, D3DTS_PROJECTION), SquarePerspective(), 2e-6));
        EXPECT_TRUE(MatrixNear(TransformOf(strip.state, D3DTS_WORLD), CellWorld(cell / 16, cell % 16, 0.0), 2e-6));
    }
    EXPECT_FLOAT_EQ(TransformOf(draws[0]->state, D3DTS_WORLD)._33, 0.45f * static_cast<float>(std::cos(1.0)));

    // The pictures are added at full strength, texture x diffuse, filtered,
    // in the flat space.
    for (int p = 0; p < 2; ++p) {
        SCOPED_TRACE(p);
        const SRecordedCall& picture = *draws[1792 + p];
        EXPECT_TRUE(HasRenderStates(picture.state, kUnlitNoCull));
        EXPECT_TRUE(HasRenderStates(picture.state, Blend(D3DBLEND_ONE, D3DBLEND_ONE)));
        EXPECT_TRUE(HasStageStates(picture.state, Modulate(D3DTA_DIFFUSE, D3DTA_TEXTURE, D3DTOP_BLENDDIFFUSEALPHA)));
        EXPECT_TRUE(HasStageStates(picture.state, kLinearFiltering));
        EXPECT_TRUE(IsFlatSpace(picture.state, 640, 480));
    }
}

TEST_F(PixelBoardTest, BoardSwaysWithTheClockReadOnEntry) {
    InitWithPictures();
    CEffectPixelBoard::s_time = 0.75f;
    const auto draws = Frame(0.25f);
    ASSERT_EQ(draws.size(), 1794u);
    EXPECT_EQ(CEffectPixelBoard::s_time, 1.0f);
    for (int cell : {0, 3 * 16 + 10, 255})
        EXPECT_TRUE(MatrixNear(TransformOf(draws[7 * cell + 6]->state, D3DTS_WORLD),
                               CellWorld(cell / 16, cell % 16, 0.75), 2e-6))
            << "cell " << cell;
}

TEST_F(PixelBoardTest, PicturesFillOppositeQuarters) {
    InitWithPictures();
    const auto draws = Frame(0.0f);
    ASSERT_EQ(draws.size(), 1794u);

    // Corners top-left, top-right, bottom-right, bottom-left; v = 1 at the top.
    const char* const names[2] = {"coders", "music"};
    const float expected[2][4][4] = {
        {{-320, 240, 0, 1}, {0, 240, 1, 1}, {0, 0, 1, 0}, {-320, 0, 0, 0}},
        {{0, 0, 0, 1}, {320, 0, 1, 1}, {320, -240, 1, 0}, {0, -240, 0, 0}},
    };
    for (int p = 0; p < 2; ++p) {
        SCOPED_TRACE(names[p]);
        const SRecordedCall& draw = *draws[1792 + p];
        EXPECT_EQ(pictures[TextureOf(draw.state)], names[p]);
        EXPECT_EQ(draw.args, (std::vector<int64_t>{D3DPT_TRIANGLEFAN, 0, 2}));
        const auto corners = VerticesOf<SVertexColorUV>(draw);
        ASSERT_EQ(corners.size(), 4u);
        for (int i = 0; i < 4; ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(corners[i].x, expected[p][i][0]);
            EXPECT_EQ(corners[i].y, expected[p][i][1]);
            EXPECT_EQ(corners[i].z, 0.0f);
            EXPECT_EQ(corners[i].colour, 0xFFFFFFFFu);
            EXPECT_EQ(corners[i].u, expected[p][i][2]);
            EXPECT_EQ(corners[i].v, expected[p][i][3]);
        }
    }
}

TEST_F(PixelBoardTest, MissingPicturesBindNoTexture) {
    board.Init(640, 480);
    const auto draws = Frame(0.0f);
    ASSERT_EQ(draws.size(), 1794u);
    EXPECT_EQ(TextureOf(draws[1792]->state), nullptr);
    EXPECT_EQ(TextureOf(draws[1793]->state), nullptr);
    EXPECT_EQ(board.Trigger(), 0);
}

}  // namespace
