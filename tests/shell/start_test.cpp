// --start and --end run the real program on short timelines over the demo's
// pictures: the frames after a simulated start must be the very bytes a run
// from 0 gives there, whatever state the effects and the device carry.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>
#include <string>
#include <vector>

#include "tests/shell/run_program.h"
#include "tests/shell/test_files.h"

namespace {

std::string FramePath(const std::string& dir, int index) {
    char name[16];
    std::snprintf(name, sizeof(name), "/%06d.png", index);
    return dir + name;
}

class StartLater : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directory_symlink(std::string(QB_DEMO_DIR) + "/Data", m_dir / "Data");
        static const std::string problem = HeadlessRenderingProblem(m_dir.Path());
        if (!problem.empty()) GTEST_SKIP() << "no headless OpenGL 3.3 here: " << problem;
    }

    SProgramRun Run(const std::vector<std::string>& args) { return RunQuellbrook(m_dir.Path(), args); }

    // Frames first.. of `dir` equal 0.. of `part`, which holds `count`.
    void ExpectSameFrames(const std::string& dir, int first, const std::string& part, int count) {
        EXPECT_FALSE(std::filesystem::exists(FramePath(m_dir / part, count))) << "more frames than asked";
        for (int i = 0; i < count; ++i) {
            const std::string shown = ReadFile(FramePath(m_dir / part, i));
            ASSERT_FALSE(shown.empty()) << part << " frame " << i;
            EXPECT_TRUE(shown == ReadFile(FramePath(m_dir / dir, first + i))) << part << " frame " << i;
        }
    }

    CTempDir m_dir;
};

// Class-wide clocks (test texture, zoom blur, old zoom), the zoom blur's
// feedback picture, the fade's levels and layers switched off and on.
const std::vector<std::string> kClearedScenes = {
    "e 0 s i0 sbeginScene", "e 0 s i1 sclearScreen", "e 0 p stestTexture", "e 0 s i30 stestTexture",
    "e 0 s i40 szoomblur",  "e 0 s i500 sfade",      "l 0 f i500 i0 f0",    "l 0 f i500 i1 f1",
    "l 0 f i500 i2 f1",     "e 0 s i511 sendScene",  "l 300 h i40",         "e 400 s i20 soldzoom",
    "l 500 s i40",          "l 700 h i20",           "F 1300"};

TEST_F(StartLater, FramesAfterTheStartAreThoseOfARunFromZero) {
    WriteFile(m_dir / "script.txt", Timeline(kClearedScenes));
    SProgramRun result = Run({"--capture", "full", "--fps", "30"});
    ASSERT_EQ(result.status, 0) << result.err;
    result = Run({"--capture", "mid", "--fps", "30", "--start", "0.5", "--frames", "5"});
    ASSERT_EQ(result.status, 0) << result.err;
    ExpectSameFrames("full", 15, "mid", 5);
    // The nearest frame to the start; --end stops before its own frame.
    result = Run({"--capture", "late", "--fps", "30", "--start", "0.79", "--end", "1.0"});
    ASSERT_EQ(result.status, 0) << result.err;
    ExpectSameFrames("full", 24, "late", 6);

    // The sound starts as much later in the song as the first frame.
    const std::string full = ReadFile(m_dir / "full/audio.wav");
    const std::string mid = ReadFile(m_dir / "mid/audio.wav");
    ASSERT_EQ(mid.size(), 44u + 5 * 1470 * 4);
    ASSERT_GE(full.size(), 44u + 20 * 1470 * 4);
    EXPECT_TRUE(mid.compare(44, std::string::npos, full, 44 + 15 * 1470 * 4, 5 * 1470 * 4) == 0);
}

TEST_F(StartLater, ATimelineThatNeverClearsKeepsWhatWasDrawnBeforeTheStart) {
    WriteFile(m_dir / "script.txt", Timeline({"e 0 s i0 sbeginScene", "e 0 s i30 stestTexture",
                                              "e 0 s i40 szoomblur", "e 0 s i511 sendScene", "F 900"}));
    SProgramRun result = Run({"--capture", "full", "--fps", "30"});
    ASSERT_EQ(result.status, 0) << result.err;
    result = Run({"--capture", "mid", "--fps", "30", "--start", "0.6", "--frames", "3"});
    ASSERT_EQ(result.status, 0) << result.err;
    ExpectSameFrames("full", 18, "mid", 3);
}

TEST_F(StartLater, AStartPastTheTimelinesEndIsRefused) {
    WriteFile(m_dir / "script.txt", Timeline(kClearedScenes));
    SProgramRun result = Run({"--capture", "out", "--start", "3"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("--start 3 is beyond the timeline's end"), std::string::npos) << result.err;
    result = Run({"--benchmark", "--start", "2", "--end", "1"});
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("--end must come after --start"), std::string::npos) << result.err;
}

// A frame of 510 of the heaviest layers takes seconds to draw; a signal is
// seen between two layers, so the run stops within a second all the same
// (two here, where other tests share the machine; a run that stopped only
// between frames would take most of the frame).
TEST_F(StartLater, ASignalStopsASlowFrameBetweenLayers) {
    std::vector<std::string> lines = {"e 0 s i0 sbeginScene", "e 0 s i1 sclearScreen", "e 0 p stestTexture"};
    for (int layer = 2; layer <= 510; ++layer) lines.push_back("e 0 s i" + std::to_string(layer) + " stestTexture");
    lines.insert(lines.end(), {"e 0 s i511 sendScene", "F 100000"});
    WriteFile(m_dir / "script.txt", Timeline(lines));
    CRunningProgram program(QuellbrookBinary(), m_dir.Path(), {"--capture", "o", "--renderer", "cpu"});
    for (int i = 0; i < 6000 && !std::filesystem::exists(m_dir / "o/000000.png"); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // Well into the second frame.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto signalled = std::chrono::steady_clock::now();
    program.Signal(SIGINT);
    const SProgramRun result = program.Wait();
    const double stopping = std::chrono::duration<double>(std::chrono::steady_clock::now() - signalled).count();
    EXPECT_EQ(result.status, 130) << result.err;
    EXPECT_EQ(std::filesystem::exists(FramePath(m_dir / "o", 1)), false) << "the frame cut short is not kept";
#ifndef QB_SANITIZED
    EXPECT_LT(stopping, 2.0);
#endif
    std::printf("stopped %.3f s after SIGINT\n", stopping);
}

}  // namespace
