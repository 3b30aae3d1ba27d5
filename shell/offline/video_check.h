// Whether a video ffmpeg has finished is whole. ffmpeg 5.1 exits with 0 even
// when its last writes failed ("Error writing trailer of ...: No space left
// on device"), leaving a file that does not play or stops early; so its
// messages are read for failed writes and the file is read back.
#pragma once

#include <cstdint>
#include <string>

// The lines of ffmpeg's messages that tell of a failed write, or empty.
std::string FailedWritesIn(const std::string& messages);

// What the run made the video of.
struct SMadeVideo {
    int64_t frames = 0;
    double seconds = 0.0;  // frames / fps
    bool sound = true;
};

// Reads `file` back with ffprobe: one video stream of exactly the frames
// made, lasting as long as they do, and a sound stream as long when the
// video has sound. False, with what is wrong, otherwise.
bool VideoReadsBackWhole(const std::string& file, const SMadeVideo& made, std::string* error);
