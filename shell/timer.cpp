#include "shell/timer.h"

#include <chrono>

namespace {

// The monotonic clock in nanoseconds: immune to wall-clock adjustments.
class CSteadyClockSource : public ICounterSource {
public:
    int64_t Frequency() override { return 1000000000; }
    int64_t Read() override {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        return std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
    }
};

// Function-local so a static CTimer elsewhere can use it during start-up.
ICounterSource* SteadyClock() {
    static CSteadyClockSource source;
    return &source;
}

// A millisecond clock's rate; stands in when a source reports no usable one,
// so a tick never divides by zero.
constexpr int64_t kFallbackFrequency = 1000;

}  // namespace

CTimer::CTimer(ICounterSource* source) : m_source(nullptr) { SetSource(source); }

void CTimer::SetSource(ICounterSource* source) {
    m_source = source ? source : SteadyClock();
    m_frequency = m_source->Frequency();
    if (m_frequency <= 0) m_frequency = kFallbackFrequency;
}

int64_t CTimer::ReadCounter() { return m_source->Read(); }

void CTimer::Start() {
    m_startCount = ReadCounter();
    m_running = true;
    m_rateTime = 0.0f;
    m_frames = 0;
    m_total = 0.0f;
    m_delta = 0.0f;
}

void CTimer::Stop() {
    if (!m_running) return;
    m_stopCount = ReadCounter();
    m_running = false;
}

void CTimer::Tick() {
    // A stopped timer stays frozen at the moment it was stopped.
    const int64_t now = m_running ? ReadCounter() : m_stopCount;
    // Wrapping difference: a counter fed odd readings cannot overflow here.
    const int64_t elapsed =
        static_cast<int64_t>(static_cast<uint64_t>(now) - static_cast<uint64_t>(m_startCount));
    ++m_frames;
    const long double t = static_cast<long double>(elapsed) / static_cast<long double>(m_frequency);
    const long double step = t - m_total;
    m_delta = static_cast<float>(step);
    // The unrounded sum drives the rate test; only the stored total is a float.
    const long double total = m_total + step;
    m_total = static_cast<float>(total);
    const long double sinceRate = total - m_rateTime;
    if (sinceRate > 0.5L) {
        m_framesPerSecond = static_cast<float>(m_frames / sinceRate);
        m_frames = 0;
        m_rateTime = m_total;
    }
}
