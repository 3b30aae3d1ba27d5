// A counter that advances one frame period at every reading. With the timer
// reading it once at Start and once per Tick, every pass of the main loop
// gets exactly the same step, so a run is repeatable. The counter runs at
// `num` counts a second and a frame is `den` counts, so the timer's total
// after k ticks is k * den / num worked out anew from whole numbers, never
// a sum of rounded steps.
#pragma once

#include <cstdint>

#include "shell/frame_rate.h"
#include "shell/timer.h"

class CFixedCounter : public ICounterSource {
public:
    explicit CFixedCounter(const SFrameRate& rate) : m_rate(rate) {}

    int64_t Frequency() override { return m_rate.num; }
    int64_t Read() override {
        m_last = m_next;
        m_next += m_rate.den;
        return m_last;
    }
    // Frame periods since the first reading (the timer's Start) at the
    // latest reading.
    int64_t Steps() const { return m_last / m_rate.den; }

private:
    SFrameRate m_rate;
    int64_t m_next = 0;
    int64_t m_last = 0;
};
