// The program's outputs under the faults a user meets: a disk that fills,
// an ffmpeg that reports success for a broken video, two runs into one
// place, a place that cannot take the output. Whatever happens, the run's
// status tells the truth and nothing made before is lost.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/png_file.h"
#include "tests/shell/run_program.h"
#include "tests/shell/test_files.h"
#include "tests/shell/video_probe.h"

namespace {

namespace fs = std::filesystem;

// A moving picture, so that frames and videos have sizes worth filling a
// disk with, for as long as any run here lasts.
std::string CubeTimeline() {
    return Timeline({"e 0 s i0 sbeginScene", "e 0 s i1 sclearScreen", "e 0 s i2 scube1", "e 0 s i3 sendScene",
                     "F 100000"});
}

size_t WavBytes(int frames) { return 44 + static_cast<size_t>(frames) * 735 * 4; }

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Any name a run leaves while it works: hidden frames, sounds, videos, locks.
std::vector<std::string> HiddenNames(const std::string& dir) {
    std::vector<std::string> hidden;
    for (const std::string& name : DirectoryNames(dir)) {
        if (name[0] == '.') hidden.push_back(name);
    }
    return hidden;
}

// The ffmpeg a fake one runs on to: the first in PATH.
class OutputFaults : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(WriteToneMp3(m_dir / "Data/song.mp3", 44100, 2, 3.0));
        WriteFile(m_dir / "script.txt", CubeTimeline());
        static const std::string problem = HeadlessRenderingProblem(m_dir.Path());
        if (!problem.empty()) GTEST_SKIP() << "no headless OpenGL 3.3 here: " << problem;
    }

    SProgramRun Run(const std::vector<std::string>& args, const ProgramEnv& env = {}) {
        // A run that hangs is ended and shows as killed.
        return RunQuellbrook(m_dir.Path(), args, env, {SIGKILL, 240, 0});
    }

    CTempDir m_dir;
};

class VideoFaults : public OutputFaults {
protected:
    void SetUp() override {
        m_ffmpeg = ProgramPath("ffmpeg");
        if (m_ffmpeg.empty()) GTEST_SKIP() << "ffmpeg is not installed";
        OutputFaults::SetUp();
    }

    std::string m_ffmpeg;
};

// ffmpeg 5.1 when the disk fills as it writes the video's end: it says so,
// exits with 0 and leaves a file without its index.
TEST_F(VideoFaults, AFailedLastWriteReplacesNothing) {
    const std::string path = FakeProgram(m_dir, "ffmpeg",
                                         "for out; do :; done\n"
                                         "cat >/dev/null\n"
                                         "printf 'ftypisom....mdat' >\"$out\"\n"
                                         "echo \"Error writing trailer of $out: No space left on device\" >&2\n"
                                         "exit 0\n");
    WriteFile(m_dir / "clip.mp4", "the earlier video");
    const SProgramRun run = Run({"--video", "clip.mp4", "--frames", "30", "--overwrite"}, {{"PATH", path.c_str()}});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_TRUE(Contains(run.err, "ffmpeg could not write the video; clip.mp4 is left as it was:\nError writing "
                                  "trailer of .clip."))
        << run.err;
    EXPECT_TRUE(Contains(run.err, "No space left on device")) << run.err;
    EXPECT_FALSE(Contains(run.err, "written to clip.mp4")) << run.err;
    EXPECT_EQ(ReadFile(m_dir / "clip.mp4"), "the earlier video");
    EXPECT_EQ(DirectoryNames(m_dir.Path()), (std::vector<std::string>{"Data", "bin", "clip.mp4", "script.txt"}));
}

// An ffmpeg that says nothing and exits with 0, but whose video stops short
// of the frames it was given (as a Matroska file does on a full disk).
TEST_F(VideoFaults, AVideoShortOfItsFramesReplacesNothing) {
    const std::string path = FakeProgram(m_dir, "ffmpeg",
                                         "for out; do :; done\n"
                                         "'" + m_ffmpeg + "' \"$@\" || exit\n"
                                         "'" + m_ffmpeg + "' -v error -i \"$out\" -map 0 -c copy -frames:v 20 "
                                         "\"$out.cut.mkv\" && mv \"$out.cut.mkv\" \"$out\"\n");
    WriteFile(m_dir / "v.mkv", "the earlier video");
    const SProgramRun run = Run({"--video", "v.mkv", "--video-codec", "lossless", "--frames", "30", "--overwrite"},
                                {{"PATH", path.c_str()}});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_TRUE(Contains(run.err, "the video ffmpeg made does not read back whole: it holds 20 of the 30 frames; "
                                  "v.mkv is left as it was"))
        << run.err;
    EXPECT_EQ(ReadFile(m_dir / "v.mkv"), "the earlier video");
    EXPECT_EQ(HiddenNames(m_dir.Path()), std::vector<std::string>{});
}

