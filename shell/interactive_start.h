// The interactive run with --start or --end: the timeline before the start
// is simulated at the fixed step of --fps without being shown, then the run
// plays on in real time with the music from the same moment.
#pragma once

#include <cstdint>

#include "shell/command_line.h"
#include "shell/demo_driver.h"
#include "shell/run_span.h"
#include "shell/timer.h"

// The timer's time for such a run: one fixed step per reading while the
// start is simulated (so those passes are those of a run from 0), the real
// time from GoLive on.
class CStartClock : public ICounterSource {
public:
    explicit CStartClock(int fps) : m_fps(fps) {}

    int64_t Frequency() override { return m_fps * kCountsPerStep; }
    int64_t Read() override;
    void GoLive();
    // The latest reading, in seconds.
    double Seconds() const { return static_cast<double>(m_last) / static_cast<double>(m_fps * kCountsPerStep); }

private:
    // Counts per step: a step's reading is then exact, and the real time
    // after it keeps a resolution of well under a microsecond.
    static constexpr int64_t kCountsPerStep = 1000000;

    int64_t m_fps;
    int64_t m_steps = 0;
    int64_t m_last = 0;
    bool m_live = false;
    int64_t m_liveSince = 0;  // steady-clock nanoseconds at GoLive
};

class CInteractiveStart {
public:
    explicit CInteractiveStart(const SOptions& options);
    ~CInteractiveStart();
    CInteractiveStart(const CInteractiveStart&) = delete;
    CInteractiveStart& operator=(const CInteractiveStart&) = delete;

    // The hooks for RunDemo, around the window's own.
    SDemoHooks Wrap(SDemoHooks inner);
    // False, told to the user, when the timeline ended before the start.
    bool CheckReached() const { return m_span.CheckReached(m_start, SFrameRate{m_fps, 1}); }

private:
    void StartMusic();

    double m_start;
    int m_fps;
    CRunSpan m_span;
    CStartClock m_clock;
    uint32_t m_stream = 0;
};
