#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "audio/bass.h"
#include "render/recording_device.h"
#include "resources/report.h"
#include "runtime/effect_manager.h"
#include "shell/demo_driver.h"
#include "shell/offline/fixed_counter.h"
#include "shell/shell_globals.h"
#include "tests/shell/loop_model.h"
#include "tests/shell/test_files.h"

namespace {

std::vector<std::string> g_messages;

void RecordMessage(const char* caption, const char* text) {
    g_messages.push_back(std::string(caption) + "|" + text);
}

// A run in a scratch working directory with its own song and timeline, on the
// recording device, without sound, at a fixed 60 steps a second.
class DemoDriver : public ::testing::Test {
protected:
    DemoDriver() : m_cwd(m_dir.Path()), m_counter(SFrameRate{60, 1}) {}

    void SetUp() override {
        g_messages.clear();
        SetMessageBoxHook(RecordMessage);
        BassUseNoSoundOutput(true);
        g_timer.SetSource(&m_counter);
        g_device = &m_device;
    }
    void TearDown() override {
        g_device = nullptr;
        g_timer.SetSource(nullptr);
        BASS_Free();
        BassUseNoSoundOutput(false);
        SetMessageBoxHook(nullptr);
    }

    void WriteSong() { ASSERT_TRUE(WriteToneMp3(m_dir / "Data/song.mp3", 44100, 2, 0.5)); }
    void WriteScript(const std::string& text) { WriteFile(m_dir / "script.txt", text); }