// Two runs started together into one video: one is refused at once, naming
// the other, which makes the video whole.
TEST_F(VideoFaults, TwoRunsIntoOneVideoOneIsRefused) {
    const std::vector<std::string> args = {"--video", "clip.mp4", "--frames", "60", "--overwrite"};
    CRunningProgram first(QuellbrookBinary(), m_dir.Path(), args);
    CRunningProgram second(QuellbrookBinary(), m_dir.Path(), args);
    const pid_t pids[2] = {first.Pid(), second.Pid()};
    const SProgramRun runs[2] = {first.Wait({SIGKILL, 240, 0}), second.Wait({SIGKILL, 240, 0})};
    const int winner = runs[0].status == 0 ? 0 : 1;
    const SProgramRun& refused = runs[1 - winner];
    ASSERT_EQ(runs[winner].status, 0) << runs[winner].err;
    EXPECT_EQ(refused.status, 1) << refused.err;
    EXPECT_TRUE(Contains(refused.err, "quellbrook: clip.mp4 is being written by another run (process " +
                                          std::to_string(pids[winner]) + ")"))
        << refused.err;
    EXPECT_FALSE(Contains(refused.err, "capture")) << "refused before it rendered\n" << refused.err;
    const std::vector<SStream> streams = ProbeStreams(m_dir / "clip.mp4");
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_EQ(streams[0].frames, 60);
    EXPECT_EQ(DirectoryNames(m_dir.Path()), (std::vector<std::string>{"Data", "clip.mp4", "script.txt"}));
}

