// An MP3 file decoded on demand to the one format the program plays and
// writes: 44.1 kHz, signed 16-bit, interleaved stereo. Files in another rate
// or in mono are converted by the decoder, so every consumer sees one format.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct mpg123_handle_struct;

constexpr int kMusicRate = 44100;
constexpr int kMusicChannels = 2;
constexpr int kMusicFrameBytes = kMusicChannels * 2;

class CMp3Stream {
public:
    CMp3Stream() = default;
    ~CMp3Stream();
    CMp3Stream(const CMp3Stream&) = delete;
    CMp3Stream& operator=(const CMp3Stream&) = delete;

    // False, with a reason in *error, when the file cannot be opened or holds
    // no decodable audio. Decodes at most the first frame.
    bool Open(const char* path, std::string* error);

    // Decodes up to `frames` stereo frames into `samples` (2 per frame) and
    // returns how many were written. Fewer than asked only at the end of the
    // music; a decoding error midway also ends it (see Failed).
    size_t Read(int16_t* samples, size_t frames);

    // Stereo frames in the whole song, 0 when it cannot be told. Reads
    // through the file once; call before decoding.
    uint64_t Length();

    bool Ended() const { return m_ended; }
    bool Failed() const { return !m_failure.empty(); }
    const std::string& Failure() const { return m_failure; }
    // Goes to stereo frame `frame` of the music, so that the next Read starts
    // there (past the end it gives nothing). False when the decoder cannot.
    bool Seek(uint64_t frame);

    // Stereo frames handed out so far.
    uint64_t Position() const { return m_position; }

private:
    void Close();

    mpg123_handle_struct* m_handle = nullptr;
    int m_fd = -1;  // the song, read by the decoder
    bool m_ended = true;
    std::string m_failure;
    uint64_t m_position = 0;
};
