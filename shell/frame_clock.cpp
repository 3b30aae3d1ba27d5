#include "shell/frame_clock.h"

#include <algorithm>

namespace {

constexpr int64_t kMaxSeconds = 86400;

}  // namespace

CFrameClock::CFrameClock(int fps) : m_fps(fps), m_counter(SFrameRate{fps, 1}), m_timer(&m_counter) {
    m_timer.Start();
}

bool CFrameClock::Reach(int64_t frame) {
    if (frame >= kMaxSeconds * m_fps) return false;
    // A pass draws once the clock has reached 0, then steps it.
    while (static_cast<int64_t>(m_milliseconds.size()) <= frame) {
        if (m_loop.clock >= 0.0f) m_milliseconds.push_back(ClockToMilliseconds(m_loop.clock));
        m_loop.step = m_timer.GetDelta();
        m_loop.clock = m_loop.clock + m_loop.step;
        m_timer.Tick();
    }
    return true;
}

int32_t CFrameClock::MillisecondsAt(int64_t frame) {
    if (frame < 0) frame = 0;
    if (!Reach(frame)) return ClockToMilliseconds(static_cast<float>(frame) / m_fps);
    return m_milliseconds[static_cast<size_t>(frame)];
}

int64_t CFrameClock::FirstFrameAt(int32_t milliseconds) {
    if (milliseconds > kMaxSeconds * 1000) return -1;
    // Near where the nominal step puts it, then exactly.
    int64_t frame = std::max<int64_t>(0, static_cast<int64_t>(milliseconds) * m_fps / 1000 + 2);
    while (Reach(frame) && m_milliseconds[static_cast<size_t>(frame)] < milliseconds) frame += m_fps;
    if (!Reach(frame)) return -1;
    const auto first = std::lower_bound(m_milliseconds.begin(), m_milliseconds.end(), milliseconds);
    return first - m_milliseconds.begin();
}
