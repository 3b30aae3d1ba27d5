#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "audio/bass.h"
#include "render/recording_device.h"
#include "resources/report.h"
#include "runtime/effect_manager.h"
#include "runtime/message_pump.h"
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
    SDemo demo;
    ASSERT_TRUE(StartDemo(SDemoStart(), &demo));
    // The effects are registered in their fixed slots when the run starts.
    std::vector<std::string> names;
    for (int slot = 0; slot < g_effectManager.RegisteredCount(); ++slot) {
        names.push_back(g_effectManager.Registered(slot)->name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"clearScreen", "beginScene", "endScene", "fade", "cube1",
                                               "testTexture", "bezier", "zoomblur", "pixBoard", "intro",
                                               "flare", "oldzoom"}));
    // After the effects' own set-up, only the start-up clear, outside any
    // scene.
    const size_t callsAtStart = m_device.calls.size();
    ASSERT_GE(callsAtStart, 1u);
    const SRecordedCall& clear = m_device.calls.back();
    EXPECT_EQ(clear.op, "Clear");
    EXPECT_EQ(clear.object, m_device.BackBuffer());
    EXPECT_EQ(clear.args, (std::vector<int64_t>{0, 1, 0xFF000000, 0}));  // count, flags, colour, stencil
    EXPECT_EQ(clear.z, 1.0f);
    EXPECT_TRUE(g_timer.Running());

    // The Update before the first pass meets the end: nothing is drawn.
    EXPECT_FALSE(RunDemoPass(&demo));
    EXPECT_TRUE(demo.ended);
    EXPECT_EQ(m_device.calls.size(), callsAtStart);
    StopDemo(&demo);
    EXPECT_TRUE(g_messages.empty());
    EXPECT_FALSE(g_timer.Running());
    // Freed at the end: the library starts again.
    EXPECT_NE(BASS_Init(-1, 44100, 32, nullptr), 0);
}

TEST_F(DemoDriver, RunsUntilTheEndLineWithOneClockStepPerFrame) {
    WriteSong();
    WriteScript(SceneTimeline({"F 1000"}));
    SDemo demo;
    ASSERT_TRUE(StartDemo(SDemoStart(), &demo));
    EXPECT_NE(demo.stream, 0u);
    const size_t callsAtStart = m_device.calls.size();
    std::vector<float> clocks;
    while (!demo.ended) {
        const float clock = demo.loop.clock;
        const bool draws = DemoPassDraws(demo);
        EXPECT_EQ(RunDemoPass(&demo), draws);
        if (draws) clocks.push_back(clock);
    }
    StopDemo(&demo);

    const int64_t frames = FramesBeforeEndLine(60, 1000);
    EXPECT_EQ(frames, 60);
    EXPECT_EQ(static_cast<int64_t>(m_device.Count("Present")), frames);
    EXPECT_EQ(static_cast<int64_t>(m_device.Count("BeginScene")), frames);
    ASSERT_EQ(static_cast<int64_t>(clocks.size()), frames);
    // The first frame is the first clock at or past 0; the events at 0 ms
    // had fired by then (the frame is bracketed by BeginScene and Present).
    EXPECT_GE(clocks.front(), 0.0f);
    EXPECT_LT(clocks.front() - 1.0f / 60, 0.0f);
    ASSERT_GT(m_device.calls.size(), callsAtStart);
    EXPECT_EQ(m_device.calls[callsAtStart].op, "BeginScene");
    for (size_t i = 1; i < clocks.size(); ++i) EXPECT_NEAR(clocks[i] - clocks[i - 1], 1.0f / 60, 1e-5f);
    EXPECT_LT(ClockToMilliseconds(clocks.back()), 1000);
    EXPECT_GE(ClockToMilliseconds(clocks.back() + 1.0f / 60), 1000);
}

// A stop asked for between layers (a key, a signal) ends the pass there:
// the frame is neither finished nor presented, and the run stops as asked.
TEST_F(DemoDriver, StopRequestEndsThePassAndTheRun) {
    WriteSong();
    WriteScript(SceneTimeline({"F 100000"}));
    class CStopAtFifthScene : public IMessagePump {
    public:
        explicit CStopAtFifthScene(const CRecordingDevice& device) : m_device(device) {}
        void Pump() override {}
        bool StopRequested() override { return m_device.Count("BeginScene") >= 5; }

    private:
        const CRecordingDevice& m_device;
    } pump(m_device);
    SetMessagePump(&pump);
    SDemo demo;
    ASSERT_TRUE(StartDemo(SDemoStart(), &demo));
    while (!demo.ended && !demo.stopped) RunDemoPass(&demo);
    StopDemo(&demo);
    SetMessagePump(nullptr);
    EXPECT_TRUE(demo.stopped);
    EXPECT_FALSE(demo.ended);
    EXPECT_EQ(m_device.Count("BeginScene"), 5u);
    EXPECT_EQ(m_device.Count("Present"), 4u) << "the fifth frame stopped after its first layer";
    EXPECT_FALSE(g_timer.Running());
    EXPECT_NE(BASS_Init(-1, 44100, 32, nullptr), 0) << "the audio was freed";
}

TEST_F(DemoDriver, MissingSongStopsBeforeTheTimelineAndKeepsTheLibrary) {
    WriteScript(SceneTimeline({"F 1000"}));
    SDemo demo;
    EXPECT_FALSE(StartDemo(SDemoStart(), &demo));
    EXPECT_EQ(g_messages, (std::vector<std::string>{"Sound Error|Unable to load song"}));
    EXPECT_TRUE(m_device.calls.empty());
    EXPECT_EQ(BASS_Init(-1, 44100, 32, nullptr), 0) << "still initialised on this road";

    BASS_Free();
    WriteFile(m_dir / "Data/song.mp3", "not music at all, just words");
    g_messages.clear();
    EXPECT_FALSE(StartDemo(SDemoStart(), &demo));
    EXPECT_EQ(g_messages, (std::vector<std::string>{"Sound Error|Unable to load song"}));
}

TEST_F(DemoDriver, AudioThatCannotStartShowsItsMessageUnlessSoundIsOptional) {
    WriteSong();
    WriteScript(SceneTimeline({"F 1000"}));
    BassUseNoSoundOutput(false);
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    SDemo demo;
    EXPECT_FALSE(StartDemo(SDemoStart(), &demo));
    EXPECT_EQ(g_messages, (std::vector<std::string>{"Sound Error|Unable to initialize bass"}));
    EXPECT_TRUE(m_device.calls.empty());

    // Author mode plays on silently, after opening the device once.
    g_messages.clear();
    SDemoStart silent;
    silent.soundOptional = true;
    EXPECT_TRUE(StartDemo(silent, &demo));
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    EXPECT_TRUE(g_messages.empty());
    StopDemo(&demo);
}

TEST_F(DemoDriver, MissingTimelineEndsTheRunWithAMessage) {
    WriteSong();
    SDemo demo;
    EXPECT_FALSE(StartDemo(SDemoStart(), &demo));
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
