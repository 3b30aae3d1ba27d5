// The program's side of a video made in segments, run as a user would:
// --frame-count must say what a capture makes, --sound must write the very
// audio.wav of that capture, --start-frame must start where --start does,
// and --no-sound must leave the sound out.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/shell/run_program.h"
#include "tests/shell/test_files.h"
#include "tests/shell/video_probe.h"

namespace {

size_t CountPngs(const std::string& dir) {
    size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) count += entry.path().extension() == ".png";
    return count;
}

std::vector<std::string> With(std::vector<std::string> args, const std::vector<std::string>& more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

class SegmentRun : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directory_symlink(std::string(QB_DEMO_DIR) + "/Data", m_dir / "Data");
        WriteFile(m_dir / "script.txt", SceneTimeline({"e 0 s i3 scube1", "l 400 h i3", "l 600 s i3", "F 1300"}));
        static const std::string problem = HeadlessRenderingProblem(m_dir.Path());
        if (!problem.empty()) GTEST_SKIP() << "no headless OpenGL 3.3 here: " << problem;
    }

    SProgramRun Run(const std::vector<std::string>& args) { return RunQuellbrook(m_dir.Path(), args); }

    CTempDir m_dir;
};

// Rates below and above 100 fps (where more passes come before the first
// frame), a broadcast rate, a later start, an end and a frame limit.
TEST_F(SegmentRun, FrameCountAndSoundAreThoseOfACapture) {
    const std::vector<std::vector<std::string>> runs = {
        {"--fps", "60"},
        {"--fps", "60000/1001"},
        {"--fps", "30", "--start", "0.5"},
        {"--fps", "24", "--start", "0.3", "--end", "0.9"},
        {"--fps", "250", "--start-frame", "40", "--frames", "7"},
    };
    int index = 0;
    for (const std::vector<std::string>& run : runs) {
        const std::string name = "run" + std::to_string(index++);
        SProgramRun counted = Run(With(run, {"--frame-count"}));
        ASSERT_EQ(counted.status, 0) << name << ": " << counted.err;
        SProgramRun captured = Run(With(run, {"--capture", name, "--renderer", "cpu"}));
        ASSERT_EQ(captured.status, 0) << name << ": " << captured.err;
        EXPECT_EQ(counted.out, std::to_string(CountPngs(m_dir / name)) + "\n") << name;

        SProgramRun sound = Run(With(run, {"--sound", name + ".wav"}));
        ASSERT_EQ(sound.status, 0) << name << ": " << sound.err;
        const std::string wav = ReadFile(m_dir / (name + ".wav"));
        EXPECT_GT(wav.size(), 44u) << name;
        EXPECT_TRUE(wav == ReadFile(m_dir / (name + "/audio.wav"))) << name << ": not the capture's audio.wav";
    }
    EXPECT_FALSE(std::filesystem::exists(m_dir / ".run0.partial.wav"));
}

TEST_F(SegmentRun, AStartFrameIsTheFrameAStartRoundsTo) {
    ASSERT_EQ(Run({"--capture", "seconds", "--fps", "30", "--start", "0.49", "--frames", "4"}).status, 0);
    ASSERT_EQ(Run({"--capture", "frame", "--fps", "30", "--start-frame", "15", "--frames", "4"}).status, 0);
    for (const char* name : {"000000.png", "000003.png", "audio.wav"}) {
        const std::string bytes = ReadFile(m_dir / (std::string("frame/") + name));
        EXPECT_FALSE(bytes.empty()) << name;
        EXPECT_TRUE(bytes == ReadFile(m_dir / (std::string("seconds/") + name))) << name;
    }

    SProgramRun result = Run({"--frame-count", "--fps", "30", "--start-frame", "100"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("--start-frame 100 is beyond the timeline's end"), std::string::npos) << result.err;
    EXPECT_TRUE(result.out.empty()) << result.out;
    result = Run({"--frame-count", "--start-frame", "3", "--start", "1"});
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("--start-frame cannot be used with --start"), std::string::npos) << result.err;
}

TEST_F(SegmentRun, AnExistingSoundFileIsKeptUnlessOverwriteReplacesIt) {
    WriteFile(m_dir / "s.wav", "mine");
    SProgramRun result = Run({"--sound", "s.wav", "--frames", "3"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("s.wav exists already; --overwrite replaces it"), std::string::npos) << result.err;
    EXPECT_EQ(ReadFile(m_dir / "s.wav"), "mine");
    result = Run({"--sound", "s.wav", "--frames", "3", "--overwrite"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(ReadFile(m_dir / "s.wav").size(), 44u + 3 * 735 * 4);

    std::filesystem::remove(m_dir / "Data");
    result = Run({"--sound", "t.wav"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("Unable to load song"), std::string::npos) << result.err;
    EXPECT_FALSE(std::filesystem::exists(m_dir / "t.wav"));
}

TEST_F(SegmentRun, NoSoundLeavesTheSoundOutOfTheVideo) {
    if (ProgramPath("ffmpeg").empty()) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    const SProgramRun result = Run({"--video", "v.mp4", "--no-sound", "--frames", "10", "--renderer", "cpu"});
    ASSERT_EQ(result.status, 0) << result.err;
    const std::vector<SStream> streams = ProbeStreams(m_dir / "v.mp4");
    ASSERT_EQ(streams.size(), 1u);
    EXPECT_EQ(streams[0].codec, "h264");
    EXPECT_EQ(streams[0].frames, 10);
    size_t entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(m_dir.Path())) entries += entry.exists();
    EXPECT_EQ(entries, 3u) << "Data, script.txt and the video, no sound file";
}

}  // namespace
