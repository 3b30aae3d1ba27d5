// The default presentation as a viewer sees it: the real program captures
// the whole run headless (one frame a second, enough to land inside every
// scene), and a frame from the middle of each scene must show a picture,
// neither black nor blown out to white.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/png_file.h"
#include "tests/shell/run_program.h"
#include "tests/shell/test_files.h"

namespace {

const std::string kDemoDir = QB_DEMO_DIR;

struct SScene {
    const char* what;
    double seconds;  // a moment well inside the scene
};

// The scenes of content/script.txt.
constexpr SScene kScenes[] = {
    {"intro, second caption", 20},     {"oldzoom", 38},
    {"testTexture and cube1", 56},     {"bezier joins", 72},
    {"zoomblur", 88},                  {"pixBoard with credits", 104},
    {"flare over testTexture", 120},   {"flare, bezier and cube1", 136},
    {"flare and zoomblur", 148},       {"flare alone", 156},
    {"oldzoom again, shrinking", 161},
};

struct SPictureStats {
    double meanLevel = 0;        // mean of all channels, 0 ... 255
    double saturatedShare = 0;   // share of pixels with every channel at 255
};

SPictureStats Measure(const SRgbImage& image) {
    SPictureStats stats;
    const size_t pixels = static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
    double sum = 0;
    size_t saturated = 0;
    for (size_t i = 0; i < pixels; ++i) {
        const uint8_t* p = &image.rgb[3 * i];
        sum += p[0] + p[1] + p[2];
        if (p[0] == 255 && p[1] == 255 && p[2] == 255) ++saturated;
    }
    stats.meanLevel = sum / (3.0 * static_cast<double>(pixels));
    stats.saturatedShare = static_cast<double>(saturated) / static_cast<double>(pixels);
    return stats;
}

TEST(ContentScenes, EverySceneShowsAPicture) {
    CTempDir out;
    const std::string frames = out / "frames";
    const SProgramRun run = RunQuellbrook(kDemoDir, {"--capture", frames, "--fps", "1"});
    ASSERT_TRUE(run.exited && run.status == 0) << run.err;

    for (const SScene& scene : kScenes) {
        SCOPED_TRACE(scene.what);
        // At one frame a second the first frame shows the clock at 0.99 s,
        // so frame k shows about k + 1 seconds.
        char name[32];
        std::snprintf(name, sizeof name, "/%06d.png", static_cast<int>(scene.seconds) - 1);
        SRgbImage image;
        ASSERT_TRUE(ReadRgbPng(frames + name, &image)) << frames + name;
        const SPictureStats stats = Measure(image);
        EXPECT_GT(stats.meanLevel, 8.0) << "nearly black at " << scene.seconds << " s";
        EXPECT_LT(stats.meanLevel, 200.0) << "washed out at " << scene.seconds << " s";
        EXPECT_LT(stats.saturatedShare, 0.10) << "blown out to white at " << scene.seconds << " s";
    }
}

}  // namespace

namespace {

// What the build puts in the demo directory is what the checker calls sound.
TEST(ContentScenes, CheckFindsNothing) {
    const SProgramRun run = RunQuellbrook(kDemoDir, {"--check"});
    EXPECT_TRUE(run.exited);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");
}

}  // namespace
