#include "shell/interactive_start.h"

#include <chrono>

#include "audio/bass.h"
#include "audio/mp3_stream.h"
#include "render/core/raster_direct3d.h"
#include "shell/shell_globals.h"

namespace {

int64_t SteadyNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

int64_t CStartClock::Read() {
    if (m_live) {
        m_last = m_steps * kCountsPerStep + (SteadyNanoseconds() - m_liveSince) * m_fps * kCountsPerStep / 1000000000;
    } else {
        m_last = m_steps++ * kCountsPerStep;
    }
    return m_last;
}

void CStartClock::GoLive() {
    if (m_live) return;
    // The real time counts on from the latest reading.
    m_steps = m_last / kCountsPerStep;
    m_liveSince = SteadyNanoseconds();
    m_live = true;
}

CInteractiveStart::CInteractiveStart(const SOptions& options)
    : m_start(options.start), m_fps(static_cast<int>(options.fps.num)), m_span(CRunSpan::FromOptions(options)), m_clock(m_fps) {
    if (m_span.First() > 0) g_timer.SetSource(&m_clock);
}

CInteractiveStart::~CInteractiveStart() { g_timer.SetSource(nullptr); }

void CInteractiveStart::StartMusic() {
    m_clock.GoLive();
    // The song stands where a run from 0 would have it now: at the timer's
    // time (BASS_StreamPlay adds what the device holds before it is heard).
    const uint64_t frame = static_cast<uint64_t>(m_clock.Seconds() * kMusicRate);
    BASS_ChannelSetPosition(m_stream, frame * kMusicFrameBytes);
    BASS_StreamPlay(m_stream, FALSE, 0);
}

SDemoHooks CInteractiveStart::Wrap(SDemoHooks inner) {
    if (m_span.First() == 0) return m_span.Wrap(inner, [](bool) {});
    inner.musicHeld = true;
    const auto musicStarted = inner.musicStarted;
    inner.musicStarted = [this, musicStarted](uint32_t stream) {
        m_stream = stream;
        if (musicStarted) musicStarted(stream);
    };
    return m_span.Wrap(
        inner, [](bool hidden) { RasterDeviceSetHidden(g_device, hidden); }, [this] { StartMusic(); });
}
