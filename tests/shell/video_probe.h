// What ffprobe and ffmpeg say about a video the program made: its streams,
// its decoded frames and its sound.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SStream {
    std::string codec;
    std::string rate;
    int64_t frames = -1;
    double duration = -1.0;
    int width = 0;  // of a video stream
    int height = 0;
};

// ffprobe's view of each stream: frames counted by decoding, the duration
// from the container (Matroska keeps it in a tag).
std::vector<SStream> ProbeStreams(const std::string& file);

// The video's sound as 44.1 kHz 16-bit stereo.
std::string DecodeSound(const std::string& file);

// One line per decoded frame of the first video stream (ffmpeg's framemd5:
// timestamps, size and the picture's MD5); empty when it cannot be read.
std::vector<std::string> FrameHashes(const std::string& file);

// The presentation time of every frame of the first video stream, in seconds.
std::vector<double> FrameTimes(const std::string& file);
