// The fixed frame rate of the offline runs: a whole number of frames per
// second, or a ratio such as the 60000/1001 of broadcast video, kept as a
// ratio so that frame k's time, k * den / num seconds, stays exact.
#pragma once

#include <cstdint>
#include <string>

struct SFrameRate {
    int64_t num = 60;  // frames ...
    int64_t den = 1;   // ... per this many seconds
};

// "60", "60000/1001" or "29.97", from 1 to 1000 frames per second. False
// for anything else.
bool ParseFrameRate(const char* text, SFrameRate* rate);

// "60" or "60000/1001": the form ffmpeg takes.
std::string FrameRateText(const SFrameRate& rate);

double FramesPerSecond(const SFrameRate& rate);

// Sample frames of 44.1 kHz sound that last as long as `frames` frames,
// rounded down.
uint64_t MusicSamplesIn(int64_t frames, const SFrameRate& rate);
