#include "shell/offline/music_capture.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "audio/bass.h"
#include "audio/mp3_stream.h"
#include "resources/output_file.h"

namespace {

// Sample frames decoded per read: 0.1 s.
constexpr size_t kChunkFrames = 4410;

}  // namespace

CMusicCapture::~CMusicCapture() {
    if (!m_hidden.empty()) std::remove(m_hidden.c_str());
}

bool CMusicCapture::Open(const std::string& path, std::string* error) {
    m_path = path;
    m_hidden = HiddenName(path);
    return m_wav.Open(m_hidden, kMusicRate, kMusicChannels, error) && m_wav.Sync(error);
}

bool CMusicCapture::WriteSong(uint32_t stream, uint64_t skip, uint64_t length, const std::function<bool()>& stop,
                              std::string* error) {
    std::vector<int16_t> chunk(kChunkFrames * kMusicChannels);
    // Seeking by sample is exact and, after a long --start, much quicker
    // than decoding what is skipped.
    BASS_ChannelSetPosition(stream, skip * kMusicFrameBytes);
    while (m_wav.FramesWritten() < length && !stop()) {
        const size_t wanted = static_cast<size_t>(std::min<uint64_t>(length - m_wav.FramesWritten(), kChunkFrames));
        const size_t got =
            BASS_ChannelGetData(stream, chunk.data(), static_cast<DWORD>(wanted * kMusicFrameBytes)) / kMusicFrameBytes;
        if (!m_wav.Write(chunk.data(), got, error)) return false;
        if (got == wanted) continue;
        // Past the end of the music (or a broken file): the rest is silence.
        if (length == kWholeSong) break;
        if (!m_wav.SetLength(length, error)) return false;
    }
    return m_wav.Sync(error);
}

bool CMusicCapture::Finish(uint64_t length, std::string* error) {
    if (!m_wav.SetLength(length, error) || !m_wav.Close(error)) return false;
    const bool published = PublishFile(m_hidden, m_path, error);
    m_hidden.clear();
    return published;
}
