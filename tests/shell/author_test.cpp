// Author mode's commands driven headless on a real device with the demo's
// pictures: whatever the seeks, pauses, loops and reloads, every frame shown
// must be the very frame a run from 0 shows there, with the music at the
// song time a run from 0 has for it.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "effects/effect_table.h"
#include "runtime/effect_manager.h"
#include "shell/author_control.h"
#include "shell/shell_globals.h"
#include "tests/render/backend_device_fixture.h"
#include "tests/shell/test_files.h"

namespace {

constexpr int kFps = 15;

class CMusicLog : public IAuthorMusic {
public:
    void PlayFrom(double seconds) override {
        playing = true;
        at = seconds;
        since = -1.0;
    }
    void Pause() override { playing = false; }
    // A device that takes the song at `rate` of the wall clock's pace from
    // the moment it was asked to play; none while `rate` is 0.
    bool Heard(double now, double* seconds) override {
        if (!playing || rate <= 0.0) return false;
        if (since < 0.0) since = now;
        *seconds = at + (now - since) * rate;
        return true;
    }

    bool playing = false;
    double at = -1.0;
    double rate = 0.0;
    double since = -1.0;
};

// A 12 s timeline: feedback and class-wide clocks, the fade, layers that
// come and go, the old zoom's phase turning at 10 s of its own clock.
const std::vector<std::string> kTimeline = {
    "e 0 s i0 sbeginScene", "e 0 s i1 sclearScreen", "e 0 p stestTexture", "e 0 s i30 stestTexture",
    "e 0 s i40 szoomblur",  "e 0 s i500 sfade",      "l 0 f i500 i0 f0",    "l 0 f i500 i1 f1",
    "l 0 f i500 i2 f4",     "e 0 s i511 sendScene",  "e 1000 s i20 soldzoom", "l 3000 h i40",
    "l 7000 s i40",         "l 9000 h i30",          "F 12000"};

// Each case plays the timeline from 0 first, keeping every frame and the song
// time a run from 0 has for it, then drives the commands from there.
class AuthorMode : public BackendDeviceTest {
protected:
    void SetUp() override {
        BackendDeviceTest::SetUp();
        if (HasFatalFailure()) return;
        std::filesystem::create_directory_symlink(std::string(QB_DEMO_DIR) + "/Data", m_dir / "Data");
        WriteFile(m_dir / "script.txt", Timeline(kTimeline));
        m_here = std::make_unique<CWorkingDir>(m_dir.Path());
        m_run = std::make_unique<CAuthorRun>(kFps, m_device);
        std::string error;
        ASSERT_TRUE(g_effectManager.Load("script.txt", 640, 480, &error)) << error;
        RegisterEffects(&g_effectManager);
        m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        g_timer.Start();
        m_run->Start(SDemo());
        m_timeline = std::make_unique<CTimelineReloader>("script.txt", TimelineEffects(), -1);
        m_timeline->Start();
        m_control = std::make_unique<CAuthorControl>(m_run.get(), &m_music, [this] { return m_timeline->Reload(); });
    }
    void TearDown() override {
        m_control.reset();
        m_timeline.reset();
        m_run.reset();
        m_here.reset();
        BackendDeviceTest::TearDown();
    }

    size_t Frame() {
        const std::vector<uint8_t> rgba = ReadBack();
        return std::hash<std::string>()(std::string(rgba.begin(), rgba.end()));
    }

    // Plays on to the timeline's end, keeping each frame and its song time.
    void PlayToEnd(std::vector<size_t>* frames, std::vector<double>* song) {
        while (m_run->Advance(true)) {
            song->push_back(m_run->ShownSongSeconds());
            frames->push_back(Frame());
        }
        ASSERT_EQ(frames->size(), 180u);
    }
    void PlayReference() {
        PlayToEnd(&m_frames, &m_song);
        if (HasFatalFailure()) return;
        EXPECT_EQ(m_song[0], 2.0 / kFps) << "the music starts with the timer";
        EXPECT_GE(m_run->Checkpoints(), 3u);
    }

