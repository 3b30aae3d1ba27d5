// Runs the real program headless in a scratch working directory.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/mp3_stream.h"
#include "tests/png_file.h"
#include "tests/shell/loop_model.h"
#include "tests/shell/run_program.h"
#include "tests/shell/test_files.h"

namespace {

std::vector<std::string> Pngs(const std::string& dir) {
    std::vector<std::string> names;
    if (!std::filesystem::exists(dir)) return names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() == ".png") names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string FrameName(int index) {
    char name[16];
    std::snprintf(name, sizeof(name), "%06d.png", index);
    return name;
}

// The song's samples as the program's decoder gives them.
std::vector<int16_t> DecodeSong(const std::string& path) {
    CMp3Stream stream;
    std::string error;
    std::vector<int16_t> pcm;
    if (!stream.Open(path.c_str(), &error)) return pcm;
    int16_t chunk[4096 * kMusicChannels];
    while (size_t frames = stream.Read(chunk, 4096)) pcm.insert(pcm.end(), chunk, chunk + frames * kMusicChannels);
    return pcm;
}

// A scratch working directory with a song; skipped where this machine cannot
// render without a display.
class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(WriteToneMp3(m_dir / "Data/song.mp3", 44100, 2, 1.5));
        static const std::string problem = HeadlessRenderingProblem(m_dir.Path());
        if (!problem.empty()) GTEST_SKIP() << "no headless OpenGL 3.3 here: " << problem;
    }

    void WriteScript(const std::string& text) { WriteFile(m_dir / "script.txt", text); }
    SProgramRun Run(const std::vector<std::string>& args, const char* path = nullptr) {
        ProgramEnv env;
        if (path) env.emplace_back("PATH", path);
        return RunQuellbrook(m_dir.Path(), args, env);
    }

    CTempDir m_dir;
};

