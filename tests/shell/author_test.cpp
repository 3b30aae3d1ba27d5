// Author mode's commands driven headless on a real device with the demo's
// pictures: whatever the seeks, pauses, loops and reloads, every frame shown
// must be the very frame a run from 0 shows there, with the music at the
// song time a run from 0 has for it.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "render/core/raster_direct3d.h"
#include "runtime/effect_manager.h"
#include "shell/author_control.h"
#include "shell/effect_table.h"
#include "shell/shell_globals.h"
#include "tests/render/headless_device_fixture.h"
#include "tests/shell/test_files.h"

namespace {

constexpr int kFps = 15;

class CMusicLog : public IAuthorMusic {
public:
    void PlayFrom(double seconds) override {
        playing = true;
        at = seconds;
    }
    void Pause() override { playing = false; }

    bool playing = false;
    double at = -1.0;
};

// A 12 s timeline: feedback and class-wide clocks, the fade, layers that
// come and go, the old zoom's phase turning at 10 s of its own clock.
const std::vector<std::string> kTimeline = {
    "e 0 s i0 sbeginScene", "e 0 s i1 sclearScreen", "e 0 p stestTexture", "e 0 s i30 stestTexture",
    "e 0 s i40 szoomblur",  "e 0 s i500 sfade",      "l 0 f i500 i0 f0",    "l 0 f i500 i1 f1",
    "l 0 f i500 i2 f4",     "e 0 s i511 sendScene",  "e 1000 s i20 soldzoom", "l 3000 h i40",
    "l 7000 s i40",         "l 9000 h i30",          "F 12000"};

class AuthorMode : public HeadlessDeviceTest {
protected:
    void SetUp() override {
        HeadlessDeviceTest::SetUp();
        if (HasFatalFailure()) return;
        std::filesystem::create_directory_symlink(std::string(QB_DEMO_DIR) + "/Data", m_dir / "Data");
        WriteFile(m_dir / "script.txt", Timeline(kTimeline));
    }

    std::string Frame() {
        std::vector<uint8_t> rgba;
        RasterDeviceReadBackBuffer(m_device, &rgba);
        return std::string(rgba.begin(), rgba.end());
    }
    static size_t Hash(const std::string& frame) { return std::hash<std::string>()(frame); }

    // Loads the timeline and starts the run at 0.
    void Load(CAuthorRun* run) {
        std::string error;
        ASSERT_TRUE(g_effectManager.Load("script.txt", 640, 480, &error)) << error;
        RegisterEffects(&g_effectManager);
        m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        g_timer.Start();
        run->Start();
    }

    // Plays on to the timeline's end, keeping each frame and the song time
    // a run from 0 has for it.
    void PlayToEnd(CAuthorRun* run, std::vector<size_t>* frames, std::vector<double>* song) {
        while (run->Advance(true)) {
            song->push_back(run->ShownSongSeconds());
            frames->push_back(Hash(Frame()));
        }
        ASSERT_EQ(frames->size(), 180u);
    }

