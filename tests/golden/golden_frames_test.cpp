// Golden frames of the nine picture effects: each test plays a small
// timeline through the effect manager on the OpenGL device (headless,
// Mesa's software rasteriser), with pictures the test writes itself, and
// compares chosen frames with the pictures stored in frames/.
//
// The frames are compared at 256 x 192, each pixel the rounded mean of a
// 4 x 4 block of the 1024 x 768 back buffer. A frame matches when no more
// than 0.5 % of its pixels have a channel more than 3 levels away from the
// stored one and no channel anywhere is more than 32 away: room for
// rounding in blending and filtering, none for an edge moved by a couple of
// pixels, a lost quad, a wrong blend or a wrong level. On a mismatch the
// frame drawn is written next to the test binary as NAME.actual.png.
//
// QB_UPDATE_GOLDEN=1 rewrites the stored frames instead of comparing.
// Every stored frame was opened and looked at, and checked to show what is
// listed below (levels named were read from the file); after rewriting
// them, look at each again.
//
// fade_1000ms: the intro's background (red growing to the right, green
//   upwards, a black grid of 4 x 4 cells, a white mark at the bottom left)
//   at exactly half brightness: the mark reads 127, a fade from 1 to 0 over
//   2 s, 1 s in.
// test_texture_2000ms: about a hundred glowing rings, 40 to 200 units
//   across, spread over the whole screen and added over each other, their
//   tints (pink, green, lilac) differing from ring to ring; the orange and
//   blue checks of the background faint in the gaps; no square sprite edges.
// cube1_0ms: a small cube face-on in the upper left, wider than tall (aspect
//   1 on a 4:3 screen), green (100, 164, 101: the ambient 127, 255, 128 and
//   the light at half strength), with slivers of its right and bottom faces
//   from the perspective.
// cube1_750ms: the same cube tumbled by 1.5 radians, lit lilac-blue as the
//   ambient turns towards green 137, blue 254.
// bezier_2000ms: the sheet on black, translucent (dark red and grey checks),
//   warped by its wandering net, turned two thirds of a radian anticlockwise
//   so the green mark (texture corner 0, 0, the sheet's top right at first)
//   is now at the top, the checks crowded towards the bottom edge.
// intro_12750ms: the background at full strength with caption 1 above the
//   centre line, left of centre and cut by the left edge: the yellow blocks
//   over their underline at half strength, added over the soft bars of the
//   blurred caption at half strength.
// intro_26500ms: only the blurred background, blue rings at half strength
//   (brightest blue 127) on black; the sharp background is gone.
// pixel_board_1000ms: the upper picture (red growing to the right, blue
//   upwards, its white mark at its bottom left) filling the upper-left
//   quarter, the green rings the lower-right one, both added over the
//   board; the other quarters show the board alone: a tilted grid of faint,
//   translucent funnels in muted band colours.
// zoom_blur_1500ms: the yellow face turned about a quarter (eyes on the
//   left), upside down as the screen shows the target, stretched tall, with
//   fading smears above and below it from the zoomed feedback.
// zoom_blur_4000ms: the face turned 4 radians with ghost faces from the
//   feedback drawn mirrored left to right, as sin t is negative.
// flare_1000ms: a five-lobed disc in the middle, taller than the screen
//   (view scale sin 1 + 2), white-yellow at the centre through orange and
//   red to blue at the rim, a brighter five-petal flower where the centre
//   fan and the first ring overlap.
// old_zoom_1500ms: five nested frames (red, green, blue, yellow, magenta
//   from the outside in), each half the size of the last, turned 0.15
//   radians, each with its white mark at its bottom-left corner, all washed
//   towards grey by the veil.
// old_zoom_12000ms: zoomed in to 16 on the way back out: the innermost,
//   magenta frame fills the screen turned 1.2 radians, the yellow frame in
//   the corners, no veil.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "effects/bezier.h"
#include "effects/cube.h"
#include "effects/fade.h"
#include "effects/flare.h"
#include "effects/intro.h"
#include "effects/old_zoom.h"
#include "effects/pixel_board.h"
#include "effects/test_texture.h"
#include "effects/zoom_blur.h"
#include "render/gl/gl_device.h"
#include "runtime/effect_manager.h"
#include "runtime/random.h"
#include "runtime/scene_effects.h"
#include "tests/golden/golden_image.h"
#include "tests/golden/test_pictures.h"
#include "tests/png_file.h"
#include "tests/render/headless_device_fixture.h"

