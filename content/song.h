// The demo's music: an original piece in D minor at a steady 120 beats per
// minute, so one 4/4 bar lasts exactly two seconds and the timeline can
// place its scene changes on bar lines.
//
// Bars (time = 2 s x bar):
//   0-7    intro    pads and a soft arpeggio
//   8-13   build    kick, bass and hats enter; snare roll and riser in 12-13
//   14-39  main     full groove; the theme at 14, the arpeggio alone at 24,
//                   the theme an octave up at 32
//   40-47  break    no drums: pads, long bass notes, the echoing break tune
//   48-55  build    kick back at 50, bass at 52, snare roll and riser 54-55
//   56-75  finale   the theme twice, the second time doubled, then a coda
//   76-79  outro    drums out, the chords wind down
//   80     last hit one D minor chord ringing until the end
#pragma once

#include <vector>

#include "content/mix.h"

constexpr double kSecondsPerBar = 2.0;
constexpr int kLastBar = 80;
// The last chord rings for three and a half seconds after bar 80.
constexpr double kSongSeconds = kLastBar * kSecondsPerBar + 3.5;

// Renders the whole song into a mix, normalised to just under full scale.
CMix RenderSong();
