// The frame clock: seconds since Start, and the step between ticks.
#pragma once

#include <cstdint>

// Where the timer reads the time. The real one is a monotonic clock; capture
// and tests substitute one that advances by a fixed amount.
class ICounterSource {
public:
    virtual ~ICounterSource() = default;
    virtual int64_t Frequency() = 0;  // counts per second
    virtual int64_t Read() = 0;
};

class CTimer {
public:
    // Uses the monotonic clock unless given another source (not owned).
    explicit CTimer(ICounterSource* source = nullptr);

    void Start();
    void Stop();
    void Tick();
    float GetDelta() const { return m_delta; }

    float Total() const { return m_total; }
    float FramesPerSecond() const { return m_framesPerSecond; }
    bool Running() const { return m_running; }
    void SetSource(ICounterSource* source);

private:
    int64_t ReadCounter();

    ICounterSource* m_source;
    bool m_running = false;
    int64_t m_startCount = 0;
    int64_t m_stopCount = 0;
    int64_t m_frequency = 1000;
    float m_total = 0.0f;
    float m_delta = 0.0f;
    int32_t m_frames = 0;
    float m_rateTime = 0.0f;
    float m_framesPerSecond = 0.0f;
};