    // The frame shown is the run from 0's; after a seek the music is heard
    // from the song time of the frame shown.
    void ExpectShown(int64_t frame, const char* what, bool seeked = true) {
        ASSERT_EQ(m_run->Shown(), frame) << what;
        EXPECT_EQ(Frame(), m_frames[static_cast<size_t>(frame)]) << what;
        if (seeked && m_music.playing) {
            EXPECT_DOUBLE_EQ(m_music.at, m_song[static_cast<size_t>(frame)]) << what;
        }
    }
    void Do(EAuthorCommand command) { m_control->Command(command, m_now); }

    CTempDir m_dir;
    std::unique_ptr<CWorkingDir> m_here;
    std::unique_ptr<CAuthorRun> m_run;
    std::unique_ptr<CTimelineReloader> m_timeline;
    CMusicLog m_music;
    std::unique_ptr<CAuthorControl> m_control;
    std::vector<size_t> m_frames;
    std::vector<double> m_song;
    double m_now = 100.0;
};

TEST_P(AuthorMode, SeeksShowTheFramesOfARunFromZero) {
    PlayReference();
    if (HasFatalFailure()) return;
    m_control->Begin(100, m_now);
    ExpectShown(100, "--start");
    EXPECT_TRUE(m_music.playing);
    Do(EAuthorCommand::kBackFar);
    ExpectShown(0, "ten seconds back, clamped at 0");
    Do(EAuthorCommand::kForward);
    ExpectShown(15, "one second on");
    Do(EAuthorCommand::kForwardFar);
    ExpectShown(165, "ten seconds on, past every checkpoint");
    Do(EAuthorCommand::kBack);
    ExpectShown(150, "back by one second, across the 10 s turn of the old zoom");
    Do(EAuthorCommand::kHome);
    ExpectShown(0, "home");
}

TEST_P(AuthorMode, PlayingPausingLoopingAndTheEnd) {
    PlayReference();
    if (HasFatalFailure()) return;
    m_control->Begin(150, m_now);
    // Played on at the fixed step; a late call runs the frames in between
    // without showing them.
    EXPECT_TRUE(m_control->Update(m_now + 0.5 / kFps + 1.0 / kFps));
    ExpectShown(151, "the next frame when due", false);
    EXPECT_TRUE(m_control->Update(m_now + 0.5 / kFps + 10.0 / kFps));
    ExpectShown(160, "caught up", false);
    m_now += 0.5 / kFps + 10.0 / kFps;

    // Paused: nothing moves, the music stops; a seek shows the new moment.
    Do(EAuthorCommand::kTogglePause);
    EXPECT_FALSE(m_music.playing);
    EXPECT_FALSE(m_control->Update(m_now + 5.0));
    ExpectShown(160, "held while paused");
    Do(EAuthorCommand::kBack);
    ExpectShown(145, "a seek while paused");
    EXPECT_NE(m_control->Title().find("00:09.666  frame 145  paused"), std::string::npos) << m_control->Title();
    Do(EAuthorCommand::kTogglePause);
    EXPECT_TRUE(m_music.playing);
    EXPECT_DOUBLE_EQ(m_music.at, m_song[145]);

    // A loop over frames 145..160 comes back to its start.
    Do(EAuthorCommand::kLoopStart);
    Do(EAuthorCommand::kForward);
    Do(EAuthorCommand::kBack);
    Do(EAuthorCommand::kForward);
    ExpectShown(160, "");
    Do(EAuthorCommand::kLoopEnd);
    Do(EAuthorCommand::kToggleLoop);
    EXPECT_TRUE(m_control->Looping());
    ExpectShown(160, "inside the loop");
    EXPECT_TRUE(m_control->Update(m_now + 1.5 / kFps));
    ExpectShown(145, "back to the loop's start");
    Do(EAuthorCommand::kToggleLoop);

    // At the end the last frame is held, paused, with the music stopped.
    Do(EAuthorCommand::kForwardFar);
    ExpectShown(179, "past the end: the last frame");
    EXPECT_TRUE(m_control->Paused());
    EXPECT_FALSE(m_music.playing);
    EXPECT_NE(m_control->Title().find("end"), std::string::npos);
    Do(EAuthorCommand::kHome);
    ExpectShown(0, "home");
    EXPECT_FALSE(m_control->Paused());
}

// An edited timeline shows the same moment as a run from 0 of it shows it;
// checkpoints before the edit are kept; one that cannot be read keeps the
// timeline that played.
TEST_P(AuthorMode, ReloadsShowTheEditedTimelineAtTheSameMoment) {
    PlayReference();
    if (HasFatalFailure()) return;
    m_control->Begin(30, m_now);
    std::vector<std::string> edited = kTimeline;
    edited[10] = "e 1000 s i20 sflare";
    WriteFile(m_dir / "script.txt", Timeline(edited));
    Do(EAuthorCommand::kReload);
    ASSERT_EQ(m_run->Shown(), 30);
    const size_t reloaded = Frame();
    EXPECT_NE(reloaded, m_frames[30]);
    Do(EAuthorCommand::kHome);
    for (int i = 1; i < 30; ++i) m_run->Advance(false);
    m_run->Advance(true);
    EXPECT_EQ(Frame(), reloaded) << "the edited timeline's frame 30 from 0";

    m_control->Begin(160, m_now);
    m_control->Begin(120, m_now);
    ASSERT_EQ(m_run->Shown(), 120);
    ASSERT_EQ(m_run->Checkpoints(), 3u);  // at 0, 5 and 10 s
    edited[13] = "l 8500 h i30";
    WriteFile(m_dir / "script.txt", Timeline(edited));
    Do(EAuthorCommand::kReload);
    EXPECT_EQ(m_run->Checkpoints(), 2u) << "the one at 10 s had fired the edited event";
    const size_t late = Frame();
    Do(EAuthorCommand::kHome);
    for (int i = 1; i < 120; ++i) m_run->Advance(false);
    m_run->Advance(true);
    EXPECT_EQ(Frame(), late) << "the edited timeline's frame 120 from 0";
    Do(EAuthorCommand::kBack);
    Do(EAuthorCommand::kForward);
    EXPECT_EQ(Frame(), late);

    std::filesystem::remove(m_dir / "script.txt");
    Do(EAuthorCommand::kReload);
    ASSERT_FALSE(m_control->Problems().empty());
    EXPECT_EQ(m_control->Problems().front(), "script.txt: cannot open the timeline: No such file or directory");
    EXPECT_NE(m_control->Title().find("cannot open the timeline"), std::string::npos) << m_control->Title();
    Do(EAuthorCommand::kBack);
    Do(EAuthorCommand::kForward);
    EXPECT_EQ(Frame(), late);
}

// What editors do while saving: truncate first, write in two parts, save
// with LF line ends, leave a stray "%". A save that would show nothing keeps
// the timeline that played and its place; one that ends earlier holds its
// end and goes back once a save reaches the moment again; each says why.
TEST_P(AuthorMode, ReloadsKeepTheLastGoodTimelineAndTheMomentAskedFor) {
    PlayReference();
    if (HasFatalFailure()) return;
    m_control->Begin(120, m_now);
    const std::string script = m_dir / "script.txt";
    auto expectHeld = [&](const char* what, const std::string& problem) {
        ExpectShown(120, what, false);
        EXPECT_TRUE(m_music.playing) << what;
        EXPECT_FALSE(m_control->Paused()) << what;
        ASSERT_FALSE(m_control->Problems().empty()) << what;
        EXPECT_NE(m_control->Problems().front().find(problem), std::string::npos) << m_control->Problems().front();
        EXPECT_NE(m_control->Title().find(problem), std::string::npos) << m_control->Title();
        // Still the timeline that played: on from here as a run from 0.
        EXPECT_TRUE(m_control->Update(m_now + 1.5 / kFps));
        ExpectShown(121, what, false);
        m_control->SeekToSeconds(8.0, m_now);
    };

    WriteFile(script, "");
    Do(EAuthorCommand::kReload);
    expectHeld("an empty save", "script.txt: no timeline lines in it");
    EXPECT_EQ(m_control->Problems().size(), 2u) << "the reason, then that the old timeline goes on";

    // The first part of a save in two: it ends at 3 s, before the moment.
    std::vector<std::string> firstPart(kTimeline.begin(), kTimeline.begin() + 12);
    WriteFile(script, Timeline(firstPart));
    Do(EAuthorCommand::kReload);
    EXPECT_EQ(m_control->Awaited(), 120);
    EXPECT_TRUE(m_run->Ended());
    EXPECT_LT(m_run->Shown(), 120);
    EXPECT_NE(m_control->Title().find("held: the timeline now ends before 00:08.000"), std::string::npos)
        << m_control->Title();
    EXPECT_TRUE(m_control->Problems().front().find("script.txt: no end") == 0) << m_control->Problems().front();
    WriteFile(script, Timeline(kTimeline));
    Do(EAuthorCommand::kReload);
    ExpectShown(120, "the second part: back at the moment", false);
    EXPECT_EQ(m_control->Awaited(), -1);
    EXPECT_TRUE(m_control->Problems().empty()) << "a good save clears them";
    EXPECT_FALSE(m_control->Paused());

    // Bare LF line ends cut the last letter of every name: nothing is shown.
    std::string lf;
    for (const std::string& line : kTimeline) lf += line + "\n";
    WriteFile(script, lf);
    Do(EAuthorCommand::kReload);
    expectHeld("an all-LF save", "no frame will be shown");
    EXPECT_GT(m_control->Problems().size(), 10u) << "every line that loses a letter is listed";

    // A stray "%" ends the timeline at 7 s; then the good file again.
    std::vector<std::string> stray = kTimeline;
    stray.insert(stray.begin() + 13, "garbage 100% here");
    WriteFile(script, Timeline(stray));
    Do(EAuthorCommand::kReload);
    EXPECT_EQ(m_control->Awaited(), 120);
    EXPECT_TRUE(m_run->Ended());
    ASSERT_FALSE(m_control->Problems().empty());
    EXPECT_NE(m_control->Problems().front().find("script.txt:14: a \"%\" here ends the timeline"), std::string::npos)
        << m_control->Problems().front();
    // A seek of the user's own forgets the moment a reload waits for.
    Do(EAuthorCommand::kHome);
    EXPECT_EQ(m_control->Awaited(), -1);
    Do(EAuthorCommand::kForwardFar);
    Do(EAuthorCommand::kReload);
    WriteFile(script, Timeline(kTimeline));
    Do(EAuthorCommand::kReload);
    EXPECT_LT(m_run->Shown(), 120) << "back where the user went, not to the old moment";
    m_control->Begin(120, m_now);
    ExpectShown(120, "the good file again");
}

// Frame and event steps land exactly; slowed or muted, the music stops and
// the wall clock paces; with the music, the device's pace does.
TEST_P(AuthorMode, StepsSpeedsMuteAndPacingByTheMusic) {
    PlayReference();
    if (HasFatalFailure()) return;
    m_control->Begin(30, m_now);
    Do(EAuthorCommand::kFrameForward);
    ExpectShown(31, "a frame on");
    EXPECT_TRUE(m_control->Paused()) << "frame steps pause";
    Do(EAuthorCommand::kFrameBack);
    Do(EAuthorCommand::kFrameBack);
    ExpectShown(29, "two frames back");
    // Events fire at 0, 1 s, 3 s, 7 s, 9 s: frame 45 is the first drawn at
    // or after 3 s (frame k is drawn at (k + 1) / 15 - 0.01 s).
    Do(EAuthorCommand::kNextEvent);
    ExpectShown(45, "the next event");
    EXPECT_EQ(m_control->ShownMilliseconds(), 3056);
    EXPECT_EQ(m_control->MillisecondsAt(44), 2990);
    Do(EAuthorCommand::kPreviousEvent);
    ExpectShown(15, "the event before");
    Do(EAuthorCommand::kPreviousEvent);
    ExpectShown(0, "the first moment");
    Do(EAuthorCommand::kPreviousEvent);
    ExpectShown(0, "nothing before it");
    m_control->Begin(130, m_now);
    Do(EAuthorCommand::kNextEvent);
    ExpectShown(135, "the last event, at 9 s");
    Do(EAuthorCommand::kNextEvent);
    ExpectShown(135, "none after it");

    Do(EAuthorCommand::kTogglePause);
    m_control->Begin(30, m_now);
    ASSERT_FALSE(m_control->Paused());
    Do(EAuthorCommand::kSlower);
    EXPECT_EQ(m_control->Speed(), 0.5);
    EXPECT_FALSE(m_music.playing) << "slowed is muted";
    EXPECT_NE(m_control->Title().find("1/2 speed  muted"), std::string::npos) << m_control->Title();
    Do(EAuthorCommand::kSlower);
    Do(EAuthorCommand::kSlower);
    EXPECT_EQ(m_control->Speed(), 0.25);
    m_control->Update(m_now + 2.0);
    ExpectShown(37, "2 s at a quarter of the speed", false);
    Do(EAuthorCommand::kFaster);
    Do(EAuthorCommand::kFaster);
    EXPECT_EQ(m_control->Speed(), 1.0);
    EXPECT_TRUE(m_music.playing);
    Do(EAuthorCommand::kToggleMute);
    EXPECT_FALSE(m_music.playing);
    EXPECT_NE(m_control->Title().find("muted"), std::string::npos);
    Do(EAuthorCommand::kToggleMute);
    EXPECT_TRUE(m_music.playing);

    // A device slower than the wall clock: the picture keeps to what it
    // has taken, not to the wall clock (which would be 10 frames ahead).
    m_music.rate = 0.9;
    m_control->Begin(30, m_now);
    const double song = m_song[30];
    for (int step = 0; step <= 400; ++step) m_control->Update(m_now + step / 60.0);
    const double heard = song + 400 / 60.0 * 0.9;
    EXPECT_LE(m_run->ShownSongSeconds(), heard);
    EXPECT_GT(m_run->ShownSongSeconds(), heard - 1.0 / kFps);
}

// Spare time runs ahead without disturbing what is shown; a seek then starts
// from the furthest point reached, or from a checkpoint made on the way.
TEST_P(AuthorMode, LookingAheadLeavesTheFrameShownAndSeeksFromWhereItGot) {
    m_control->Begin(20, 0.0);
    std::map<int64_t, size_t> seen;

    // A frame at a time: it gets as far as 20 frames on, past no checkpoint.
    const size_t at20 = Frame();
    for (int i = 0; i < 20; ++i) ASSERT_TRUE(m_run->LookAhead(0.0));
    ASSERT_EQ(m_run->Shown(), 20);
    EXPECT_EQ(Frame(), at20) << "the frame shown stays";
    ASSERT_TRUE(m_run->Advance(true));
    seen[21] = Frame();  // played on from the state left as it was
    m_control->Begin(30, 0.0);
    seen[30] = Frame();
    EXPECT_EQ(m_run->Checkpoints(), 1u);

    // Then to the end, with a checkpoint every 5 s of it.
    while (m_run->LookAhead(10.0)) {
    }
    EXPECT_EQ(m_run->Checkpoints(), 3u);
    EXPECT_EQ(m_run->Shown(), 30);
    EXPECT_EQ(Frame(), seen[30]);
    for (const int64_t frame : {170, 76, 179, 149}) {
        m_control->Begin(frame, 0.0);
        seen[frame] = Frame();
    }
    EXPECT_FALSE(m_run->LookAhead(10.0));

    std::vector<size_t> frames;
    std::vector<double> song;
    m_control->Begin(0, 0.0);
    frames.push_back(Frame());
    PlayToEnd(&frames, &song);
    if (HasFatalFailure()) return;
    EXPECT_EQ(frames[20], at20);
    for (const auto& [frame, hash] : seen) EXPECT_EQ(hash, frames[static_cast<size_t>(frame)]) << frame;
}

INSTANTIATE_TEST_SUITE_P(Backends, AuthorMode, ::testing::Values(ETestBackend::kGL, ETestBackend::kCpu),
                         TestBackendName);

}  // namespace
