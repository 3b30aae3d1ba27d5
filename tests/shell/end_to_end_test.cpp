// Runs the real program headless in a scratch working directory.
#include <gtest/gtest.h>


#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/png_file.h"
#include "tests/shell/loop_model.h"
#include "tests/shell/run_program.h"
#include "tests/shell/test_files.h"
#include "tests/shell/video_probe.h"

namespace {

std::string FrameName(int index) {
    char name[16];
    std::snprintf(name, sizeof(name), "%06d.png", index);
    return name;
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
    EXPECT_TRUE(PngNames(m_dir / "out").empty());
    EXPECT_EQ(ReadFile(m_dir / "out/audio.wav").size(), 44u) << "an empty WAV";
}

TEST_F(EndToEnd, CaptureHoldsTheLoopsFramesAndTheMusicHeardWithThem) {
    WriteScript(SceneTimeline({"F 1000"}));
    const SProgramRun result = Run({"--capture", "out"});
    ASSERT_EQ(result.status, 0) << result.err;

    const int64_t frames = FramesBeforeEndLine(60, 1000);
    const std::vector<std::string> pngs = PngNames(m_dir / "out");
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
    EXPECT_EQ(PngNames(m_dir / "out").size(), 7u);
    EXPECT_EQ(ReadFile(m_dir / "out/audio.wav").size(), 44u + 7 * 44100 / 24 * 4);
}

TEST_F(EndToEnd, TwoCapturesOfTheSameRunAreByteIdentical) {
    WriteScript(SceneTimeline({"F 300"}));
    // The CPU backend gives the same bytes with any number of threads.
    ASSERT_EQ(Run({"--capture", "a", "--renderer", "cpu", "--threads", "1"}).status, 0);
    ASSERT_EQ(Run({"--capture", "b", "--renderer", "cpu", "--threads", "3"}).status, 0);
    const std::vector<std::string> pngs = PngNames(m_dir / "a");
    ASSERT_FALSE(pngs.empty());
    EXPECT_EQ(pngs, PngNames(m_dir / "b"));
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
    EXPECT_TRUE(PngNames(m_dir / "out").empty());
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

TEST_F(EndToEnd, FfmpegFailingOrMissingIsReportedAndLeavesNoVideo) {
    WriteScript(SceneTimeline({"F 100000"}));
    // ffmpeg that takes a little, says why it gives up, and fails.
    const std::string path = FakeProgram(
        m_dir, "ffmpeg", "head -c 1000 >/dev/null\necho 'frame=    1 fps=0.0' >&2\necho 'clip.mp4: No space left on device' >&2\n"
               "exit 1\n");
    SProgramRun result = Run({"--video", "clip.mp4", "--frames", "30"}, path.c_str());
    EXPECT_EQ(result.status, 1) << result.err;
    EXPECT_NE(result.err.find("ffmpeg failed (exit status 1):\nframe=    1 fps=0.0\nclip.mp4: No space left on device"),
              std::string::npos)
        << result.err;
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(m_dir.Path())) {
        left.push_back(entry.path().filename().string());
    }
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, std::vector<std::string>({"Data", "bin", "script.txt"})) << "no video, partial or sound file left";

    // Without ffmpeg nothing is rendered.
    result = Run({"--capture", "none", "--video", "clip.mp4"}, "/nonexistent");
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("--video needs ffmpeg"), std::string::npos) << result.err;
    EXPECT_FALSE(std::filesystem::exists(m_dir / "none"));

    // An existing video is kept.
    WriteFile(m_dir / "clip.mp4", "earlier");
    result = Run({"--video", "clip.mp4"}, path.c_str());
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("clip.mp4 exists already; --overwrite replaces it"), std::string::npos) << result.err;
    EXPECT_EQ(ReadFile(m_dir / "clip.mp4"), "earlier");
}

// Two "endScene" layers present twice a pass; the capture still gets one
// frame per pass, and the music keeps time with them.
TEST_F(EndToEnd, TwoPresentsInAPassMakeOneFrame) {
    WriteScript(Timeline({"e 0 s i0 sbeginScene", "e 0 s i1 sclearScreen", "e 0 s i510 sendScene",
                          "e 0 s i511 sendScene", "F 1000"}));
    const SProgramRun result = Run({"--capture", "o", "--fps", "60"});
    ASSERT_EQ(result.status, 0) << result.err;
    const int64_t frames = FramesBeforeEndLine(60, 1000);
    EXPECT_EQ(static_cast<int64_t>(PngNames(m_dir / "o").size()), frames);
    EXPECT_EQ(ReadFile(m_dir / "o/audio.wav").size(), 44u + static_cast<size_t>(frames) * 735 * 4);
}

