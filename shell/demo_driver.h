// The demo driver: starts the music, loads the timeline and the effects,
// then runs the main loop pass by pass for the run that owns the loop, and
// stops the music at the end. Each run (window, author mode, capture,
// benchmark) writes its own loop over these three steps.
#pragma once

#include <cstdint>

// Where the main loop stands between two passes. The clock starts just
// before 0 so that the events at 0 ms have fired when the first frame is drawn.
struct SLoopPosition {
    float clock = -0.01f;
    float step = 0.0f;
};

struct SDemo {
    uint32_t stream = 0;  // the song
    SLoopPosition loop;
    // The Update before the first pass has been made.
    bool begun = false;
    // The timeline has reached its end marker: the loop is over.
    bool ended = false;
    // A stop was asked for (message_pump.h): the pass that saw it drew no
    // layer after the one that asked, and the run is to end.
    bool stopped = false;
};

struct SDemoStart {
    // The music is played with the timer's start; otherwise the run starts
    // it itself (a run that shows a later moment first, author mode).
    bool musicWithTimer = true;
    // Without a sound device the run goes on silently, said once, instead of
    // failing (author mode).
    bool soundOptional = false;
};

// Starts the run: the audio, the song, the timeline, every effect (each
// loading its pictures and buffers), the start-up clear and the timer. False
// when it could not start (audio, timeline); the reason has then been shown
// with ShowMessageBox, and there is nothing to stop.
bool StartDemo(const SDemoStart& start, SDemo* demo);
// Whether the next pass draws a frame: the clock has reached 0.
inline bool DemoPassDraws(const SDemo& demo) { return !demo.ended && demo.loop.clock >= 0.0f; }
// One pass of the main loop (after the Update before the first one, when
// not made yet): the layers, once the clock has reached 0, then the clock's
// step and the events due. True when it drew; sets demo->ended at the
// timeline's end and demo->stopped when a stop was asked for.
bool RunDemoPass(SDemo* demo);
// Stops the music and the timer and releases the audio.
void StopDemo(SDemo* demo);

// The length of a song stream in milliseconds, -1 when it cannot be told.
int64_t SongMilliseconds(uint32_t stream);

// The timeline time in milliseconds for a clock value: the product with 1000
// in extended precision, truncated toward zero.
int32_t ClockToMilliseconds(float clock);
