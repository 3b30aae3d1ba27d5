#include "effects/intro.h"

#include <limits>
#include <map>
#include <set>
#include <string>

#include "tests/effects/effect_fixture.h"

namespace {

// The seven pictures in the order Init loads them; each gets its own width
// so the test can tell which one is bound.
const char* const kPictures[] = {"quelrate", "moonshade", "quelblur", "moonblur", "circle", "snowflake", "snowblur"};

struct SQuad {
    std::string picture;
    std::vector<SVertexColorUV> corners;
};

class IntroTest : public EffectTest {
protected:
    void SetUp() override {
        EffectTest::SetUp();
        CEffectIntro::s_time = 0.0f;
    }
    void WritePictures() {
        int width = 2;
        for (const char* name : kPictures)
            WriteSolidTga(std::string("Data/") + name + ".tga", width++, 2, 24, 0xFFFFFF);
    }
    // Init, remembering which device texture holds which picture.
    void InitWithPictures() {
        WritePictures();
        intro.Init(640, 480);
        for (const SRecordedCall* created : device.Find("CreateTexture"))
            names[created->object] = kPictures[created->args[0] - 2];
        names[nullptr] = "none";
    }
    // Each draw with the picture it was drawn with.
    std::vector<SQuad> Quads() const {
        std::vector<SQuad> quads;
        for (const SRecordedCall* draw : Draws())
            quads.push_back({names.at(TextureOf(draw->state)), VerticesOf<SVertexColorUV>(*draw)});
        return quads;
    }
    // One frame at clock t with no time passing.
    std::vector<SQuad> FrameAt(float t) {
        CEffectIntro::s_time = t;
        NewFrame();
        intro.Render(0.0f);
        return Quads();
    }
    static void ExpectBox(const SQuad& quad, float left, float right, float bottom, float top) {
        ASSERT_EQ(quad.corners.size(), 4u);
        // Top-left, top-right, bottom-right, bottom-left; v = 1 at the top.
        const float expected[4][4] = {
            {left, top, 0, 1}, {right, top, 1, 1}, {right, bottom, 1, 0}, {left, bottom, 0, 0}};
        for (int i = 0; i < 4; ++i) {
            EXPECT_FLOAT_EQ(quad.corners[i].x, expected[i][0]) << quad.picture << " corner " << i;
            EXPECT_FLOAT_EQ(quad.corners[i].y, expected[i][1]) << quad.picture << " corner " << i;
            EXPECT_EQ(quad.corners[i].z, 0.0f);
            EXPECT_EQ(quad.corners[i].u, expected[i][2]) << quad.picture << " corner " << i;
            EXPECT_EQ(quad.corners[i].v, expected[i][3]) << quad.picture << " corner " << i;
        }
    }

