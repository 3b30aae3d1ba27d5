// The timeline time each frame of a fixed-step run is drawn at, worked out
// with the same float steps the driver and the timer take, so that "the
// first frame at which an event has fired" is exact, not a rounded guess.
#pragma once

#include <cstdint>
#include <vector>

#include "shell/demo_driver.h"
#include "shell/offline/fixed_counter.h"
#include "shell/timer.h"

class CFrameClock {
public:
    explicit CFrameClock(int fps);
    CFrameClock(const CFrameClock&) = delete;
    CFrameClock& operator=(const CFrameClock&) = delete;

    // The milliseconds the events have reached when frame `frame` is drawn:
    // those at or before them have fired.
    int32_t MillisecondsAt(int64_t frame);
    // The first frame drawn once the events at `milliseconds` have fired;
    // -1 when that is further than a day of frames away.
    int64_t FirstFrameAt(int32_t milliseconds);

private:
    // Works out the frames up to and including `frame`.
    bool Reach(int64_t frame);

    int m_fps;
    // The passes of RunDemoPass so far, over a timer on the fixed counter.
    CFixedCounter m_counter;
    CTimer m_timer;
    SLoopPosition m_loop;
    std::vector<int32_t> m_milliseconds;  // by frame
};