TEST_F(EndToEnd, EndByteOnlyTimelineRendersNoFrameAndExitsCleanly) {
    WriteScript("%");
    const SProgramRun result = Run({"--capture", "out"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(Pngs(m_dir / "out").empty());
    EXPECT_EQ(ReadFile(m_dir / "out/audio.wav").size(), 44u) << "an empty WAV";
}

TEST_F(EndToEnd, CaptureHoldsTheLoopsFramesAndTheMusicHeardWithThem) {
    WriteScript(SceneTimeline({"F 1000"}));
    const SProgramRun result = Run({"--capture", "out"});
    ASSERT_EQ(result.status, 0) << result.err;

    const int64_t frames = FramesBeforeEndLine(60, 1000);
    const std::vector<std::string> pngs = Pngs(m_dir / "out");
    ASSERT_EQ(static_cast<int64_t>(pngs.size()), frames);
    EXPECT_EQ(pngs.front(), FrameName(0));
    EXPECT_EQ(pngs.back(), FrameName(static_cast<int>(frames - 1)));
    SRgbImage first;
    bool rgb8 = false;
    ASSERT_TRUE(ReadRgbPng(m_dir / "out/000000.png", &first, &rgb8));
    EXPECT_TRUE(rgb8);
    EXPECT_EQ(first.width, 1024);
    EXPECT_EQ(first.height, 768);
    EXPECT_TRUE(std::all_of(first.rgb.begin(), first.rgb.end(), [](uint8_t v) { return v == 0; }))
        << "clearScreen clears to black";

    // Exactly the frames' duration, to the sample, starting at the music's
    // position when the first frame was drawn: two timer steps in.
    const std::string wav = ReadFile(m_dir / "out/audio.wav");
    const size_t samples = static_cast<size_t>(frames) * 44100 / 60;
    ASSERT_EQ(wav.size(), 44 + samples * 4);
    const std::vector<int16_t> song = DecodeSong(m_dir / "Data/song.mp3");
    const size_t offset = 2 * 735;
    ASSERT_GE(song.size() / 2, offset + samples);
    EXPECT_EQ(std::memcmp(wav.data() + 44, song.data() + offset * 2, samples * 4), 0);
}

TEST_F(EndToEnd, FrameLimitAndFrameRateSetTheCapturedDuration) {
    WriteScript(SceneTimeline({"F 100000"}));
    const SProgramRun result = Run({"--capture", "out", "--fps", "24", "--frames", "7"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(Pngs(m_dir / "out").size(), 7u);
    EXPECT_EQ(ReadFile(m_dir / "out/audio.wav").size(), 44u + 7 * 44100 / 24 * 4);
}

TEST_F(EndToEnd, TwoCapturesOfTheSameRunAreByteIdentical) {
    WriteScript(SceneTimeline({"F 300"}));
    // The CPU backend gives the same bytes with any number of threads.
    ASSERT_EQ(Run({"--capture", "a", "--renderer", "cpu", "--threads", "1"}).status, 0);
    ASSERT_EQ(Run({"--capture", "b", "--renderer", "cpu", "--threads", "3"}).status, 0);
    const std::vector<std::string> pngs = Pngs(m_dir / "a");
    ASSERT_FALSE(pngs.empty());
    EXPECT_EQ(pngs, Pngs(m_dir / "b"));
    for (const std::string& name : pngs) {
        EXPECT_EQ(ReadFile(m_dir / ("a/" + name)), ReadFile(m_dir / ("b/" + name))) << name;
    }
    EXPECT_EQ(ReadFile(m_dir / "a/audio.wav"), ReadFile(m_dir / "b/audio.wav"));
}

TEST_F(EndToEnd, RunsThatCannotStartSayWhyAndFail) {
    WriteScript(SceneTimeline({"F 1000"}));
    std::filesystem::remove(m_dir / "Data/song.mp3");
    SProgramRun result = Run({"--capture", "out"});
    EXPECT_NE(result.status, 0);
    EXPECT_NE(result.err.find("Unable to load song"), std::string::npos) << result.err;
    EXPECT_TRUE(Pngs(m_dir / "out").empty());
    result = Run({"--benchmark"});
    EXPECT_NE(result.status, 0);
    EXPECT_NE(result.err.find("Unable to load song"), std::string::npos) << result.err;

    ASSERT_TRUE(WriteToneMp3(m_dir / "Data/song.mp3", 44100, 2, 0.2));
    std::filesystem::remove(m_dir / "script.txt");
    result = Run({"--capture", "out"});
    EXPECT_NE(result.status, 0);
    EXPECT_NE(result.err.find("script.txt"), std::string::npos) << result.err;
}

TEST_F(EndToEnd, WithoutOpenGLTheCpuDrawsUnlessGpuIsAskedFor) {
    WriteScript(SceneTimeline({"F 100000"}));
    // Mesa finds no driver here, so no OpenGL context can be made.
    const ProgramEnv noDriver = {{"LIBGL_DRIVERS_PATH", "/nonexistent"}};
    SProgramRun result = RunQuellbrook(m_dir.Path(), {"--renderer", "gpu", "--benchmark", "--frames", "2"}, noDriver);
    if (result.status == 0) GTEST_SKIP() << "this OpenGL does not come from Mesa's drivers";
    EXPECT_NE(result.err.find("no OpenGL 3.3 core context through EGL"), std::string::npos) << result.err;
    result = RunQuellbrook(m_dir.Path(), {"--benchmark", "--frames", "2"}, noDriver);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.err.find("drawing with cpu"), std::string::npos) << result.err;
    EXPECT_NE(result.out.find("renderer: cpu ("), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("no OpenGL 3.3 core context"), std::string::npos) << result.out;
}

TEST_F(EndToEnd, BenchmarkEndsWithTheSummaryLine) {
    WriteScript(SceneTimeline({"F 100000"}));
    const SProgramRun result = Run({"--benchmark", "--frames", "12"});
    ASSERT_EQ(result.status, 0) << result.err;
    // Frames are timed whole: no effect is drained on its own.
    EXPECT_EQ(result.out.find("clearScreen"), std::string::npos) << result.out;
    const size_t lastLine = result.out.rfind('\n', result.out.size() - 2);
    const std::string last = result.out.substr(lastLine == std::string::npos ? 0 : lastLine + 1);
    int frames = 0;
    double mean = 0, p50 = 0, p99 = 0, max = 0, fps = 0;
    int consumed = 0;
    ASSERT_EQ(std::sscanf(last.c_str(), "benchmark: %d frames, mean %lf ms, p50 %lf ms, p99 %lf ms, max %lf ms, %lf fps%n",
                          &frames, &mean, &p50, &p99, &max, &fps, &consumed),
              6)
        << last;
    EXPECT_EQ(last.substr(static_cast<size_t>(consumed)), "\n") << last;
    EXPECT_EQ(frames, 12);
    EXPECT_LE(p50, p99);
    EXPECT_LE(p99, max);
    EXPECT_GT(fps, 0.0);
}

TEST_F(EndToEnd, PerEffectBenchmarkReportsEveryEffectAndNoFrameFigures) {
    WriteScript(SceneTimeline({"F 100000"}));
    const SProgramRun result = Run({"--benchmark", "--per-effect", "--frames", "12"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("clearScreen"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("endScene"), std::string::npos) << result.out;
    EXPECT_EQ(result.out.find("benchmark:"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("per-effect: 12 frames"), std::string::npos) << result.out;
}

TEST_F(EndToEnd, VideoIsEncodedByFfmpegWhenInstalled) {
    WriteScript(SceneTimeline({"F 100000"}));
    // A stand-in ffmpeg that notes its arguments.
    WriteFile(m_dir / "bin/ffmpeg", "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > \"$(dirname \"$0\")/args\"\n");
    chmod((m_dir / "bin/ffmpeg").c_str(), 0755);
    const std::string path = m_dir / "bin:/usr/bin:/bin";
    SProgramRun result = Run({"--capture", "out dir", "--frames", "3", "--video", "clip.mp4"}, path.c_str());
    ASSERT_EQ(result.status, 0) << result.err;
    const std::string args = ReadFile(m_dir / "bin/args");
    EXPECT_NE(args.find("-framerate\n60\n-i\nout dir/%06d.png\n-i\nout dir/audio.wav\n"), std::string::npos) << args;
    EXPECT_NE(args.find("\nclip.mp4\n"), std::string::npos) << args;

    // Without ffmpeg nothing is captured.
    result = Run({"--capture", "none", "--video", "clip.mp4"}, "/nonexistent");
    EXPECT_NE(result.status, 0);
    EXPECT_NE(result.err.find("ffmpeg"), std::string::npos) << result.err;
    EXPECT_FALSE(std::filesystem::exists(m_dir / "none"));
}

TEST(CommandLineOfTheProgram, HelpAndUnknownOptions) {
    CTempDir dir;
    SProgramRun result = RunQuellbrook(dir.Path(), {"--help"});
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.out.find("--capture DIR"), std::string::npos);
    result = RunQuellbrook(dir.Path(), {"--frobnicate"});
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("unknown option '--frobnicate'"), std::string::npos);
    EXPECT_NE(result.err.find("usage: quellbrook"), std::string::npos);
}

}  // namespace
