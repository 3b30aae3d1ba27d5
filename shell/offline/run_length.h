// How many frames a fixed-step run makes and where its sound starts, found
// without drawing: where a run ends is decided by the timeline's events and
// the clock alone, so the main loop's clock and the effect manager's events
// are stepped on their own, with no effect registered and no device.
#pragma once

#include <cstdint>

#include "shell/command_line.h"

struct SRunLength {
    int64_t frames = 0;  // the frames the run shows
    // The timer's position, in frame periods, when the first of them is
    // drawn: the song is heard from there.
    int64_t firstSteps = 0;
};

// Steps the timeline loaded in g_effectManager (which it leaves at the
// run's end) at options.fps, with --start / --start-frame, --end and
// --frames. False, told to the user, when the timeline ends before the
// first frame to show.
bool MeasureRun(const SOptions& options, SRunLength* length);

// --frame-count: loads script.txt and prints the number of frames on
// standard output. The process exit status.
int RunFrameCount(const SOptions& options);

// Loads script.txt into g_effectManager as a run does; false, told to the
// user, when it cannot be opened.
bool LoadTimeline();
