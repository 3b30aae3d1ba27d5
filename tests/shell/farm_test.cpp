// quellbrook-render run as a user would: a video made in segments, here and
// over SSH, must be the video of one run, and a segment that cannot be made
// must never leave a video with a piece missing.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/shell/run_program.h"
#include "tests/shell/test_files.h"
#include "tests/shell/test_sshd.h"
#include "tests/shell/video_probe.h"

namespace {

namespace fs = std::filesystem;

// 43 frames at 10 fps: cut into 7 segments of 7, the last is one frame.
const std::vector<std::string> kShortCube = {"e 0 s i3 scube1", "F 4300"};
const std::vector<std::string> kLossless10 = {"--video-codec", "lossless", "--fps", "10", "--renderer", "cpu"};

std::vector<std::string> With(std::vector<std::string> args, const std::vector<std::string>& more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

std::vector<std::string> Entries(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class Farm : public ::testing::Test {
protected:
    void SetUp() override {
        if (ProgramPath("parallel").empty()) GTEST_SKIP() << "GNU parallel is not installed";
        if (ProgramPath("ffmpeg").empty()) GTEST_SKIP() << "ffmpeg is not installed";
        fs::create_directory_symlink(std::string(QB_DEMO_DIR) + "/Data", m_dir / "Data");
        WriteFile(m_dir / "script.txt", SceneTimeline(kShortCube));
        static const std::string problem = HeadlessRenderingProblem(m_dir.Path());
        if (!problem.empty()) GTEST_SKIP() << "no headless OpenGL 3.3 here: " << problem;
    }

    SProgramRun Render(const std::vector<std::string>& args, const ProgramEnv& env = {}) {
        return CRunningProgram(QB_RENDER_BINARY, m_dir.Path(), args, env).Wait();
    }

    // The farm's video holds the one run's frames and, to the sample, its
    // `samples` sample frames of sound, which the one run pads with silence
    // to the end of an audio frame.
    void ExpectSameVideo(const std::string& one, const std::string& farm, size_t frames, size_t samples) {
        const std::vector<std::string> expected = FrameHashes(m_dir / one);
        ASSERT_EQ(expected.size(), frames) << one;
        EXPECT_EQ(FrameHashes(m_dir / farm), expected) << farm;
        const std::string sound = DecodeSound(m_dir / farm);
        const std::string oneSound = DecodeSound(m_dir / one);
        ASSERT_EQ(sound.size(), samples * 4) << farm;
        ASSERT_GE(oneSound.size(), sound.size()) << one;
        EXPECT_EQ(oneSound.compare(0, sound.size(), sound), 0) << farm << ": not the sound of " << one;
    }

    CTempDir m_dir;
};

TEST_F(Farm, LosslessSegmentsGiveTheFramesAndSoundOfOneRun) {
    // A 20 s slice of the default content: its segments start deep in it.
    const std::vector<std::string> slice = With(kLossless10, {"-C", QB_DEMO_DIR, "--start", "30", "--end", "50"});
    SProgramRun result = RunQuellbrook(m_dir.Path(), With(slice, {"--video", "one.mkv"}));
    ASSERT_EQ(result.status, 0) << result.err;
    result = Render(With(slice, {"--video", "farm.mkv", "--jobs", "3", "--segments", "7"}));
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.err.find("video of 200 frames (frames 300 to 499 at 10 fps, 7 segments)"), std::string::npos)
        << result.err;
    ExpectSameVideo("one.mkv", "farm.mkv", 200, 200 * 4410);

    // The last of 7 segments is a single frame.
    result = RunQuellbrook(m_dir.Path(), With(kLossless10, {"--video", "short.mkv"}));
    ASSERT_EQ(result.status, 0) << result.err;
    result = Render(With(kLossless10, {"--video", "short-farm", "--jobs", "3", "--segments", "7"}));
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.err.find("video of 43 frames (frames 0 to 42 at 10 fps, 7 segments)"), std::string::npos)
        << result.err;
    ExpectSameVideo("short.mkv", "short-farm.mkv", 43, 43 * 4410);
    EXPECT_EQ(Entries(m_dir.Path()),
              std::vector<std::string>({"Data", "farm.mkv", "one.mkv", "script.txt", "short-farm.mkv", "short.mkv"}))
        << "no work directory left";
}

// A song of noise, so that the sound's place can be found to the sample.
std::vector<int16_t> NoisePcm(double seconds) {
    std::vector<int16_t> pcm(static_cast<size_t>(seconds * 44100) * 2);
    uint32_t state = 1;
    int32_t smooth = 0;
    for (int16_t& sample : pcm) {
        state = state * 1664525u + 1013904223u;
        // Softened a little, so that both lossy codecs keep it well.
        smooth = (smooth * 3 + static_cast<int32_t>(state >> 16) - 32768) / 4;
        sample = static_cast<int16_t>(smooth / 2);
    }
    return pcm;
}

// The shift, in samples, at which `heard` (interleaved stereo) best matches
// the left channel of `song` from `expected` on.
int BestLag(const std::vector<int16_t>& heard, const std::vector<int16_t>& song, size_t expected, double* match) {
    constexpr size_t kFrom = 44100, kLength = 44100;
    constexpr int kSearch = 441;
    int best = 0;
    *match = -1.0;
    for (int lag = -kSearch; lag <= kSearch; ++lag) {
        double dot = 0, heardPower = 0, songPower = 0;
        for (size_t i = kFrom; i < kFrom + kLength; ++i) {
            const double a = heard[2 * i];
            const double b = song[2 * static_cast<size_t>(static_cast<int64_t>(i + expected) + lag)];
            dot += a * b;
            heardPower += a * a;
            songPower += b * b;
        }
        const double correlation = dot / std::sqrt(heardPower * songPower + 1.0);
        if (correlation > *match) {
            *match = correlation;
            best = lag;
        }
    }
    return best;
}

TEST_F(Farm, H264SegmentsJoinIntoOneVideoAtAConstantRateWithTheSongInStep) {
    WriteFile(m_dir / "noise/script.txt", SceneTimeline({"e 0 s i3 scube1", "F 3000"}));
    ASSERT_TRUE(WritePcmMp3(m_dir / "noise/Data/song.mp3", 44100, 2, NoisePcm(4.0)));
    const SProgramRun counted = RunQuellbrook(m_dir.Path(), {"-C", "noise", "--frame-count"});
    ASSERT_EQ(counted.status, 0) << counted.err;
    const int64_t frames = std::stoll(counted.out);
    const SProgramRun result =
        Render({"-C", "noise", "--video", "v.mp4", "--renderer", "cpu", "--jobs", "2", "--segments", "3"});
    ASSERT_EQ(result.status, 0) << result.err;

    const std::vector<SStream> streams = ProbeStreams(m_dir / "v.mp4");
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_EQ(streams[0].codec, "h264");
    EXPECT_EQ(streams[0].rate, "60/1");
    EXPECT_EQ(streams[0].frames, frames);
    const double seconds = static_cast<double>(frames) / 60;
    EXPECT_NEAR(streams[0].duration, seconds, 1e-6);
    const std::vector<double> times = FrameTimes(m_dir / "v.mp4");
    ASSERT_EQ(static_cast<int64_t>(times.size()), frames);
    for (size_t k = 0; k < times.size(); ++k) ASSERT_NEAR(times[k], k / 60.0, 1e-4) << "frame " << k;
    EXPECT_EQ(streams[1].codec, "aac");
    EXPECT_NEAR(streams[1].duration, seconds, 1024 / 44100.0) << "within one audio frame";

    // Frame 0 is shown with the song at 2 / fps: 1470 samples in at 60 fps.
    const std::string sound = DecodeSound(m_dir / "v.mp4");
    std::vector<int16_t> heard(sound.size() / 2);
    std::copy(sound.begin(), sound.begin() + static_cast<std::ptrdiff_t>(heard.size() * 2),
              reinterpret_cast<char*>(heard.data()));
    const std::vector<int16_t> song = DecodeSong(m_dir / "noise/Data/song.mp3");
    ASSERT_GE(heard.size(), 2u * 2 * 44100);
    ASSERT_GE(song.size(), 2u * (3 * 44100 + 1470));
    double match = 0;
    const int lag = BestLag(heard, song, 1470, &match);
    EXPECT_GT(match, 0.8) << "the sound is not the song";
    EXPECT_LE(std::abs(lag), 44) << "the sound is " << lag << " samples off the song (more than 1 ms)";
}

TEST_F(Farm, RendersOnAnotherMachineOverSsh) {
    CTestSshd sshd;
    if (!sshd.Problem().empty()) GTEST_SKIP() << sshd.Problem();
    SProgramRun result = RunQuellbrook(m_dir.Path(), With(kLossless10, {"--video", "one.mkv"}));
    ASSERT_EQ(result.status, 0) << result.err;
    // Everything over SSH: the segments come back with rsync.
    const std::string command = sshd.SshCommand();
    const ProgramEnv ssh = {{"PARALLEL_SSH", command.c_str()}};
    result = Render(With(kLossless10, {"--video", "ssh.mkv", "--jobs", "2", "--segments", "3", "--sshlogin",
                                       "127.0.0.1"}),
                    ssh);
    ASSERT_EQ(result.status, 0) << result.err;
    ExpectSameVideo("one.mkv", "ssh.mkv", 43, 43 * 4410);
    // Beside this machine, as a farm has it.
    result = Render(With(kLossless10, {"--video", "both.mkv", "--jobs", "1", "--segments", "4", "--sshlogin",
                                       "127.0.0.1,:"}),
                    ssh);
    ASSERT_EQ(result.status, 0) << result.err;
    ExpectSameVideo("one.mkv", "both.mkv", 43, 43 * 4410);
}

TEST_F(Farm, AHostThatRefusesIsRetriedElsewhereOrEndsTheRun) {
    const std::string refusing = "ssh -p " + std::to_string(FreeLocalPort()) + " -o BatchMode=yes 127.0.0.1";
    SProgramRun result = RunQuellbrook(m_dir.Path(), With(kLossless10, {"--video", "one.mkv"}));
    ASSERT_EQ(result.status, 0) << result.err;
    result = Render(With(kLossless10, {"--video", "v.mkv", "--segments", "3", "--sshlogin", refusing}));
    EXPECT_EQ(result.status, 1) << result.err;
    EXPECT_NE(result.err.find("failed on " + refusing + " (exit status 255"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("Connection refused"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("no video was made"), std::string::npos) << result.err;
    EXPECT_EQ(Entries(m_dir.Path()), std::vector<std::string>({"Data", "one.mkv", "script.txt"}));

    // The segments it refuses are made here instead.
    result = Render(With(kLossless10, {"--video", "v.mkv", "--jobs", "1", "--segments", "3", "--sshlogin",
                                       refusing + ",:"}));
    ASSERT_EQ(result.status, 0) << result.err;
    ExpectSameVideo("one.mkv", "v.mkv", 43, 43 * 4410);
}

// quellbrook-render beside a stand-in for quellbrook whose job for the
// segment from frame 15 is killed half way, once or every time.
std::string KillingFarm(const CTempDir& dir, bool always) {
    fs::create_directories(dir / "bin");
    fs::copy_file(QB_RENDER_BINARY, dir / "bin/quellbrook-render");
    WriteFile(dir / "bin/quellbrook",
              "#!/bin/bash\n"
              "case \" $* \" in *\" --start-frame 15 \"*)\n"
              "  if " + std::string(always ? "true" : "mkdir " + dir / "killed") + " 2>/dev/null; then\n"
              "    for ((i = 1; i < $#; ++i)); do [[ ${!i} == --video ]] && j=$((i + 1)) && video=${!j}; done\n"
              "    partial=$(dirname \"$video\")/.$(basename \"$video\" .mkv).partial.mkv\n"
              "    " + QuellbrookBinary() + " \"$@\" & job=$!\n"
              "    while [[ ! -e $partial ]] && kill -0 $job 2>/dev/null; do sleep 0.01; done\n"
              "    kill -KILL $job $$\n"
              "  fi ;;\n"
              "esac\n"
              "exec " + QuellbrookBinary() + " \"$@\"\n");
    chmod((dir / "bin/quellbrook").c_str(), 0755);
    return dir / "bin/quellbrook-render";
}

TEST_F(Farm, AJobKilledHalfWayIsRetriedOrEndsTheRun) {
    SProgramRun result = RunQuellbrook(m_dir.Path(), With(kLossless10, {"--video", "one.mkv"}));
    ASSERT_EQ(result.status, 0) << result.err;
    CTempDir tools;
    result = CRunningProgram(KillingFarm(tools, false), m_dir.Path(),
                             With(kLossless10, {"--video", "v.mkv", "--jobs", "2", "--segments", "3"}))
                 .Wait();
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(fs::exists(tools / "killed")) << "the job was not killed";
    ExpectSameVideo("one.mkv", "v.mkv", 43, 43 * 4410);

    CTempDir always;
    result = CRunningProgram(KillingFarm(always, true), m_dir.Path(),
                             With(kLossless10, {"--video", "w.mkv", "--jobs", "2", "--segments", "3", "--retries", "2"}))
                 .Wait();
    EXPECT_EQ(result.status, 1) << result.err;
    EXPECT_NE(result.err.find("segment 2 of 3 failed on this machine"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("after 2 tries; no video was made"), std::string::npos) << result.err;
    EXPECT_EQ(Entries(m_dir.Path()), std::vector<std::string>({"Data", "one.mkv", "script.txt", "v.mkv"}));
}

// Whether a process runs with every one of `words` in its command line.
bool ProcessRuns(const std::vector<std::string>& words) {
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string command = ReadFile(entry.path().string() + "/cmdline");
        if (!command.empty() && std::all_of(words.begin(), words.end(), [&](const std::string& word) {
                return command.find(word) != std::string::npos;
            })) {
            return true;
        }
    }
    return false;
}

// The hidden work directory quellbrook-render keeps beside `video`.
std::string WorkDirectory(const std::string& dir, const std::string& video) {
    for (const std::string& name : Entries(dir)) {
        if (name.rfind("." + video + ".farm.", 0) == 0) return name;
    }
    return {};
}

TEST_F(Farm, StopsCleanlyAndRefusesWhatItCannotDo) {
    SProgramRun result = Render({"--help"});
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.out.find("--sshlogin LOGIN"), std::string::npos) << result.out;
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"--frobnicate"}, {"--jobs", "2"}, {"--video", "v.mp4", "--jobs", "none"},
          {"--video", "v.mp4", "--fps", "0"}}) {
        result = Render(bad);
        EXPECT_EQ(result.status, 2) << bad[0] << ": " << result.err;
        EXPECT_NE(result.err.find("usage: quellbrook-render"), std::string::npos) << bad[0] << ": " << result.err;
    }
    EXPECT_NE(Render({"--frobnicate"}).err.find("unknown option '--frobnicate'"), std::string::npos);
    EXPECT_NE(Render({"--video", "v.mp4", "--fps", "0"}).err.find("quellbrook: --fps needs a rate"),
              std::string::npos);

    WriteFile(m_dir / "v.mp4", "mine");
    result = Render({"--video", "v.mp4"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("v.mp4 exists already; --overwrite replaces it"), std::string::npos) << result.err;
    EXPECT_EQ(ReadFile(m_dir / "v.mp4"), "mine");

    // A long run, stopped while its jobs draw.
    for (const int signal : {SIGINT, SIGTERM}) {
        CRunningProgram farm(QB_RENDER_BINARY, m_dir.Path(),
                             {"-C", QB_DEMO_DIR, "--video", "v.mp4", "--overwrite", "--renderer", "cpu", "--jobs",
                              "2", "--end", "60"});
        // The segments' jobs name the work directory.
        std::string work;
        for (int i = 0; i < 1200 && (work.empty() || !ProcessRuns({work, "--start-frame"})); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (work.empty()) work = WorkDirectory(m_dir.Path(), "v.mp4");
        }
        ASSERT_TRUE(ProcessRuns({work, "--start-frame"})) << "no segment started";
        std::this_thread::sleep_for(std::chrono::seconds(1));
        farm.Signal(signal);
        result = farm.Wait();
        EXPECT_EQ(result.status, 128 + signal) << result.err;
        EXPECT_NE(result.err.find("v.mp4 was not made"), std::string::npos) << result.err;
        EXPECT_EQ(ReadFile(m_dir / "v.mp4"), "mine") << "the old video is kept";
        EXPECT_EQ(Entries(m_dir.Path()), std::vector<std::string>({"Data", "script.txt", "v.mp4"}));
        EXPECT_FALSE(ProcessRuns({work})) << "a job is still running";
    }
}

}  // namespace
