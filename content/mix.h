// The stereo mix the song is rendered into, with its echo and reverb.
#pragma once

#include <cstddef>
#include <vector>

#include "content/instruments.h"

// Where one note goes: its level, its place between the speakers
// (-1 left, 0 middle, 1 right) and how much of it feeds the echo and the
// reverb.
struct SRoute {
    float gain = 1.0f;
    float pan = 0.0f;
    float echo = 0.0f;
    float reverb = 0.0f;
};

class CMix {
public:
    explicit CMix(double seconds);

    size_t Frames() const { return m_left.size(); }
    // Adds samples from startSeconds on; whatever runs past the end is cut.
    void Place(double startSeconds, const CSamples& samples, const SRoute& route);
    // Ping-pong echo of the echo send, darkening with each repeat; it feeds
    // the mix and the reverb send.
    void RunEcho(double delaySeconds, float feedback, float level);
    // A plate-like reverb of the reverb send, added to the mix.
    void RunReverb(float level);
    // Scales the mix so its loudest sample reaches peak; returns the scale.
    float Normalise(float peak);

    const std::vector<float>& Left() const { return m_left; }
    const std::vector<float>& Right() const { return m_right; }

private:
    std::vector<float> m_left;
    std::vector<float> m_right;
    std::vector<float> m_echoSend;
    std::vector<float> m_reverbSend;
};
