// Writes 16-bit PCM to a WAV file as it comes; the sizes in the header are
// filled in by Sync and Close.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

class CWavWriter {
public:
    CWavWriter() = default;
    ~CWavWriter();
    CWavWriter(const CWavWriter&) = delete;
    CWavWriter& operator=(const CWavWriter&) = delete;

    bool Open(const std::string& path, int rate, int channels, std::string* error);
    // frames: sample frames (one sample per channel each).
    bool Write(const int16_t* samples, size_t frames, std::string* error);
    // Appends frames of silence.
    bool WriteSilence(size_t frames, std::string* error);
    // Makes the file on disk complete as it stands (header and samples), for
    // a reader while it stays open.
    bool Sync(std::string* error);
    // Cuts the file to `frames` sample frames, or pads it with silence.
    bool SetLength(uint64_t frames, std::string* error);
    bool Close(std::string* error);

    uint64_t FramesWritten() const { return m_frames; }

private:
    bool Fail(const char* what, std::string* error);
    bool WriteHeader();

    FILE* m_file = nullptr;
    std::string m_path;
    int m_rate = 0;
    int m_channels = 0;
    uint64_t m_frames = 0;
};
