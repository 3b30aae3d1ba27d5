// The number of frames the main loop draws, worked out from its rules rather
// than taken from the program: the clock starts at -0.01 (32-bit float),
// each pass renders when clock >= 0, then adds the timer's last delta, then
// the timer ticks (one 1/fps step), then the end line fires once the clock,
// times 1000 and truncated, reaches its time.
#pragma once

#include <cstdint>

inline int64_t FramesBeforeEndLine(int fps, int endMs) {
    const auto milliseconds = [](float clock) { return static_cast<int32_t>(static_cast<long double>(clock) * 1000); };
    float clock = -0.01f;
    float total = 0.0f;  // the timer's
    float delta = 0.0f;
    int64_t ticks = 0;
    int64_t frames = 0;
    if (milliseconds(clock) >= endMs) return 0;
    for (;;) {
        if (clock >= 0.0f) ++frames;
        clock = clock + delta;
        ++ticks;
        const long double now = static_cast<long double>(ticks) / fps;
        delta = static_cast<float>(now - total);
        total = static_cast<float>(total + (now - total));
        if (milliseconds(clock) >= endMs) return frames;
    }
}
