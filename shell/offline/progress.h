// Progress of a long headless run on standard error: one line rewritten in
// place on a terminal, an occasional plain line otherwise (logs, pipes),
// with the frames per second and, where the end is known, the time left.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>

class CProgress {
public:
    CProgress(const char* label, FILE* stream);

    // The timeline time (seconds) at which the run will end, for the time
    // left; unknown until set.
    void SetEnd(double clock) { m_endClock = clock; }
    // What the line starts with, e.g. once the renderer is known.
    void SetLabel(std::string label) { m_label = std::move(label); }
    // Frames done and the timeline time (seconds) they reached.
    void Update(int64_t frames, float clock);
    // Prints the final state and ends the line.
    void Finish();

    // "frame F, timeline T s, X fps (R x real time), M:SS left"
    std::string Line() const;

private:
    void Print();

    std::string m_label;
    FILE* m_stream;
    bool m_terminal;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_lastPrint;
    double m_endClock = -1.0;
    int64_t m_frames = 0;
    float m_firstClock = 0.0f;
    float m_clock = 0.0f;
    bool m_printed = false;
};
