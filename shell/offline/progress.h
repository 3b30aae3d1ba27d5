// Progress of a long headless run on standard error: one line rewritten in
// place on a terminal, an occasional plain line otherwise (logs, pipes).
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>

class CProgress {
public:
    CProgress(const char* label, FILE* stream);

    // Frames done and the timeline time (seconds) they reached.
    void Update(int64_t frames, float clock);
    // Prints the final state and ends the line.
    void Finish();

private:
    void Print(char end);

    const char* m_label;
    FILE* m_stream;
    bool m_terminal;
    std::chrono::steady_clock::time_point m_lastPrint;
    int64_t m_frames = 0;
    float m_clock = 0.0f;
    bool m_printed = false;
};
