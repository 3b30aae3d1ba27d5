// Author mode's music on the audio library: the song moved with every seek
// and pause, and heard where the sound device says it has got to.
#pragma once

#include <cstdint>

#include "shell/author_control.h"

class CBassMusic : public IAuthorMusic {
public:
    // 0: no song, silence.
    void SetStream(uint32_t stream) { m_stream = stream; }

    void PlayFrom(double seconds) override;
    void Pause() override;
    bool Heard(double now, double* seconds) override;

private:
    uint32_t m_stream = 0;
};