// While "endScene" is hidden nothing is presented: those passes repeat the
// last frame, so the picture after the gap is still in step with the music.
TEST_F(EndToEnd, PassesThatPresentNothingRepeatTheLastFrame) {
    WriteScript(Timeline({"e 0 s i0 sbeginScene", "e 0 s i1 sclearScreen", "e 0 s i3 scube1", "e 0 s i5 sendScene",
                          "l 200 h i5", "l 500 s i5", "F 1000"}));
    const SProgramRun result = Run({"--capture", "o"});
    ASSERT_EQ(result.status, 0) << result.err;
    const std::vector<std::string> pngs = PngNames(m_dir / "o");
    const int64_t frames = FramesBeforeEndLine(60, 1000);
    ASSERT_EQ(static_cast<int64_t>(pngs.size()), frames);
    // The cube turns every frame, except through the 300 ms gap.
    int repeated = 0;
    for (size_t i = 1; i < pngs.size(); ++i) {
        repeated += ReadFile(m_dir / ("o/" + pngs[i])) == ReadFile(m_dir / ("o/" + pngs[i - 1]));
    }
    EXPECT_EQ(repeated, 18);

    const std::string wav = ReadFile(m_dir / "o/audio.wav");
    const size_t samples = static_cast<size_t>(frames) * 735;
    ASSERT_EQ(wav.size(), 44 + samples * 4);
    const std::vector<int16_t> song = DecodeSong(m_dir / "Data/song.mp3");
    ASSERT_GE(song.size() / 2, 2 * 735 + samples);
    EXPECT_EQ(std::memcmp(wav.data() + 44, song.data() + 2 * 735 * 2, samples * 4), 0);
}

