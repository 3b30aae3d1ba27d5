#include "shell/offline/music_capture.h"

#include <algorithm>
#include <vector>

#include "audio/bass.h"
#include "audio/mp3_stream.h"

namespace {

// Sample frames decoded per read: 0.1 s.
constexpr size_t kChunkFrames = 4410;

}  // namespace

bool CMusicCapture::Open(const std::string& path, std::string* error) {
    return m_wav.Open(path, kMusicRate, kMusicChannels, error);
}

uint64_t CMusicCapture::SamplesIn(int64_t steps) const {
    return static_cast<uint64_t>(steps) * kMusicRate / static_cast<uint64_t>(m_fps);
}

bool CMusicCapture::AddFrame(int64_t timerSteps, std::string* error) {
    if (m_frames == 0 && m_stream) {
        // Skip the music played before the first frame was drawn.
        BASS_ChannelSetPosition(m_stream, SamplesIn(timerSteps) * kMusicFrameBytes);
    }
    ++m_frames;
    return WriteUpTo(SamplesIn(m_frames), error);
}

bool CMusicCapture::WriteUpTo(uint64_t end, std::string* error) {
    std::vector<int16_t> chunk(kChunkFrames * kMusicChannels);
    while (m_wav.FramesWritten() < end) {
        const size_t wanted = static_cast<size_t>(std::min<uint64_t>(end - m_wav.FramesWritten(), kChunkFrames));
        size_t got = 0;
        if (m_stream) {
            got = BASS_ChannelGetData(m_stream, chunk.data(), static_cast<DWORD>(wanted * kMusicFrameBytes)) /
                  kMusicFrameBytes;
        }
        if (!m_wav.Write(chunk.data(), got, error)) return false;
        // Past the end of the music (or a broken file): the rest is silence.
        if (got < wanted && !m_wav.WriteSilence(wanted - got, error)) return false;
    }
    return true;
}

bool CMusicCapture::Close(std::string* error) { return m_wav.Close(error); }