// A video in place of a directory, or in a folder that is not there, is
// refused before anything is rendered, --overwrite or not.
TEST_F(OutputFaults, APlaceThatCannotTakeTheVideoIsRefusedBeforeTheRun) {
    WriteFile(m_dir / "clip.mp4/mine.txt", "kept");
    SProgramRun run = Run({"--video", "clip.mp4", "--frames", "600", "--overwrite"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Contains(run.err, "quellbrook: clip.mp4 is a directory; --video needs the name of a file\n"))
        << run.err;
    EXPECT_FALSE(Contains(run.err, "capture")) << "nothing rendered\n" << run.err;
    EXPECT_EQ(ReadFile(m_dir / "clip.mp4/mine.txt"), "kept");

    run = Run({"--capture", "frames", "--video", "nowhere/clip.mp4"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Contains(run.err, "quellbrook: cannot write nowhere/clip.mp4: the folder nowhere does not exist\n"))
        << run.err;
    EXPECT_FALSE(fs::exists(m_dir / "nowhere"));

    // An ffmpeg without the ffprobe that checks its videos.
    FakeProgram(m_dir, "ffmpeg", "exit 0\n");
    const std::string onlyFfmpeg = m_dir / "bin";
    run = Run({"--video", "v.mp4"}, {{"PATH", onlyFfmpeg.c_str()}});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Contains(run.err, "quellbrook: --video needs ffprobe to check the video it makes")) << run.err;
}

// A second capture into a directory while the first runs, with --overwrite
// too: refused at once, and the first capture is whole.
TEST_F(OutputFaults, ASecondCaptureIntoOneDirectoryIsRefused) {
    CRunningProgram first(QuellbrookBinary(), m_dir.Path(), {"--capture", "o", "--frames", "90"});
    const pid_t firstPid = first.Pid();
    for (int i = 0; i < 24000 && !fs::exists(m_dir / "o/000005.png"); ++i) usleep(10000);
    const SProgramRun second = Run({"--capture", "o", "--frames", "10", "--overwrite"});
    const SProgramRun run = first.Wait({SIGKILL, 240, 0});
    EXPECT_EQ(second.status, 1) << second.err;
    EXPECT_TRUE(Contains(second.err, "quellbrook: o is being written by another run (process " +
                                         std::to_string(firstPid) +
                                         "); wait for it to end or name another directory"))
        << second.err;
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<std::string> frames = PngNames(m_dir / "o");
    ASSERT_EQ(frames.size(), 90u);
    EXPECT_EQ(frames.back(), "000089.png");
    EXPECT_EQ(ReadFile(m_dir / "o/audio.wav").size(), WavBytes(90));
    EXPECT_EQ(HiddenNames(m_dir / "o"), std::vector<std::string>{});

    // Started together, one of two is refused.
    CRunningProgram a(QuellbrookBinary(), m_dir.Path(), {"--capture", "p", "--frames", "30"});
    CRunningProgram b(QuellbrookBinary(), m_dir.Path(), {"--capture", "p", "--frames", "30"});
    const SProgramRun together[2] = {a.Wait({SIGKILL, 240, 0}), b.Wait({SIGKILL, 240, 0})};
    EXPECT_EQ(together[0].status + together[1].status, 1) << together[0].err << together[1].err;
    EXPECT_EQ(PngNames(m_dir / "p").size(), 30u);
}

// A disk that fills while the frames are written (the writes to the frames
// fail with ENOSPC after so many bytes): the run fails with the system's
// reason, and what it leaves is a capture, only shorter: whole frames from
// the first, and an audio.wav exactly as long as they are.
TEST_F(OutputFaults, AFullDiskDuringACaptureLeavesOnlyWholeFrames) {
    ASSERT_EQ(Run({"--capture", "whole", "--frames", "40"}).status, 0);
    uint64_t limit = 0;
    for (int frame = 0; frame < 12; ++frame) limit += fs::file_size(m_dir / ("whole/" + PngNames(m_dir / "whole")[frame]));
    limit += fs::file_size(m_dir / "whole/000012.png") / 2;
    const std::string limitText = std::to_string(limit);
    static const std::string asan = [] {
        const char* given = std::getenv("ASAN_OPTIONS");
        return std::string(given ? given : "") + (given && *given ? ":" : "") + "verify_asan_link_order=0";
    }();
    const SProgramRun run = Run({"--capture", "full", "--frames", "40"}, {{"LD_PRELOAD", QB_FULL_DISK_SHIM},
                                                                         {"QB_FULL_DISK_BYTES", limitText.c_str()},
                                                                         {"QB_FULL_DISK_MATCH", ".partial.png"},
                                                                         {"ASAN_OPTIONS", asan.c_str()}});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_TRUE(Contains(run.err, ".png: No space left on device\n")) << run.err;
    const std::vector<std::string> frames = PngNames(m_dir / "full");
    ASSERT_FALSE(frames.empty());
    ASSERT_LE(frames.size(), 12u);
    EXPECT_TRUE(Contains(run.err, "capture: stopped after " + std::to_string(frames.size()) + " frames")) << run.err;
    for (size_t k = 0; k < frames.size(); ++k) {
        EXPECT_EQ(frames[k], PngNames(m_dir / "whole")[k]) << "no frame missing before the last";
        EXPECT_EQ(ReadFile(m_dir / ("full/" + frames[k])), ReadFile(m_dir / ("whole/" + frames[k]))) << frames[k];
    }
    const std::string wav = ReadFile(m_dir / "full/audio.wav");
    ASSERT_EQ(wav.size(), WavBytes(static_cast<int>(frames.size())));
    EXPECT_EQ(wav.substr(44), ReadFile(m_dir / "whole/audio.wav").substr(44, wav.size() - 44));
    EXPECT_EQ(HiddenNames(m_dir / "full"), std::vector<std::string>{});
}

// A real full disk: a small file system of its own (a tmpfs in a mount
// namespace of the run's own), where one is allowed. The disk is filled to
// leave a little less than the video and its sound need, by amounts that
// make ffmpeg fail in its last writes, where it still exits with 0. The
// video made again is the same bytes, so whatever the run says, the file
// must be the earlier one, and no partial file may be left.
TEST_F(VideoFaults, ARealFullDiskKeepsTheEarlierVideo) {
    WriteFile(m_dir / "fill.sh",
              "set -u\n"
              "M=$PWD/mnt Q=$1\n"
              "mkdir -p \"$M\" && mount -t tmpfs -o size=20m none \"$M\" || exit 99\n"
              "\"$Q\" --video \"$M/good.mp4\" --frames 300 2>/dev/null || exit 98\n"
              "cp \"$M/good.mp4\" before.mp4\n"
              "need=$(( $(stat -c %s \"$M/good.mp4\") + " + std::to_string(WavBytes(300)) + " ))\n"
              "for slack in 4096 32768 98304 196608; do\n"
              "  avail=$(df --output=avail -B1 \"$M\" | tail -n 1)\n"
              "  fallocate -l $((avail - need + slack)) \"$M/filler\" || exit 97\n"
              "  \"$Q\" --video \"$M/good.mp4\" --frames 300 --overwrite 2>err-$slack.txt\n"
              "  echo \"$slack $? $(cmp -s \"$M/good.mp4\" before.mp4 && echo same || echo changed)\" >>runs.txt\n"
              "  rm -f \"$M/filler\"\n"
              "  ls -A \"$M\" >>left.txt\n"
              "done\n");
    SProgramRun run;
    for (const std::vector<std::string>& unshare : {std::vector<std::string>{"-m"}, {"-Urm"}}) {
        std::vector<std::string> args = unshare;
        args.insert(args.end(), {"sh", "fill.sh", QuellbrookBinary()});
        run = CRunningProgram("unshare", m_dir.Path(), args).Wait({SIGKILL, 480, 0});
        if (run.status != 99 && run.status != 1) break;
    }
    if (run.status == 99 || run.status == 1 || !run.exited) GTEST_SKIP() << "no tmpfs can be mounted here: " << run.err;
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string runs = ReadFile(m_dir / "runs.txt");
    EXPECT_FALSE(Contains(runs, "changed")) << runs;
    EXPECT_EQ(ReadFile(m_dir / "left.txt"), "good.mp4\ngood.mp4\ngood.mp4\ngood.mp4\n");
    for (const char* slack : {"4096", "32768", "98304", "196608"}) {
        const std::string err = ReadFile(m_dir / (std::string("err-") + slack + ".txt"));
        if (!Contains(runs, std::string(slack) + " 0 ")) {
            EXPECT_TRUE(Contains(err, "No space left on device")) << err;
        }
    }
}

}  // namespace
