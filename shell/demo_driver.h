// The demo driver: starts the music, loads the timeline and the effects, and
// runs the main loop until the timeline ends.
#pragma once

#include <cstdint>
#include <functional>

// Lets capture and benchmark watch the run; every member may be empty.
struct SDemoHooks {
    // Right after the music was started, with its stream.
    std::function<void(uint32_t stream)> musicStarted;
    // Around each frame's RenderLayers, with the clock drawn for.
    std::function<void(float clock)> beforeRender;
    std::function<void()> afterRender;
    // Asked after each pass; true ends the loop as the end marker does.
    std::function<bool()> stopRequested;
};

// Returns false when the run could not start (audio, timeline); the reason
// has then been shown with ShowMessageBox.
bool RunDemo(const SDemoHooks& hooks = SDemoHooks());

// The length of a song stream in milliseconds, -1 when it cannot be told.
int64_t SongMilliseconds(uint32_t stream);

// The timeline time in milliseconds for a clock value: the product with 1000
// in extended precision, truncated toward zero.
int32_t ClockToMilliseconds(float clock);