    CTempDir m_dir;
};

TEST_F(AuthorMode, SeeksPausesLoopsAndReloadsShowTheFramesOfARunFromZero) {
    CWorkingDir here(m_dir.Path());
    std::string error;
    CAuthorRun run(kFps);
    std::vector<size_t> frames;
    std::vector<double> song;
    Load(&run);
    if (HasFatalFailure()) return;
    PlayToEnd(&run, &frames, &song);
    if (HasFatalFailure()) return;
    EXPECT_EQ(song[0], 2.0 / kFps) << "the music starts with the timer";
    EXPECT_GE(run.Checkpoints(), 3u);

    CMusicLog music;
    std::string problem;
    CAuthorControl control(&run, &music, [&](std::string* why, bool* picturesChanged) {
        *picturesChanged = false;
        const bool ok = g_effectManager.Reload("script.txt", &error);
        *why = error;
        return ok;
    });
    // After a seek the music is heard from the song time of the frame shown.
    const auto expectShown = [&](int64_t frame, const char* what, bool seeked = true) {
        ASSERT_EQ(run.Shown(), frame) << what;
        EXPECT_EQ(Hash(Frame()), frames[static_cast<size_t>(frame)]) << what;
        if (seeked && music.playing) {
            EXPECT_DOUBLE_EQ(music.at, song[static_cast<size_t>(frame)]) << what;
        }
    };

    double now = 100.0;
    control.Begin(100, now);
    expectShown(100, "--start");
    EXPECT_TRUE(music.playing);
    control.Command(EAuthorCommand::kBackFar, now);
    expectShown(0, "ten seconds back, clamped at 0");
    control.Command(EAuthorCommand::kForward, now);
    expectShown(15, "one second on");
    control.Command(EAuthorCommand::kForwardFar, now);
    expectShown(165, "ten seconds on, past every checkpoint");
    control.Command(EAuthorCommand::kBack, now);
    expectShown(150, "back by one second, across the 10 s turn of the old zoom");

    // Played on at the fixed step; a late call runs the frames in between
    // without showing them.
    EXPECT_TRUE(control.Update(now + 0.5 / kFps + 1.0 / kFps));
    expectShown(151, "the next frame when due", false);
    EXPECT_TRUE(control.Update(now + 0.5 / kFps + 10.0 / kFps));
    expectShown(160, "caught up", false);
    now += 0.5 / kFps + 10.0 / kFps;

    // Paused: nothing moves, the music stops; a seek shows the new moment.
    control.Command(EAuthorCommand::kTogglePause, now);
    EXPECT_FALSE(music.playing);
    EXPECT_FALSE(control.Update(now + 5.0));
    expectShown(160, "held while paused");
    control.Command(EAuthorCommand::kBack, now);
    expectShown(145, "a seek while paused");
    EXPECT_NE(control.Title().find("00:09.666  frame 145  paused"), std::string::npos) << control.Title();
    control.Command(EAuthorCommand::kTogglePause, now);
    EXPECT_TRUE(music.playing);
    EXPECT_DOUBLE_EQ(music.at, song[145]);

    // A loop over frames 145..160 comes back to its start.
    control.Command(EAuthorCommand::kLoopStart, now);
    control.Command(EAuthorCommand::kForward, now);
    control.Command(EAuthorCommand::kBack, now);
    control.Command(EAuthorCommand::kForward, now);
    expectShown(160, "");
    control.Command(EAuthorCommand::kLoopEnd, now);
    control.Command(EAuthorCommand::kToggleLoop, now);
    EXPECT_TRUE(control.Looping());
    expectShown(160, "inside the loop");
    EXPECT_TRUE(control.Update(now + 1.5 / kFps));
    expectShown(145, "back to the loop's start");
    control.Command(EAuthorCommand::kToggleLoop, now);

    // At the end the last frame is held, paused, with the music stopped.
    control.Command(EAuthorCommand::kForwardFar, now);
    expectShown(179, "past the end: the last frame");
    EXPECT_TRUE(control.Paused());
    EXPECT_FALSE(music.playing);
    EXPECT_NE(control.Title().find("end"), std::string::npos);
    control.Command(EAuthorCommand::kHome, now);
    expectShown(0, "home");
    EXPECT_FALSE(control.Paused());

    // An edited timeline: the same moment, as a run from 0 of it shows it.
    control.Command(EAuthorCommand::kForward, now);
    control.Command(EAuthorCommand::kForward, now);
    expectShown(30, "");
    std::vector<std::string> edited = kTimeline;
    edited[10] = "e 1000 s i20 sflare";
    WriteFile(m_dir / "script.txt", Timeline(edited));
    control.Command(EAuthorCommand::kReload, now);
    ASSERT_EQ(run.Shown(), 30);
    const size_t reloaded = Hash(Frame());
    EXPECT_NE(reloaded, frames[30]);
    control.Command(EAuthorCommand::kHome, now);
    for (int i = 1; i < 30; ++i) run.Advance(false);
    run.Advance(true);
    EXPECT_EQ(Hash(Frame()), reloaded) << "the edited timeline's frame 30 from 0";

    // An edit late in the timeline keeps the checkpoints made before it.
    control.Begin(160, now);
    control.Begin(120, now);
    ASSERT_EQ(run.Shown(), 120);
    ASSERT_EQ(run.Checkpoints(), 3u);  // at 0, 5 and 10 s
    edited[13] = "l 8500 h i30";
    WriteFile(m_dir / "script.txt", Timeline(edited));
    control.Command(EAuthorCommand::kReload, now);
    EXPECT_EQ(run.Checkpoints(), 2u) << "the one at 10 s had fired the edited event";
    const size_t late = Hash(Frame());
    control.Command(EAuthorCommand::kHome, now);
    for (int i = 1; i < 120; ++i) run.Advance(false);
    run.Advance(true);
    EXPECT_EQ(Hash(Frame()), late) << "the edited timeline's frame 120 from 0";
    control.Command(EAuthorCommand::kBack, now);
    control.Command(EAuthorCommand::kForward, now);
    EXPECT_EQ(Hash(Frame()), late);

    // A timeline that cannot be read keeps the one that played.
    std::filesystem::remove(m_dir / "script.txt");
    control.Command(EAuthorCommand::kReload, now);
    EXPECT_FALSE(control.ReloadProblem().empty());
    EXPECT_NE(control.Title().find("reload failed"), std::string::npos) << control.Title();
    control.Command(EAuthorCommand::kBack, now);
    control.Command(EAuthorCommand::kForward, now);
    EXPECT_EQ(Hash(Frame()), late);
}


// Spare time runs ahead without disturbing what is shown; a seek then starts
// from the furthest point reached, or from a checkpoint made on the way.
TEST_F(AuthorMode, LookingAheadLeavesTheFrameShownAndSeeksFromWhereItGot) {
    CWorkingDir here(m_dir.Path());
    CAuthorRun run(kFps);
    Load(&run);
    if (HasFatalFailure()) return;
    CMusicLog music;
    CAuthorControl control(&run, &music, [](std::string*, bool*) { return true; });
    control.Begin(20, 0.0);
    std::map<int64_t, size_t> seen;

    // A frame at a time: it gets as far as 20 frames on, past no checkpoint.
    const size_t at20 = Hash(Frame());
    for (int i = 0; i < 20; ++i) ASSERT_TRUE(run.LookAhead(0.0));
    ASSERT_EQ(run.Shown(), 20);
    EXPECT_EQ(Hash(Frame()), at20) << "the frame shown stays";
    ASSERT_TRUE(run.Advance(true));
    seen[21] = Hash(Frame());  // played on from the state left as it was
    control.Begin(30, 0.0);
    seen[30] = Hash(Frame());
    EXPECT_EQ(run.Checkpoints(), 1u);

    // Then to the end, with a checkpoint every 5 s of it.
    while (run.LookAhead(10.0)) {
    }
    EXPECT_EQ(run.Checkpoints(), 3u);
    EXPECT_EQ(run.Shown(), 30);
    EXPECT_EQ(Hash(Frame()), seen[30]);
    for (const int64_t frame : {170, 76, 179, 149}) {
        control.Begin(frame, 0.0);
        seen[frame] = Hash(Frame());
    }
    EXPECT_FALSE(run.LookAhead(10.0));

    std::vector<size_t> frames;
    std::vector<double> song;
    control.Begin(0, 0.0);
    frames.push_back(Hash(Frame()));
    PlayToEnd(&run, &frames, &song);
    if (HasFatalFailure()) return;
    EXPECT_EQ(frames[20], at20);
    for (const auto& [frame, hash] : seen) EXPECT_EQ(hash, frames[static_cast<size_t>(frame)]) << frame;
}

}  // namespace
