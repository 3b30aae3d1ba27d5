#include "shell/interactive_run.h"

#include <chrono>

#include "audio/bass.h"
#include "audio/mp3_stream.h"
#include "render/core/raster_device.h"
#include "shell/demo_driver.h"
#include "shell/run_span.h"
#include "shell/shell_globals.h"
#include "shell/window_pump.h"

namespace {

int64_t SteadyNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The timer's time for a run that starts later: one fixed step per reading
// while the start is simulated (so those passes are those of a run from 0),
// the real time from GoLive on.
class CStartClock : public ICounterSource {
public:
    explicit CStartClock(int fps) : m_fps(fps) {}

    int64_t Frequency() override { return m_fps * kCountsPerStep; }
    int64_t Read() override {
        if (m_live) {
            m_last = m_steps * kCountsPerStep +
                     (SteadyNanoseconds() - m_liveSince) * m_fps * kCountsPerStep / 1000000000;
        } else {
            m_last = m_steps++ * kCountsPerStep;
        }
        return m_last;
    }
    void GoLive() {
        // The real time counts on from the latest reading.
        m_steps = m_last / kCountsPerStep;
        m_liveSince = SteadyNanoseconds();
        m_live = true;
    }
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

// The song stands where a run from 0 would have it now: at the timer's time
// (BASS_StreamPlay adds what the device holds before it is heard).
void StartMusicLive(CStartClock* clock, uint32_t stream) {
    clock->GoLive();
    const uint64_t frame = static_cast<uint64_t>(clock->Seconds() * kMusicRate);
    BASS_ChannelSetPosition(stream, frame * kMusicFrameBytes);
    BASS_StreamPlay(stream, FALSE, 0);
}

}  // namespace

int RunInteractive(const SOptions& options, CRasterDevice* device) {
    CRunSpan span = CRunSpan::FromOptions(options);
    const bool later = span.First() > 0;
    CStartClock clock(static_cast<int>(options.fps.num));
    if (later) g_timer.SetSource(&clock);
    CWindowPump pump;
    SetMessagePump(&pump);

    SDemoStart start;
    start.musicWithTimer = !later;
    SDemo demo;
    int status = 1;
    if (StartDemo(start, &demo)) {
        while (!demo.ended && !demo.stopped && !span.Over()) {
            if (DemoPassDraws(demo) && span.EnterPass(device) && later && span.FirstShown()) {
                StartMusicLive(&clock, demo.stream);
            }
            RunDemoPass(&demo);
        }
        StopDemo(&demo);
        if (demo.stopped) {
            status = pump.ExitStatus();
        } else {
            status = span.CheckReached(options) ? 0 : 1;
        }
    }
    SetMessagePump(nullptr);
    g_timer.SetSource(nullptr);
    return status;
}
