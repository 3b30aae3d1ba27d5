// What keeps the outputs of a capture or video run from being lost: the lock
// on an output, the check of a place before the run, the frames counted
// whole, and the check that a finished video reads back whole.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "shell/offline/output_claim.h"
#include "shell/offline/output_lock.h"
#include "shell/offline/video_check.h"
#include "shell/offline/written_frames.h"
#include "tests/shell/run_program.h"
#include "tests/shell/test_files.h"

namespace {

// Locks of one file conflict within a process as between two, so one
// process can play both runs.
TEST(OutputLock, OneHolderAtATimeAndTheOthersAreToldWhichOne) {
    CTempDir dir;
    const std::string lockFile = dir / ".lock";
    pid_t holder = 0;
    int error = 0;
    {
        COutputLock first;
        ASSERT_EQ(first.Take(lockFile, &holder, &error), ELockResult::kTaken);
        COutputLock second;
        EXPECT_EQ(second.Take(lockFile, &holder, &error), ELockResult::kHeld);
        EXPECT_EQ(holder, getpid());
    }
    EXPECT_EQ(DirectoryNames(dir.Path()), std::vector<std::string>{}) << "the lock file goes with the lock";
    COutputLock again;
    EXPECT_EQ(again.Take(lockFile, &holder, &error), ELockResult::kTaken);

    COutputLock nowhere;
    EXPECT_EQ(nowhere.Take(dir / "no/such/.lock", &holder, &error), ELockResult::kFailed);
    EXPECT_EQ(error, ENOENT);
}

TEST(OutputClaim, PlacesThatCannotTakeTheOutputAreRefusedByTheNamesGiven) {
    CTempDir dir;
    CWorkingDir inside(dir.Path());
    std::filesystem::create_directory("clip.mp4");
    std::string error;
    COutputClaim video;
    EXPECT_FALSE(video.Claim("", "clip.mp4", "--video", &error));
    EXPECT_EQ(error, "clip.mp4 is a directory; --video needs the name of a file");
    EXPECT_FALSE(video.Claim("", "nowhere/v.mp4", "--video", &error));
    EXPECT_EQ(error, "cannot write nowhere/v.mp4: the folder nowhere does not exist");
    WriteFile("./plain", "a file");
    EXPECT_FALSE(video.Claim("", "plain/v.mp4", "--video", &error));
    EXPECT_EQ(error, "cannot write plain/v.mp4: plain is not a folder");
    EXPECT_FALSE(video.Claim("plain", "", "--video", &error));
    EXPECT_EQ(error.rfind("cannot create plain: ", 0), 0u) << error;

    // A capture directory is made, with the folders above it, and the video
    // may go inside it.
    COutputClaim both;
    ASSERT_TRUE(both.Claim("out/run", "out/run/v.mp4", "--video", &error)) << error;
    COutputClaim second;
    EXPECT_FALSE(second.Claim("out/run", "", "--video", &error));
    EXPECT_EQ(error, "out/run is being written by another run (process " + std::to_string(getpid()) +
                         "); wait for it to end or name another directory");
    EXPECT_FALSE(second.Claim("", "out/run/v.mp4", "--video", &error));
    EXPECT_EQ(error, "out/run/v.mp4 is being written by another run (process " + std::to_string(getpid()) +
                         "); wait for it to end or name another file");

    // Root writes anywhere; only others can be shown a read-only folder.
    if (geteuid() != 0) {
        std::filesystem::create_directory("locked");
        std::filesystem::permissions("locked", std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
        COutputClaim locked;
        EXPECT_FALSE(locked.Claim("", "locked/v.mp4", "--video", &error));
        EXPECT_EQ(error, "cannot write locked/v.mp4: Permission denied");
        EXPECT_FALSE(locked.Claim("locked", "", "--video", &error));
        EXPECT_EQ(error, "cannot write in locked: Permission denied");
        std::filesystem::permissions("locked", std::filesystem::perms::owner_all);
    }
}

TEST(WrittenFrames, CountsOnlyTheUnbrokenRunFromTheFirst) {
    CWrittenFrames frames;
    EXPECT_EQ(frames.Whole(), 0);
    for (const int64_t frame : {1, 2, 4}) frames.Done(frame);
    EXPECT_EQ(frames.Whole(), 0) << "frame 0 is not written yet";
    frames.Done(0);
    EXPECT_EQ(frames.Whole(), 3);
    frames.Done(3);
    EXPECT_EQ(frames.Whole(), 5);
}

// As ffmpeg 5.1 words them, with lines around them that tell of no failure.
TEST(VideoCheck, FailedWritesAreFoundInFfmpegsMessages) {
    EXPECT_EQ(FailedWritesIn("frame=  600 fps=0.0\n[libx264 @ 0x55] final ratefactor: 20.1\n"), "");
    EXPECT_EQ(FailedWritesIn("frame=  600\nError writing trailer of .v.12.partial.mp4: No space left on device\n"
                             "[aac @ 0x1] Qavg: 1234\n"),
              "Error writing trailer of .v.12.partial.mp4: No space left on device");
    EXPECT_EQ(FailedWritesIn("av_interleaved_write_frame(): Disk quota exceeded\n"
                             "Error closing file v.mkv: Input/output error"),
              "av_interleaved_write_frame(): Disk quota exceeded\nError closing file v.mkv: Input/output error");
}

// Videos made by the real ffmpeg, whole and broken as a full disk breaks
// them; skipped where it is not installed.
TEST(VideoCheck, OnlyAWholeVideoReadsBackWhole) {
    CTempDir dir;
    if (CRunningProgram("ffmpeg", dir.Path(), {"-version"}).Wait().status != 0) GTEST_SKIP() << "no ffmpeg";
    const auto make = [&](const std::string& name, const std::vector<std::string>& codec) {
        std::vector<std::string> args = {"-v", "error", "-f", "lavfi", "-i", "testsrc=size=64x48:rate=30:duration=2",
                                         "-f", "lavfi", "-i", "sine=duration=2"};
        args.insert(args.end(), codec.begin(), codec.end());
        args.push_back(name);
        return CRunningProgram("ffmpeg", dir.Path(), args).Wait().status == 0;
    };
    ASSERT_TRUE(make("v.mp4", {"-c:v", "libx264", "-c:a", "aac", "-movflags", "+faststart"}));
    ASSERT_TRUE(make("v.mkv", {"-c:v", "ffv1", "-c:a", "flac"}));
    ASSERT_TRUE(make("silent.mkv", {"-map", "0:v", "-c:v", "ffv1"}));
    SMadeVideo made;
    made.frames = 60;
    made.seconds = 2.0;
    std::string error;
    EXPECT_TRUE(VideoReadsBackWhole(dir / "v.mp4", made, &error)) << error;
    EXPECT_TRUE(VideoReadsBackWhole(dir / "v.mkv", made, &error)) << error;
    EXPECT_FALSE(VideoReadsBackWhole(dir / "silent.mkv", made, &error));
    EXPECT_EQ(error, "the video ffmpeg made does not read back whole: it holds no sound");
    made.sound = false;
    EXPECT_TRUE(VideoReadsBackWhole(dir / "silent.mkv", made, &error)) << error;
    made.sound = true;

    made.frames = 90;
    made.seconds = 3.0;
    EXPECT_FALSE(VideoReadsBackWhole(dir / "v.mkv", made, &error));
    EXPECT_EQ(error, "the video ffmpeg made does not read back whole: it holds 60 of the 90 frames");

    // An MP4 whose end was never written has no index ("moov") to read.
    const std::string mp4 = ReadFile(dir / "v.mp4");
    made.frames = 60;
    made.seconds = 2.0;
    WriteFile(dir / "cut.mp4", mp4.substr(0, mp4.size() / 2));
    EXPECT_FALSE(VideoReadsBackWhole(dir / "cut.mp4", made, &error));
    WriteFile(dir / "-no moov.mp4", mp4.substr(mp4.size() / 2));
    EXPECT_FALSE(VideoReadsBackWhole(dir / "-no moov.mp4", made, &error));
    EXPECT_NE(error.find("ffprobe cannot read it: "), std::string::npos) << error;
}

}  // namespace
