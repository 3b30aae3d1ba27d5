#include "content/mix.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

// A feedback comb with a low-pass in its loop (the body of the reverb).
class CComb {
public:
    explicit CComb(size_t length) : m_line(length, 0.0f) {}
    float Run(float input, float feedback, float damp) {
        const float out = m_line[m_pos];
        m_store = out * (1.0f - damp) + m_store * damp;
        m_line[m_pos] = input + m_store * feedback;
        if (++m_pos == m_line.size()) m_pos = 0;
        return out;
    }

private:
    std::vector<float> m_line;
    size_t m_pos = 0;
    float m_store = 0.0f;
};

// A Schroeder all-pass that smears the combs' echoes into a wash.
class CAllPass {
public:
    explicit CAllPass(size_t length) : m_line(length, 0.0f) {}
    float Run(float input) {
        const float delayed = m_line[m_pos];
        const float out = delayed - input;
        m_line[m_pos] = input + delayed * 0.5f;
        if (++m_pos == m_line.size()) m_pos = 0;
        return out;
    }

private:
    std::vector<float> m_line;
    size_t m_pos = 0;
};

}  // namespace

CMix::CMix(double seconds) {
    const size_t frames = static_cast<size_t>(std::ceil(seconds * kSampleRate));
    m_left.assign(frames, 0.0f);
    m_right.assign(frames, 0.0f);
    m_echoSend.assign(frames, 0.0f);
    m_reverbSend.assign(frames, 0.0f);
}

void CMix::Place(double startSeconds, const CSamples& samples, const SRoute& route) {
    const long long start = std::llround(startSeconds * kSampleRate);
    if (start < 0) return;
    // Equal-power panning.
    const double angle = (std::clamp(route.pan, -1.0f, 1.0f) + 1.0) * kPi / 4.0;
    const float toLeft = static_cast<float>(std::cos(angle) * std::sqrt(2.0)) * route.gain;
    const float toRight = static_cast<float>(std::sin(angle) * std::sqrt(2.0)) * route.gain;
    const size_t first = static_cast<size_t>(start);
    const size_t count = first < Frames() ? std::min(samples.size(), Frames() - first) : 0;
    for (size_t i = 0; i < count; ++i) {
        const float s = samples[i];
        m_left[first + i] += s * toLeft;
        m_right[first + i] += s * toRight;
        m_echoSend[first + i] += s * route.gain * route.echo;
        m_reverbSend[first + i] += s * route.gain * route.reverb;
    }
}

void CMix::RunEcho(double delaySeconds, float feedback, float level) {
    const size_t delay = static_cast<size_t>(std::llround(delaySeconds * kSampleRate));
    if (delay == 0) return;
    std::vector<float> leftLine(delay, 0.0f);
    std::vector<float> rightLine(delay, 0.0f);
    float leftTone = 0.0f;
    float rightTone = 0.0f;
    size_t pos = 0;
    for (size_t i = 0; i < Frames(); ++i) {
        const float fromLeft = leftLine[pos];
        const float fromRight = rightLine[pos];
        // Each pass through a line loses some treble.
        leftTone += 0.45f * (fromLeft - leftTone);
        rightTone += 0.45f * (fromRight - rightTone);
        leftLine[pos] = m_echoSend[i] + rightTone * feedback;
        rightLine[pos] = leftTone * feedback;
        if (++pos == delay) pos = 0;
        m_left[i] += fromLeft * level;
        m_right[i] += fromRight * level;
        m_reverbSend[i] += (fromLeft + fromRight) * level * 0.5f;
    }
}

void CMix::RunReverb(float level) {
    // Comb and all-pass lengths in samples at 44.1 kHz, mutually prime so
    // their echoes do not pile up; the right side is slightly longer.
    const size_t combLengths[4] = {1116, 1277, 1422, 1557};
    const size_t allPassLengths[2] = {556, 341};
    const size_t stereoSpread = 23;
    std::vector<CComb> leftCombs, rightCombs;
    for (size_t length : combLengths) {
        leftCombs.emplace_back(length);
        rightCombs.emplace_back(length + stereoSpread);
    }
    std::vector<CAllPass> leftPasses, rightPasses;
    for (size_t length : allPassLengths) {
        leftPasses.emplace_back(length);
        rightPasses.emplace_back(length + stereoSpread);
    }
    const float feedback = 0.86f;
    const float damp = 0.3f;
    for (size_t i = 0; i < Frames(); ++i) {
        const float input = m_reverbSend[i] * 0.05f;
        float left = 0.0f;
        float right = 0.0f;
        for (size_t c = 0; c < leftCombs.size(); ++c) {
            left += leftCombs[c].Run(input, feedback, damp);
            right += rightCombs[c].Run(input, feedback, damp);
        }
        for (size_t a = 0; a < leftPasses.size(); ++a) {
            left = leftPasses[a].Run(left);
            right = rightPasses[a].Run(right);
        }
        m_left[i] += left * level;
        m_right[i] += right * level;
    }
}

float CMix::Normalise(float peak) {
    float loudest = 0.0f;
    for (size_t i = 0; i < Frames(); ++i) loudest = std::max({loudest, std::fabs(m_left[i]), std::fabs(m_right[i])});
    if (loudest <= 0.0f) return 1.0f;
    const float scale = peak / loudest;
    for (size_t i = 0; i < Frames(); ++i) {
        m_left[i] *= scale;
        m_right[i] *= scale;
    }
    return scale;
}
