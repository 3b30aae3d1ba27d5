// A counter that advances by one count, a 1/rate-second step, at every
// reading. With the timer reading it once at Start and once per Tick, every
// pass of the main loop gets exactly the same step, so a run is repeatable.
#pragma once

#include <cstdint>

#include "shell/timer.h"

class CFixedCounter : public ICounterSource {
public:
    explicit CFixedCounter(int64_t rate) : m_rate(rate) {}

    int64_t Frequency() override { return m_rate; }
    int64_t Read() override {
        m_last = m_next++;
        return m_last;
    }
    // The latest reading: steps since the first reading (the timer's Start).
    int64_t Last() const { return m_last; }

private:
    int64_t m_rate;
    int64_t m_next = 0;
    int64_t m_last = 0;
};