    CTempDir m_dir;
    CWorkingDir m_cwd;
    CFixedCounter m_counter;
    CRecordingDevice m_device;
};

TEST_F(DemoDriver, TimelineOfOnlyTheEndByteDrawsNothingAndReleasesTheAudio) {
    WriteSong();
    WriteScript("%");
    // The effects live while the run does; by the time the music starts they
    // are registered in their fixed slots.
    std::vector<std::string> names;
    size_t callsBeforeMusic = 0;
    SDemoHooks hooks;
    hooks.musicStarted = [&](uint32_t) {
        for (int slot = 0; slot < g_effectManager.RegisteredCount(); ++slot) {
            names.push_back(g_effectManager.Registered(slot)->name);
        }
        callsBeforeMusic = m_device.calls.size();
    };
    EXPECT_TRUE(RunDemo(hooks));
    EXPECT_EQ(names, (std::vector<std::string>{"clearScreen", "beginScene", "endScene", "fade", "cube1",
                                               "testTexture", "bezier", "zoomblur", "pixBoard", "intro",
                                               "flare", "oldzoom"}));
    // After the effects' own set-up, only the start-up clear, outside any
    // scene; nothing is drawn once the music starts.
    ASSERT_GE(callsBeforeMusic, 1u);
    ASSERT_EQ(m_device.calls.size(), callsBeforeMusic);
    const SRecordedCall& clear = m_device.calls.back();
    EXPECT_EQ(clear.op, "Clear");
    EXPECT_EQ(clear.object, m_device.BackBuffer());
    EXPECT_EQ(clear.args, (std::vector<int64_t>{0, 1, 0xFF000000, 0}));  // count, flags, colour, stencil
    EXPECT_EQ(clear.z, 1.0f);
    EXPECT_TRUE(g_messages.empty());
    EXPECT_FALSE(g_timer.Running());
    // Freed at the end: the library starts again.
    EXPECT_NE(BASS_Init(-1, 44100, 32, nullptr), 0);
}

TEST_F(DemoDriver, RunsUntilTheEndLineWithOneClockStepPerFrame) {
    WriteSong();
    WriteScript(SceneTimeline({"F 1000"}));
    std::vector<float> clocks;
    uint32_t stream = 0;
    SDemoHooks hooks;
    size_t callsBeforeMusic = 0;
    hooks.musicStarted = [&](uint32_t started) {
        stream = started;
        callsBeforeMusic = m_device.calls.size();
    };
    hooks.beforeRender = [&](float clock) { clocks.push_back(clock); };
    EXPECT_TRUE(RunDemo(hooks));
    EXPECT_NE(stream, 0u);

    const int64_t frames = FramesBeforeEndLine(60, 1000);
    EXPECT_EQ(frames, 60);
    EXPECT_EQ(static_cast<int64_t>(m_device.Count("Present")), frames);
    EXPECT_EQ(static_cast<int64_t>(m_device.Count("BeginScene")), frames);
    ASSERT_EQ(static_cast<int64_t>(clocks.size()), frames);
    // The first frame is the first clock at or past 0; the events at 0 ms
    // had fired by then (the frame is bracketed by BeginScene and Present).
    EXPECT_GE(clocks.front(), 0.0f);
    EXPECT_LT(clocks.front() - 1.0f / 60, 0.0f);
    ASSERT_GT(m_device.calls.size(), callsBeforeMusic);
    EXPECT_EQ(m_device.calls[callsBeforeMusic].op, "BeginScene");
    for (size_t i = 1; i < clocks.size(); ++i) EXPECT_NEAR(clocks[i] - clocks[i - 1], 1.0f / 60, 1e-5f);
    EXPECT_LT(ClockToMilliseconds(clocks.back()), 1000);
    EXPECT_GE(ClockToMilliseconds(clocks.back() + 1.0f / 60), 1000);
}

TEST_F(DemoDriver, StopRequestEndsTheRunLikeTheEndMarker) {
    WriteSong();
    WriteScript(SceneTimeline({"F 100000"}));
    SDemoHooks hooks;
    hooks.stopRequested = [&] { return m_device.Count("Present") >= 5; };
    EXPECT_TRUE(RunDemo(hooks));
    EXPECT_EQ(m_device.Count("Present"), 5u);
    EXPECT_FALSE(g_timer.Running());
    EXPECT_NE(BASS_Init(-1, 44100, 32, nullptr), 0) << "the audio was freed";
}

TEST_F(DemoDriver, MissingSongStopsBeforeTheTimelineAndKeepsTheLibrary) {
    WriteScript(SceneTimeline({"F 1000"}));
    EXPECT_FALSE(RunDemo());
    EXPECT_EQ(g_messages, (std::vector<std::string>{"Sound Error|Unable to load song"}));
    EXPECT_TRUE(m_device.calls.empty());
    EXPECT_EQ(BASS_Init(-1, 44100, 32, nullptr), 0) << "still initialised on this road";

    BASS_Free();
    WriteFile(m_dir / "Data/song.mp3", "not music at all, just words");
    g_messages.clear();
    EXPECT_FALSE(RunDemo());
    EXPECT_EQ(g_messages, (std::vector<std::string>{"Sound Error|Unable to load song"}));
}

TEST_F(DemoDriver, AudioThatCannotStartShowsItsMessage) {
    WriteSong();
    WriteScript(SceneTimeline({"F 1000"}));
    BassUseNoSoundOutput(false);
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    EXPECT_FALSE(RunDemo());
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    EXPECT_EQ(g_messages, (std::vector<std::string>{"Sound Error|Unable to initialize bass"}));
    EXPECT_TRUE(m_device.calls.empty());
}

TEST_F(DemoDriver, MissingTimelineEndsTheRunWithAMessage) {
    WriteSong();
    EXPECT_FALSE(RunDemo());
    ASSERT_EQ(g_messages.size(), 1u);
    EXPECT_EQ(g_messages[0].rfind("Timeline Error|", 0), 0u);
    EXPECT_NE(g_messages[0].find("script.txt"), std::string::npos);
    EXPECT_TRUE(m_device.calls.empty());
    EXPECT_NE(BASS_Init(-1, 44100, 32, nullptr), 0) << "the audio was released";
}

// At a ratio such as 60000/1001 the timer's total after k ticks is
// k * 1001 / 60000 worked out afresh, not a sum of rounded steps.
TEST(FixedCounter, RationalRatesKeepEveryTicksTotalExact) {
    CFixedCounter counter(SFrameRate{60000, 1001});
    CTimer timer(&counter);
    timer.Start();
    for (int64_t tick = 1; tick <= 200000; ++tick) {
        timer.Tick();
        if (tick % 997 != 0 && tick != 200000) continue;
        ASSERT_EQ(timer.Total(), static_cast<float>(static_cast<long double>(tick) * 1001 / 60000)) << tick;
        ASSERT_EQ(counter.Steps(), tick);
    }
}

TEST(ClockToMilliseconds, TruncatesTowardZeroInExtendedPrecision) {
    EXPECT_EQ(ClockToMilliseconds(-0.01f), -9);  // -9.99999977...
    EXPECT_EQ(ClockToMilliseconds(-0.0009f), 0);
    EXPECT_EQ(ClockToMilliseconds(0.0009f), 0);
    EXPECT_EQ(ClockToMilliseconds(0.001f), 1);   // 1.0000000475
    EXPECT_EQ(ClockToMilliseconds(0.009f), 8);   // 8.9999996...
    EXPECT_EQ(ClockToMilliseconds(1e9f), INT32_MAX);
    EXPECT_EQ(ClockToMilliseconds(-1e9f), INT32_MIN);
}

}  // namespace
