// A video made by ffmpeg while the run renders: raw frames go down a pipe,
// the music comes from a WAV file written before the first frame. The video
// is written under a hidden name beside FILE and takes FILE's name only
// once ffmpeg has finished it and it reads back whole, so a failed or cut
// run never leaves a file that looks complete nor replaces a good one.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "shell/command_line.h"
#include "shell/frame_rate.h"

struct SVideoSettings {
    std::string file;  // the video's final name
    EVideoCodec codec = EVideoCodec::kH264;
    SFrameRate rate;
    int width = 0;
    int height = 0;
    std::string audio;  // the WAV file, as long as the frames or longer; empty: no sound
};

// FILE as given, or with .mp4 (.mkv for lossless) when it has no extension.
std::string VideoFileName(const std::string& file, EVideoCodec codec);

// ffmpeg's arguments for the settings, writing `output`.
std::vector<std::string> FfmpegArguments(const SVideoSettings& settings, const std::string& output);

class CVideoEncoder {
public:
    CVideoEncoder() = default;
    // A video not finished is abandoned: ffmpeg is stopped, its file removed.
    ~CVideoEncoder();
    CVideoEncoder(const CVideoEncoder&) = delete;
    CVideoEncoder& operator=(const CVideoEncoder&) = delete;

    // Starts ffmpeg. False, with the reason in *error, when it cannot run.
    bool Start(const SVideoSettings& settings, std::string* error);
    // One frame: width * height BGRA8 pixels, rows top first. Blocks while
    // ffmpeg is busy.
    bool WriteFrame(const uint8_t* bgra, std::string* error);
    // Ends the input, waits for ffmpeg and gives the video its name. False,
    // with ffmpeg's last lines in *error, when ffmpeg failed, said that a
    // write failed, or made a video that does not read back whole; FILE is
    // then left as it was.
    bool Finish(std::string* error);

private:
    // What ffmpeg said, for when it fails; its last lines are what matter.
    void CollectMessages(int fd);
    bool Wait(std::string* error);
    std::string LastLines();
    void Abandon();

    SVideoSettings m_settings;
    std::string m_partial;  // the hidden name, with FILE's extension for ffmpeg's container
    int64_t m_framesWritten = 0;
    pid_t m_child = -1;
    int m_frames = -1;  // the pipe ffmpeg reads frames from
    std::thread m_reader;
    std::mutex m_mutex;
    std::string m_messages;
};
