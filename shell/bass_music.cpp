#include "shell/bass_music.h"

#include "audio/bass.h"
#include "audio/mp3_stream.h"

void CBassMusic::PlayFrom(double seconds) {
    if (!m_stream) return;
    BASS_ChannelStop(m_stream);
    // BASS_StreamPlay starts the song as far on as the device's buffer
    // and the time to its first fill, so it is heard at `seconds`.
    const uint64_t frame = static_cast<uint64_t>((seconds > 0.0 ? seconds : 0.0) * kMusicRate);
    BASS_ChannelSetPosition(m_stream, frame * kMusicFrameBytes);
    BASS_StreamPlay(m_stream, FALSE, 0);
}

void CBassMusic::Pause() {
    if (m_stream) BASS_ChannelStop(m_stream);
}

bool CBassMusic::Heard(double now, double* seconds) {
    SBassPlayback playback;
    if (!m_stream || !BassGetPlayback(m_stream, &playback)) return false;
    // The latest buffer is heard a buffer after it was handed over, and on
    // from there at the song's rate until the device takes the next one.
    *seconds = (static_cast<double>(playback.bufferStart) - playback.latencyFrames) / kMusicRate +
               (now - playback.handedAt);
    return true;
}