TEST_F(EndToEnd, AnEarlierCaptureIsKeptUnlessOverwriteReplacesIt) {
    WriteScript(SceneTimeline({"F 100000"}));
    ASSERT_EQ(Run({"--capture", "o", "--frames", "60"}).status, 0);
    SProgramRun result = Run({"--capture", "o", "--frames", "10"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("holds an earlier capture"), std::string::npos) << result.err;
    EXPECT_EQ(PngNames(m_dir / "o").size(), 60u);

    WriteFile(m_dir / "o/notes.txt", "mine");
    result = Run({"--capture", "o", "--frames", "10", "--overwrite"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(PngNames(m_dir / "o").size(), 10u);
    EXPECT_EQ(ReadFile(m_dir / "o/audio.wav").size(), 44u + 10 * 735 * 4);
    EXPECT_EQ(ReadFile(m_dir / "o/notes.txt"), "mine") << "only frames and audio.wav are replaced";
}

// The real ffmpeg: skipped where it is not installed.
class EndToEndVideo : public EndToEnd {
protected:
    void SetUp() override {
        if (ProgramPath("ffmpeg").empty()) {
            GTEST_SKIP() << "ffmpeg is not installed";
        }
        EndToEnd::SetUp();
    }
};

// The frames go to ffmpeg while they are drawn, so no PNG pattern is made
// from the directory's name and no PNG is written without --capture.
TEST_F(EndToEndVideo, VideoStreamsAtTheFrameRateWhateverTheNames) {
    WriteScript(SceneTimeline({"F 1000"}));
    SProgramRun result = Run({"--capture", "o%1d", "--video", "v.mp4"});
    ASSERT_EQ(result.status, 0) << result.err;
    const int64_t frames = FramesBeforeEndLine(60, 1000);
    EXPECT_EQ(static_cast<int64_t>(PngNames(m_dir / "o%1d").size()), frames);
    std::vector<SStream> streams = ProbeStreams(m_dir / "v.mp4");
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_EQ(streams[0].codec, "h264");
    EXPECT_EQ(streams[0].rate, "60/1");
    EXPECT_EQ(streams[0].frames, frames);
    EXPECT_DOUBLE_EQ(streams[0].duration, static_cast<double>(frames) / 60);
    EXPECT_EQ(streams[1].codec, "aac");
    EXPECT_NEAR(streams[1].duration, static_cast<double>(frames) / 60, 0.05);

    // A video alone, at a broadcast rate, with a name ffmpeg would read as a
    // pattern, and no extension: FILE.mp4, nothing else beside it.
    result = Run({"--video", "clip %d", "--fps", "60000/1001", "--frames", "30"});
    ASSERT_EQ(result.status, 0) << result.err;
    streams = ProbeStreams(m_dir / "clip %d.mp4");
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_EQ(streams[0].rate, "60000/1001");
    EXPECT_EQ(streams[0].frames, 30);
    EXPECT_DOUBLE_EQ(streams[0].duration, 30 * 1001 / 60000.0);
    EXPECT_NEAR(streams[1].duration, 30 * 1001 / 60000.0, 0.05);
    size_t entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(m_dir.Path())) entries += entry.exists();
    EXPECT_EQ(entries, 5u) << "Data, script.txt, o%1d, v.mp4 and the new video";
}

// A video is the frame's size, the picture letterboxed in it; the lossless
// codec takes any size.
TEST_F(EndToEndVideo, VideoTakesTheFramesSize) {
    WriteScript(SceneTimeline({"F 1000"}));
    SProgramRun result = Run({"--video", "wide.mp4", "--size", "3840x2160", "--frames", "3", "--renderer", "cpu"});
    ASSERT_EQ(result.status, 0) << result.err;
    std::vector<SStream> streams = ProbeStreams(m_dir / "wide.mp4");
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_EQ(streams[0].width, 3840);
    EXPECT_EQ(streams[0].height, 2160);
    EXPECT_EQ(streams[0].frames, 3);
    result = Run({"--video", "odd.mkv", "--video-codec", "lossless", "--size", "1001x751", "--frames", "2"});
    ASSERT_EQ(result.status, 0) << result.err;
    streams = ProbeStreams(m_dir / "odd.mkv");
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_EQ(streams[0].width, 1001);
    EXPECT_EQ(streams[0].height, 751);
    result = Run({"--video", "odd.mp4", "--size", "1001x751", "--frames", "2"});
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("even width and height"), std::string::npos) << result.err;
    EXPECT_FALSE(std::filesystem::exists(m_dir / "odd.mp4"));
}

// FFV1 and FLAC keep every pixel and sample: the sound is the song from the
// first frame's position on, to the sample.
TEST_F(EndToEndVideo, LosslessVideoHoldsTheExactFramesAndSound) {
    WriteScript(SceneTimeline({"F 100000"}));
    const SProgramRun result =
        Run({"--capture", "o", "--video", "v", "--video-codec", "lossless", "--frames", "45", "--fps", "30"});
    ASSERT_EQ(result.status, 0) << result.err;
    const std::vector<SStream> streams = ProbeStreams(m_dir / "v.mkv");
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_EQ(streams[0].codec, "ffv1");
    EXPECT_EQ(streams[0].frames, 45);
    EXPECT_NEAR(streams[0].duration, 1.5, 1e-3);
    EXPECT_EQ(streams[1].codec, "flac");
    EXPECT_NEAR(streams[1].duration, 1.5, 0.05);

    const std::string sound = DecodeSound(m_dir / "v.mkv");
    const std::string wav = ReadFile(m_dir / "o/audio.wav");
    const size_t samples = 45 * 44100 / 30;
    ASSERT_EQ(wav.size(), 44 + samples * 4);
    ASSERT_GE(sound.size(), samples * 4);
    EXPECT_LE(sound.size(), (samples + 1024) * 4);
    EXPECT_EQ(sound.compare(0, samples * 4, wav, 44, samples * 4), 0) << "the video's sound is audio.wav";
    // At 30 fps the first frame is drawn two steps after the music began.
    const std::vector<int16_t> song = DecodeSong(m_dir / "Data/song.mp3");
    EXPECT_EQ(std::memcmp(wav.data() + 44, song.data() + 2 * 1470 * 2, samples * 4), 0);
}

// Ctrl+C stops the run with what it made complete: a playable video and an
// audio.wav whose header matches its length, both as long as the frames.
TEST_F(EndToEndVideo, SignalStopsWithCompleteFiles) {
    WriteScript(SceneTimeline({"F 100000"}));
    CRunningProgram program(QuellbrookBinary(), m_dir.Path(), {"--capture", "o", "--video", "v.mp4"});
    for (int i = 0; i < 2000 && !std::filesystem::exists(m_dir / "o/000010.png"); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    program.Signal(SIGINT);
    const SProgramRun result = program.Wait();
    EXPECT_EQ(result.status, 130) << result.err;
    EXPECT_NE(result.err.find("stopped by SIGINT"), std::string::npos) << result.err;
    const int64_t frames = static_cast<int64_t>(PngNames(m_dir / "o").size());
    EXPECT_GT(frames, 10);
    const std::string wav = ReadFile(m_dir / "o/audio.wav");
    ASSERT_EQ(wav.size(), 44 + static_cast<size_t>(frames) * 735 * 4);
    uint32_t dataBytes = 0;
    std::memcpy(&dataBytes, wav.data() + 40, 4);
    EXPECT_EQ(dataBytes, wav.size() - 44);
    const std::vector<SStream> streams = ProbeStreams(m_dir / "v.mp4");
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_EQ(streams[0].frames, frames);
    EXPECT_NEAR(streams[1].duration, static_cast<double>(frames) / 60, 0.05);
    EXPECT_FALSE(std::filesystem::exists(m_dir / ".v.partial.mp4"));
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
