// What ffprobe says of a video's streams, for the tests of --video.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SStream {
    std::string codec;
    std::string rate;
    int64_t frames = -1;
    double duration = -1.0;
};

// ffprobe's view of each stream: frames counted by decoding, the duration
// from the container (Matroska keeps it in a tag). None when ffprobe cannot
// read the file.
std::vector<SStream> ProbeStreams(const std::string& file);