namespace {

constexpr int kReduction = 4;  // stored frames are 256 x 192

// The tolerance stated above.
constexpr int kAllowance = 3;
constexpr double kShareOver = 0.005;
constexpr int kLargestAllowed = 32;

// 1/16 s is exact in float, so every clock lands exactly on the moments named.
constexpr float kStep = 0.0625f;

// Effects live as long as the process, as in the program: their textures and
// buffers are never released, so they must stay reachable.
std::vector<std::unique_ptr<CEffect>>& LiveEffects() {
    static auto* effects = new std::vector<std::unique_ptr<CEffect>>;
    return *effects;
}

template <typename T>
T* Make() {
    T* effect = new T;
    LiveEffects().emplace_back(effect);
    return effect;
}

bool UpdateRequested() {
    const char* value = std::getenv("QB_UPDATE_GOLDEN");
    return value && *value && std::strcmp(value, "0") != 0;
}

class GoldenFrames : public HeadlessDeviceTest {
protected:
    void SetUp() override {
        HeadlessDeviceTest::SetUp();
        if (HasFatalFailure()) return;

        std::string pattern = (std::filesystem::temp_directory_path() / "qb_golden_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_directory = pattern;
        m_previousDirectory = std::filesystem::current_path().string();
        std::filesystem::current_path(m_directory);
        std::filesystem::create_directory("Data");
        ASSERT_TRUE(WriteTestPictures("Data"));

        // The class-wide clocks and the random generator belong to the
        // process; every test starts them as a fresh run of the program does.
        CEffectTestTexture::s_time = 0.0f;
        CEffectCube1::s_angle = 0.0f;
        CEffectBezier::s_time = 0.0f;
        CEffectIntro::s_time = 0.0f;
        CEffectPixelBoard::s_time = 0.0f;
        CEffectZoomBlur::s_time = 0.0f;
        CEffectFlare::s_time = 0.0f;
        CEffectOldZoom::s_time = 0.0f;
        CEffectOldZoom::s_zoomPhase = 1;
        DemoRandReset();
    }

    void TearDown() override {
        HeadlessDeviceTest::TearDown();
        if (!m_previousDirectory.empty()) std::filesystem::current_path(m_previousDirectory);
        if (!m_directory.empty()) std::filesystem::remove_all(m_directory);
    }

    // Loads the timeline: the frame's scene bracket (begin, clear and end on
    // layers 0, 1 and 511) at 0 ms, then `lines`. Registers the bracket and
    // then `effects` under their names, which runs their Init.
    void Start(const std::vector<std::pair<CEffect*, const char*>>& effects,
               const std::vector<std::string>& lines) {
        std::string script = "e 0 s i0 sbeginScene\r\ne 0 s i1 sclearScreen\r\ne 0 s i511 sendScene\r\n";
        for (const std::string& line : lines) script += line + "\r\n";
        script += "F 600000\r\n";
        FILE* file = std::fopen("script.txt", "wb");
        ASSERT_NE(file, nullptr);
        const bool written = std::fwrite(script.data(), 1, script.size(), file) == script.size();
        ASSERT_TRUE(std::fclose(file) == 0 && written);
        ASSERT_TRUE(m_manager.Load("script.txt", 640, 480));
        m_manager.Register(Make<CEffectBeginScene>(), "beginScene");
        m_manager.Register(Make<CEffectClearScreen>(), "clearScreen");
        m_manager.Register(Make<CEffectDoneScene>(), "endScene");
        for (const auto& [effect, name] : effects) m_manager.Register(effect, name);
    }

    // Plays on, a frame every 1/16 s, up to and including the frame drawn at
    // `seconds` on the timeline's clock. As in the program, the first frame
    // is drawn at 0 with a step of 0. Effects that add the step before
    // drawing see their clock at `seconds`; those that add it after drawing
    // (intro, pixel board, zoom blur) see one step less.
    void PlayUntil(float seconds) {
        if (!m_started) {
            m_started = true;
            m_manager.Update(0);
            m_manager.RenderLayers(0.0f);
        }
        while (m_clock < seconds) {
            m_clock += kStep;
            m_manager.Update(static_cast<int>(m_clock * 1000));
            m_manager.RenderLayers(kStep);
        }
    }

    // Compares the frame just presented with frames/NAME.png.
    void ExpectGolden(const std::string& name) {
        std::vector<uint8_t> rgba;
        RasterDeviceReadBackBuffer(m_device, &rgba);
        ASSERT_EQ(rgba.size(), static_cast<size_t>(kWidth) * kHeight * 4);
        const SRgbImage frame = BoxDownscale(rgba, kWidth, kHeight, kReduction);
        const std::string stored = std::string(QB_GOLDEN_DIR) + "/" + name + ".png";
        if (UpdateRequested()) {
            ASSERT_TRUE(WriteRgbPng(stored, frame)) << stored;
            return;
        }
        SRgbImage expected;
        ASSERT_TRUE(ReadRgbPng(stored, &expected))
            << "no stored frame " << stored << " (QB_UPDATE_GOLDEN=1 writes it)";
        ASSERT_EQ(expected.width, frame.width) << stored;
        ASSERT_EQ(expected.height, frame.height) << stored;

        const SImageDifference difference = CompareImages(frame, expected, kAllowance);
        const int pixels = frame.width * frame.height;
        const bool matches = difference.pixelsOver <= static_cast<int>(pixels * kShareOver) &&
                             difference.largest <= kLargestAllowed;
        if (matches) return;
        const std::string actual = std::string(QB_GOLDEN_OUT_DIR) + "/" + name + ".actual.png";
        WriteRgbPng(actual, frame);
        ADD_FAILURE() << name << ": " << difference.pixelsOver << " of " << pixels
                      << " pixels differ by more than " << kAllowance << " (at most "
                      << static_cast<int>(pixels * kShareOver) << " may); largest difference "
                      << difference.largest << " (at most " << kLargestAllowed << ") at ("
                      << difference.largestX << ", " << difference.largestY
                      << ") of the 256 x 192 frame. Drawn frame: " << actual;
    }

    CEffectManager m_manager;

private:
    std::string m_directory;
    std::string m_previousDirectory;
    float m_clock = 0.0f;
    bool m_started = false;
};

TEST_F(GoldenFrames, FadeHalfWayDarkensThePictureBelow) {
    // The intro's background is the picture; the fade goes from 1 to 0 in 2 s.
    Start({{Make<CEffectIntro>(), "intro"}, {Make<CEffectFade>(), "fade"}},
          {"e 0 s i10 sintro", "e 0 s i20 sfade", "l 0 f i20 i0 f1", "l 0 f i20 i1 f0", "l 0 f i20 i2 f2"});
    PlayUntil(1.0f);
    ExpectGolden("fade_1000ms");
}

TEST_F(GoldenFrames, TestTextureSpritesOverTheFaintBackground) {
    Start({{Make<CEffectTestTexture>(), "testTexture"}}, {"e 0 s i10 stestTexture"});
    PlayUntil(2.0f);
    ExpectGolden("test_texture_2000ms");
}

TEST_F(GoldenFrames, CubeFirstFrameAndTumbling) {
    Start({{Make<CEffectCube1>(), "cube1"}}, {"e 0 s i10 scube1"});
    PlayUntil(0.0f);
    ExpectGolden("cube1_0ms");
    PlayUntil(0.75f);  // turned by 1.5 radians about both axes
    ExpectGolden("cube1_750ms");
}

TEST_F(GoldenFrames, BezierSheetTurnedAndWarped) {
    Start({{Make<CEffectBezier>(), "bezier"}}, {"e 0 s i10 sbezier"});
    PlayUntil(2.0f);
    ExpectGolden("bezier_2000ms");
}

TEST_F(GoldenFrames, IntroCaptionCrossFadeAndClosingFade) {
    Start({{Make<CEffectIntro>(), "intro"}}, {"e 0 s i10 sintro"});
    PlayUntil(12.8125f);  // the intro's clock reads 12.75
    ExpectGolden("intro_12750ms");
    PlayUntil(26.5625f);  // 26.5
    ExpectGolden("intro_26500ms");
}

TEST_F(GoldenFrames, PixelBoardWithBothPictures) {
    // The test texture's Init takes the generator's first 300 values in the
    // program, so the bands get the program's colours.
    for (int i = 0; i < 300; ++i) DemoRand();
    Start({{Make<CEffectPixelBoard>(), "pixBoard"}}, {"e 0 s i10 spixBoard"});
    PlayUntil(1.0625f);  // the board's clock reads 1
    ExpectGolden("pixel_board_1000ms");
}

TEST_F(GoldenFrames, ZoomBlurTrailsThenMirrored) {
    Start({{Make<CEffectZoomBlur>(), "zoomblur"}}, {"e 0 s i10 szoomblur"});
    PlayUntil(1.5625f);  // the blur's clock reads 1.5 after 25 frames of feedback
    ExpectGolden("zoom_blur_1500ms");
    PlayUntil(4.0625f);  // 4: sin t is negative, the feedback is mirrored
    ExpectGolden("zoom_blur_4000ms");
}

TEST_F(GoldenFrames, FlareDisc) {
    Start({{Make<CEffectFlare>(), "flare"}}, {"e 0 s i10 sflare"});
    PlayUntil(1.0f);  // profile row 9, scale sin 1 + 2
    ExpectGolden("flare_1000ms");
}

TEST_F(GoldenFrames, OldZoomUnderTheVeilThenZoomingOut) {
    Start({{Make<CEffectOldZoom>(), "oldzoom"}}, {"e 0 s i10 soldzoom"});
    PlayUntil(1.5f);  // the veil at level 128
    ExpectGolden("old_zoom_1500ms");
    PlayUntil(12.0f);  // zooming out again, scale 16
    ExpectGolden("old_zoom_12000ms");
}

}  // namespace