    CEffectIntro intro;
    std::map<const void*, std::string> names;
};

TEST_F(IntroTest, InitLoadsSevenPicturesAndOneQuad) {
    InitWithPictures();
    std::vector<std::string> order;
    for (const SRecordedCall* created : device.Find("CreateTexture")) order.push_back(names[created->object]);
    EXPECT_EQ(order, (std::vector<std::string>{kPictures, kPictures + 7}));
    const auto buffers = device.Find("CreateVertexBuffer");
    ASSERT_EQ(buffers.size(), 1u);
    EXPECT_EQ(buffers[0]->args[0], 4 * 24);
    EXPECT_EQ(Draws().size(), 0u);
}

// Pictures: texture x diffuse with the vertex alpha passed through,
// filtered, unlit.
void ExpectPictureStates(const SDeviceState& state) {
    EXPECT_TRUE(HasStageStates(state, Modulate(D3DTA_DIFFUSE, D3DTA_TEXTURE, D3DTOP_DISABLE)));
    EXPECT_TRUE(HasStageStates(state, kLinearFiltering));
    EXPECT_TRUE(HasRenderStates(state, kUnlitNoCull));
}
// Captions are added, weighted by the quad's alpha.
const States kAdded = Blend(D3DBLEND_SRCALPHA, D3DBLEND_ONE);

TEST_F(IntroTest, FirstFrameShowsTheOpaqueBackgroundOnly) {
    InitWithPictures();
    NewFrame();
    intro.Render(0.25f);
    EXPECT_EQ(CEffectIntro::s_time, 0.25f);

    const auto draws = Draws();
    ASSERT_EQ(draws.size(), 1u);
    const SDeviceState& state = draws[0]->state;
    ExpectPictureStates(state);
    EXPECT_TRUE(HasRenderStates(state, {{D3DRS_ALPHABLENDENABLE, FALSE}}));
    // Pixels of the 640 x 480 space, origin at the centre.
    EXPECT_TRUE(IsFlatSpace(state, 640, 480));
    EXPECT_EQ(draws[0]->args, (std::vector<int64_t>{D3DPT_TRIANGLEFAN, 0, 2}));
    const auto quads = Quads();
    EXPECT_EQ(quads[0].picture, "snowflake");
    ExpectBox(quads[0], -319.9f, 320, -240, 239.9f);
    for (const SVertexColorUV& corner : quads[0].corners) EXPECT_EQ(corner.colour, 0xFFFFFFFFu);
}

TEST_F(IntroTest, ScheduleFadesCaptionsInAndOut) {
    InitWithPictures();
    struct SStep {
        float t;
        std::vector<std::pair<std::string, uint32_t>> quads;  // picture, colour
    };
    const uint32_t opaque = 0xFFFFFFFF;
    const SStep steps[] = {
        {5.0f, {{"snowflake", opaque}}},
        {11.4999f, {{"snowflake", opaque}}},
        {11.5f, {{"snowflake", opaque}, {"quelblur", 0x00FFFFFF}}},
        {11.75f, {{"snowflake", opaque}, {"quelblur", 0x7FFFFFFF}}},
        {12.0f, {{"snowflake", opaque}, {"quelblur", 0xFFFFFFFF}, {"quelrate", 0x00FFFFFF}}},
        {12.75f, {{"snowflake", opaque}, {"quelblur", 0x80FFFFFF}, {"quelrate", 0x7FFFFFFF}}},
        {13.5f, {{"snowflake", opaque}, {"quelrate", opaque}}},
        {15.0f, {{"snowflake", opaque}, {"quelrate", opaque}}},
        {16.5f, {{"snowflake", opaque}, {"quelrate", 0x80FFFFFF}}},  // 255 - trunc(127.5)
        {18.0f, {{"snowflake", opaque}, {"moonblur", 0x00FFFFFF}}},
        {18.25f, {{"snowflake", opaque}, {"moonblur", 0x7FFFFFFF}}},
        {19.25f, {{"snowflake", opaque}, {"moonblur", 0x80FFFFFF}, {"moonshade", 0x7FFFFFFF}}},
        {20.0f, {{"snowflake", opaque}, {"moonshade", opaque}}},
        {21.5f, {{"snowflake", opaque}, {"moonshade", opaque}}},
        {21.75f, {{"snowflake", opaque}, {"moonshade", 0xC0FFFFFF}}},
        {22.5f, {{"snowflake", opaque}}},
        {24.99f, {{"snowflake", opaque}}},
        {25.0f, {{"snowblur", 0x00FFFFFF}}},
        {26.5f, {{"snowblur", 0x7FFFFFFF}}},
        {27.99f, {{"snowblur", 0xFEFFFFFF}}},  // trunc(2.99 / 3 * 255) = 254
        {28.0f, {}},
        {1000.0f, {}},
        {std::numeric_limits<float>::quiet_NaN(), {}},
    };
    for (const SStep& step : steps) {
        std::vector<std::pair<std::string, uint32_t>> drawn;
        for (const SQuad& quad : FrameAt(step.t)) {
            ASSERT_EQ(quad.corners.size(), 4u);
            for (const SVertexColorUV& corner : quad.corners)
                EXPECT_EQ(corner.colour, quad.corners[0].colour) << "t = " << step.t;
            drawn.emplace_back(quad.picture, quad.corners[0].colour);
        }
        EXPECT_EQ(drawn, step.quads) << "t = " << step.t;
        // The flat space is set on every frame, drawn or not.
        EXPECT_TRUE(IsFlatSpace(device.State(), 640, 480)) << "t = " << step.t;
    }
}

TEST_F(IntroTest, CaptionsAreAddedInTheirBoxesOverTheOpaqueBackground) {
    InitWithPictures();

    auto quads = FrameAt(12.75f);
    ASSERT_EQ(quads.size(), 3u);
    const auto draws = Draws();
    EXPECT_TRUE(HasRenderStates(draws[0]->state, {{D3DRS_ALPHABLENDENABLE, FALSE}}));
    for (int i = 1; i < 3; ++i) {
        SCOPED_TRACE(i);
        ExpectPictureStates(draws[i]->state);
        EXPECT_TRUE(HasRenderStates(draws[i]->state, kAdded));
        ExpectBox(quads[i], -330, 150, 0, 140);
    }

    quads = FrameAt(19.25f);
    ASSERT_EQ(quads.size(), 3u);
    ExpectBox(quads[1], -230, 50, 35, 105);
    ExpectBox(quads[2], -230, 50, 35, 105);

    // The closing fade sets the picture states itself and covers the whole
    // screen without the inset.
    quads = FrameAt(26.5f);
    ASSERT_EQ(quads.size(), 1u);
    ExpectBox(quads[0], -320, 320, -240, 240);
    const SDeviceState& closing = Draws()[0]->state;
    ExpectPictureStates(closing);
    EXPECT_TRUE(HasRenderStates(closing, kAdded));
}

TEST_F(IntroTest, ClockIsReadOnEntryAndAdvancedAfterDrawing) {
    InitWithPictures();
    CEffectIntro::s_time = 11.25f;
    NewFrame();
    intro.Render(0.5f);
    EXPECT_EQ(Quads().size(), 1u);
    EXPECT_EQ(CEffectIntro::s_time, 11.75f);

    NewFrame();
    intro.Render(0.0f);
    const auto quads = Quads();
    ASSERT_EQ(quads.size(), 2u);
    EXPECT_EQ(quads[1].picture, "quelblur");
    EXPECT_EQ(quads[1].corners[0].colour, 0x7FFFFFFFu);
    EXPECT_EQ(CEffectIntro::s_time, 11.75f);
}

TEST_F(IntroTest, TriggerLeavesTheCircleBound) {
    InitWithPictures();
    NewFrame();
    EXPECT_EQ(intro.Trigger(), 0);
    std::set<std::string> bound;
    for (const void* texture : TexturesBound()) bound.insert(names[texture]);
    EXPECT_EQ(bound, (std::set<std::string>{"quelrate", "moonshade", "circle"}));
    EXPECT_EQ(names[TextureOf(device.State())], "circle");
    EXPECT_TRUE(Draws().empty());
}

TEST_F(IntroTest, MissingPicturesBindNoTexture) {
    intro.Init(640, 480);
    names[nullptr] = "none";
    for (float t : {0.0f, 12.75f, 26.5f}) {
        for (const SQuad& quad : FrameAt(t)) EXPECT_EQ(quad.picture, "none") << "t = " << t;
        EXPECT_GE(Draws().size(), 1u);
    }
}

}  // namespace
