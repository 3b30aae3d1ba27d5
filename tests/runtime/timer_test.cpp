#include <gtest/gtest.h>

#include "shell/timer.h"

namespace {

// A counter the test advances by hand.
class CFedCounter : public ICounterSource {
public:
    explicit CFedCounter(int64_t frequency) : frequency(frequency) {}
    int64_t Frequency() override { return frequency; }
    int64_t Read() override {
        ++reads;
        return now;
    }

    int64_t frequency;
    int64_t now = 0;
    int reads = 0;
};

TEST(TimerTest, DeltaAndTotalFollowTheCounter) {
    CFedCounter counter(1000);
    counter.now = 5000;  // the counter's origin is arbitrary
    CTimer timer(&counter);
    EXPECT_FALSE(timer.Running());
    timer.Start();
    EXPECT_TRUE(timer.Running());
    EXPECT_EQ(timer.GetDelta(), 0.0f);

    counter.now += 40;
    timer.Tick();
    EXPECT_FLOAT_EQ(timer.GetDelta(), 0.04f);  // the first delta is the total
    EXPECT_FLOAT_EQ(timer.Total(), 0.04f);

    counter.now += 10;
    timer.Tick();
    EXPECT_FLOAT_EQ(timer.GetDelta(), 0.01f);
    EXPECT_FLOAT_EQ(timer.Total(), 0.05f);

    // No time passed. t keeps full precision, so only the rounding of the
    // stored float total can show.
    timer.Tick();
    EXPECT_NEAR(timer.GetDelta(), 0.0f, 1e-8f);
    EXPECT_FLOAT_EQ(timer.Total(), 0.05f);

    // Start resets the clock.
    counter.now += 1000;
    timer.Start();
    EXPECT_EQ(timer.Total(), 0.0f);
    EXPECT_EQ(timer.GetDelta(), 0.0f);
    counter.now += 250;
    timer.Tick();
    EXPECT_FLOAT_EQ(timer.Total(), 0.25f);
    EXPECT_FLOAT_EQ(timer.GetDelta(), 0.25f);
}

TEST(TimerTest, OneReadingPerTickAndNanosecondSources) {
    CFedCounter counter(1000000000);
    CTimer timer(&counter);
    timer.Start();
    const int before = counter.reads;
    counter.now = 16666667;
    timer.Tick();
    EXPECT_EQ(counter.reads, before + 1);
    EXPECT_FLOAT_EQ(timer.Total(), 0.016666667f);

    // Hours in: the total comes from the 64-bit counts, not from summed steps.
    counter.now = int64_t{3600} * 1000000000 + 16666667;
    timer.Tick();
    EXPECT_FLOAT_EQ(timer.Total(), 3600.0166f);
}

TEST(TimerTest, StopFreezesTheClock) {
    CFedCounter counter(1000);
    CTimer timer(&counter);
    timer.Stop();  // not running: nothing happens
    EXPECT_FALSE(timer.Running());

    // Binary fractions of a second, so a frozen clock's delta is exactly 0.
    timer.Start();
    counter.now = 125;
    timer.Tick();
    counter.now = 250;
    timer.Stop();
    EXPECT_FALSE(timer.Running());
    counter.now = 900;
    timer.Tick();  // the rest up to the stop moment
    EXPECT_EQ(timer.GetDelta(), 0.125f);
    EXPECT_EQ(timer.Total(), 0.25f);
    timer.Tick();
    EXPECT_EQ(timer.GetDelta(), 0.0f);
    EXPECT_EQ(timer.Total(), 0.25f);

    // A second Stop keeps the first stop moment.
    timer.Stop();
    timer.Tick();
    EXPECT_EQ(timer.Total(), 0.25f);
}

TEST(TimerTest, FramesPerSecondOverHalfSecondWindows) {
    CFedCounter counter(1000);
    CTimer timer(&counter);
    timer.Start();
    // Ticks every 10 ms: not at 0.5 s exactly, first on the 51st tick.
    for (int tick = 1; tick <= 50; ++tick) {
        counter.now += 10;
        timer.Tick();
    }
    EXPECT_EQ(timer.FramesPerSecond(), 0.0f);
    counter.now += 10;
    timer.Tick();
    EXPECT_FLOAT_EQ(timer.FramesPerSecond(), 51.0f / 0.51f);

    // The next window counts from there.
    for (int tick = 1; tick <= 50; ++tick) {
        counter.now += 10;
        timer.Tick();
    }
    EXPECT_FLOAT_EQ(timer.FramesPerSecond(), 100.0f);
    counter.now += 400;
    timer.Tick();
    EXPECT_FLOAT_EQ(timer.FramesPerSecond(), 100.0f);  // window not yet over
}

TEST(TimerTest, UnusableFrequencyFallsBackToMilliseconds) {
    CFedCounter counter(0);
    CTimer timer(&counter);
    timer.Start();
    counter.now = 20;
    timer.Tick();
    EXPECT_FLOAT_EQ(timer.Total(), 0.02f);
}

TEST(TimerTest, DefaultClockIsMonotonic) {
    CTimer timer;
    timer.Start();
    timer.Tick();
    const float first = timer.Total();
    timer.Tick();
    EXPECT_GE(timer.Total(), first);
    EXPECT_GE(timer.GetDelta(), 0.0f);
}

}  // namespace
