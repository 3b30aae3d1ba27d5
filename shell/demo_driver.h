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
    // The music is not played with the timer: the hooks start it themselves
    // (a run that starts later in the timeline).
    bool musicHeld = false;
    // Runs instead of the main loop, with the loop's own steps below
    // (author mode steers the passes itself).
    std::function<void()> ownLoop;
};

// Where the main loop stands between two passes. The clock starts just
// before 0 so that the events at 0 ms have fired when the first frame is drawn.
struct SLoopPosition {
    float clock = -0.01f;
    float step = 0.0f;
};
// The Update before the first pass; false when the timeline ends at once.
bool BeginMainLoop(const SLoopPosition& position);
// One pass of the main loop (hooks.stopRequested is not asked); false when
// the timeline has reached its end.
bool RunMainLoopPass(SLoopPosition* position, const SDemoHooks& hooks);

// Returns false when the run could not start (audio, timeline); the reason
// has then been shown with ShowMessageBox.
bool RunDemo(const SDemoHooks& hooks = SDemoHooks());

// The length of a song stream in milliseconds, -1 when it cannot be told.
int64_t SongMilliseconds(uint32_t stream);

// The timeline time in milliseconds for a clock value: the product with 1000
// in extended precision, truncated toward zero.
int32_t ClockToMilliseconds(float clock);
