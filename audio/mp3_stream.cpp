#include "audio/mp3_stream.h"

#include <mpg123.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "audio/audio_format.h"
#include "resources/input_file.h"

namespace {

// What the file is when its first bytes show another audio format, or null.
// Read in place, so the decoder still starts at the first byte; a file that
// cannot be read is left to the decoder to report.
const char* OtherFormatOf(int fd) {
    std::vector<uint8_t> start(kAudioSniffBytes);
    size_t got = 0;
    while (got < start.size()) {
        const ssize_t read = pread(fd, start.data() + got, start.size() - got, static_cast<off_t>(got));
        if (read < 0 && errno == EINTR) continue;
        if (read <= 0) break;
        got += static_cast<size_t>(read);
    }
    return OtherAudioFormat(start.data(), got);
}

}  // namespace

CMp3Stream::~CMp3Stream() { Close(); }

void CMp3Stream::Close() {
    if (m_handle) {
        mpg123_close(m_handle);
        mpg123_delete(m_handle);
        m_handle = nullptr;
    }
    // The decoder reads the file but leaves its closing to us.
    if (m_fd >= 0) close(m_fd);
    m_fd = -1;
    m_ended = true;
}

bool CMp3Stream::Open(const char* path, std::string* error) {
    Close();
    m_failure.clear();
    m_position = 0;

    int result = MPG123_OK;
    m_handle = mpg123_new(nullptr, &result);
    if (!m_handle) {
        *error = std::string("cannot start the MP3 decoder: ") + mpg123_plain_strerror(result);
        return false;
    }
    // Only one output format is allowed, so the decoder converts rate and
    // channel count itself. Gapless decoding drops the encoder's padding, so
    // the music starts on its first real sample.
    mpg123_param(m_handle, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0.0);
    mpg123_format_none(m_handle);
    mpg123_format(m_handle, kMusicRate, MPG123_STEREO, MPG123_ENC_SIGNED_16);

    long rate = 0;
    int channels = 0;
    int encoding = 0;
    SInputError why;
    m_fd = OpenInputFile(path, &why);
    if (m_fd < 0) {
        *error = std::string(path) + ": " + InputErrorText(why, "the song");
        Close();
        return false;
    }
    if (mpg123_open_fd(m_handle, m_fd) != MPG123_OK) {
        *error = std::string(path) + ": cannot open the song: " + mpg123_strerror(m_handle);
        Close();
        return false;
    }
    // The decoder finds "frames" in the samples of other formats and plays
    // them as noise until it gives up; such files are named instead.
    if (const char* other = OtherFormatOf(m_fd)) {
        *error = std::string(path) + ": not an MP3 file that can be decoded (it is " + other + ")";
        Close();
        return false;
    }
    if (mpg123_getformat(m_handle, &rate, &channels, &encoding) != MPG123_OK) {
        *error = std::string(path) + ": not an MP3 file that can be decoded (" + mpg123_strerror(m_handle) + ")";
        Close();
        return false;
    }
    if (rate != kMusicRate || channels != kMusicChannels || encoding != MPG123_ENC_SIGNED_16) {
        *error = std::string(path) + ": cannot be converted to 44100 Hz 16-bit stereo";
        Close();
        return false;
    }
    m_ended = false;
    return true;
}

uint64_t CMp3Stream::Length() {
    if (!m_handle || mpg123_scan(m_handle) != MPG123_OK) return 0;
    const off_t frames = mpg123_length(m_handle);
    return frames > 0 ? static_cast<uint64_t>(frames) : 0;
}

size_t CMp3Stream::Read(int16_t* samples, size_t frames) {
    size_t produced = 0;
    unsigned char* out = reinterpret_cast<unsigned char*>(samples);
    while (produced < frames && !m_ended) {
        size_t done = 0;
        const size_t wanted = (frames - produced) * kMusicFrameBytes;
        const int result = mpg123_read(m_handle, out + produced * kMusicFrameBytes, wanted, &done);
        produced += done / kMusicFrameBytes;
        if (result == MPG123_DONE) {
            m_ended = true;
        } else if (result != MPG123_OK && result != MPG123_NEW_FORMAT) {
            // A broken file ends the music here instead of playing noise.
            m_failure = mpg123_strerror(m_handle);
            m_ended = true;
        } else if (done == 0 && result == MPG123_OK) {
            // No progress without an error would spin forever; treat as the end.
            m_ended = true;
        }
    }
    m_position += produced;
    return produced;
}

bool CMp3Stream::Seek(uint64_t frame) {
    if (!m_handle || !m_failure.empty()) return false;
    // Sample-accurate: the decoder works out the frames before it that it
    // needs, so the music comes out as a decoding from the start gives it.
    const off_t reached = mpg123_seek(m_handle, static_cast<off_t>(frame), SEEK_SET);
    if (reached < 0) return false;
    m_position = static_cast<uint64_t>(reached);
    // Past the end of the music the next read says so.
    m_ended = false;
    return true;
}
