#include "content/instruments.h"

#include <algorithm>
#include <cmath>

#include "content/prng.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRate = static_cast<double>(kSampleRate);

size_t Frames(double seconds) { return static_cast<size_t>(std::max(0.0, seconds) * kRate); }

// Topology-preserving state-variable filter: stable at any cutoff, so the
// sweeps can move it freely.
class CFilter {
public:
    void Set(double cutoffHz, double resonance) {
        const double g = std::tan(kPi * std::clamp(cutoffHz, 20.0, kRate * 0.45) / kRate);
        const double k = 2.0 - 2.0 * std::clamp(resonance, 0.0, 0.95);
        m_a1 = 1.0 / (1.0 + g * (g + k));
        m_a2 = g * m_a1;
        m_a3 = g * m_a2;
        m_k = k;
    }
    // Returns the low-pass output; band-pass and high-pass are kept too.
    double Run(double input) {
        const double v3 = input - m_ic2;
        const double v1 = m_a1 * m_ic1 + m_a2 * v3;
        const double v2 = m_ic2 + m_a2 * m_ic1 + m_a3 * v3;
        m_ic1 = 2.0 * v1 - m_ic1;
        m_ic2 = 2.0 * v2 - m_ic2;
        m_band = v1;
        m_high = input - m_k * v1 - v2;
        return v2;
    }
    double Band() const { return m_band; }
    double High() const { return m_high; }

private:
    double m_a1 = 0.0, m_a2 = 0.0, m_a3 = 0.0, m_k = 2.0;
    double m_ic1 = 0.0, m_ic2 = 0.0;
    double m_band = 0.0, m_high = 0.0;
};

// Band-limited sawtooth (PolyBLEP): no aliasing whistle on high notes.
class CSaw {
public:
    explicit CSaw(double phase = 0.0) : m_phase(phase) {}
    double Next(double frequency) {
        const double step = frequency / kRate;
        double value = 2.0 * m_phase - 1.0;
        value -= Blep(m_phase, step);
        m_phase += step;
        if (m_phase >= 1.0) m_phase -= 1.0;
        return value;
    }

private:
    static double Blep(double t, double dt) {
        if (t < dt) {
            t /= dt;
            return t + t - t * t - 1.0;
        }
        if (t > 1.0 - dt) {
            t = (t - 1.0) / dt;
            return t * t + t + t + 1.0;
        }
        return 0.0;
    }
    double m_phase;
};

// Attack, then exponential decay toward sustain, then release after `hold`.
double Envelope(double t, double attack, double decay, double sustain, double hold, double release) {
    double level;
    if (t < attack) {
        level = t / attack;
    } else {
        level = sustain + (1.0 - sustain) * std::exp(-(t - attack) / decay);
    }
    if (t > hold) level *= std::exp(-(t - hold) / release);
    return level;
}

}  // namespace

double NoteFrequency(double midiNote) { return 440.0 * std::pow(2.0, (midiNote - 69.0) / 12.0); }

CSamples SynthKick(float velocity) {
    CSamples out(Frames(0.45));
    double phase = 0.0;
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double frequency = 46.0 + 110.0 * std::exp(-t / 0.035);
        phase += frequency / kRate;
        const double body = std::sin(2.0 * kPi * phase) * std::exp(-t / 0.16);
        const double click = std::exp(-t / 0.003) * 0.35;
        out[i] = static_cast<float>(velocity * std::tanh(1.4 * (body + click)));
    }
    return out;
}

CSamples SynthSnare(float velocity, uint64_t seed) {
    CContentRandom noise(seed);
    CFilter colour;
    colour.Set(5200.0, 0.2);
    CSamples out(Frames(0.3));
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double tone = std::sin(2.0 * kPi * 185.0 * t) * std::exp(-t / 0.045) * 0.6;
        const double hiss = colour.Run(noise.Range(-1.0, 1.0)) * std::exp(-t / 0.075);
        out[i] = static_cast<float>(velocity * (tone + 1.3 * hiss));
    }
    return out;
}

CSamples SynthHat(float velocity, bool open, uint64_t seed) {
    CContentRandom noise(seed);
    CFilter bright;
    bright.Set(7500.0, 0.3);
    const double decay = open ? 0.12 : 0.03;
    CSamples out(Frames(decay * 6.0));
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        bright.Run(noise.Range(-1.0, 1.0));
        out[i] = static_cast<float>(velocity * bright.High() * std::exp(-t / decay));
    }
    return out;
}

CSamples SynthCrash(float velocity, uint64_t seed) {
    CContentRandom noise(seed);
    CFilter shimmer;
    shimmer.Set(4500.0, 0.1);
    CSamples out(Frames(2.5));
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        shimmer.Run(noise.Range(-1.0, 1.0));
        const double envelope = std::min(1.0, t / 0.002) * std::exp(-t / 0.55);
        out[i] = static_cast<float>(velocity * shimmer.High() * envelope);
    }
    return out;
}

CSamples SynthBass(int midiNote, double seconds, float velocity) {
    const double frequency = NoteFrequency(midiNote);
    CSaw saw;
    CFilter filter;
    const double release = 0.04;
    CSamples out(Frames(seconds + release * 6.0));
    double subPhase = 0.0;
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        if (i % 16 == 0) filter.Set(180.0 + 1400.0 * std::exp(-t / 0.09), 0.35);
        subPhase += frequency / kRate;
        const double raw = 0.55 * saw.Next(frequency) + 0.7 * std::sin(2.0 * kPi * subPhase);
        const double level = Envelope(t, 0.004, 0.25, 0.7, seconds, release);
        out[i] = static_cast<float>(velocity * level * filter.Run(raw));
    }
    return out;
}

CSamples SynthPad(int midiNote, double seconds, float detuneCents, float cutoffStartHz, float cutoffEndHz) {
    const double base = NoteFrequency(midiNote);
    const double spread = std::pow(2.0, detuneCents / 1200.0);
    // Start phases follow the note so stacked voices do not line up.
    CSaw low(std::fmod(midiNote * 0.137, 1.0));
    CSaw high(std::fmod(midiNote * 0.291, 1.0));
    CFilter filter;
    const double release = 0.6;
    CSamples out(Frames(seconds + release * 5.0));
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        if (i % 32 == 0) {
            const double progress = std::clamp(t / seconds, 0.0, 1.0);
            filter.Set(cutoffStartHz * std::pow(cutoffEndHz / cutoffStartHz, progress), 0.15);
        }
        const double raw = low.Next(base / spread) + high.Next(base * spread);
        const double level = Envelope(t, 0.35, 1.0, 1.0, seconds, release);
        out[i] = static_cast<float>(0.5 * level * filter.Run(raw));
    }
    return out;
}

CSamples SynthPluck(int midiNote, float velocity, float brightness) {
    const double frequency = NoteFrequency(midiNote);
    // Two-operator FM: the modulation index falls fast, like a struck bar.
    CSamples out(Frames(0.7));
    double carrier = 0.0;
    double modulator = 0.0;
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        modulator += 3.0 * frequency / kRate;
        carrier += frequency / kRate;
        const double index = (0.6 + 2.2 * brightness) * std::exp(-t / 0.06);
        const double value = std::sin(2.0 * kPi * carrier + index * std::sin(2.0 * kPi * modulator));
        out[i] = static_cast<float>(velocity * value * std::min(1.0, t / 0.002) * std::exp(-t / 0.16));
    }
    return out;
}

CSamples SynthLead(int midiNote, double seconds, float velocity) {
    const double base = NoteFrequency(midiNote);
    CSaw saw;
    CSaw squareA(0.0);
    CSaw squareB(0.5);
    CFilter filter;
    const double release = 0.12;
    CSamples out(Frames(seconds + release * 6.0));
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        // Vibrato creeps in after a quarter second on long notes.
        const double vibrato = 1.0 + 0.004 * std::sin(2.0 * kPi * 5.5 * t) * std::clamp((t - 0.25) / 0.3, 0.0, 1.0);
        const double frequency = base * vibrato;
        // A square from two saws half a cycle apart, band-limited as they are.
        const double square = squareA.Next(frequency) - squareB.Next(frequency);
        const double raw = 0.5 * saw.Next(frequency * 1.003) + 0.35 * square;
        if (i % 16 == 0) filter.Set(900.0 + 2600.0 * std::exp(-t / 0.3), 0.3);
        const double level = Envelope(t, 0.012, 0.3, 0.75, seconds, release);
        out[i] = static_cast<float>(velocity * level * filter.Run(raw));
    }
    return out;
}

CSamples SynthRiser(double seconds, uint64_t seed) {
    CContentRandom noise(seed);
    CFilter filter;
    CSamples out(Frames(seconds));
    for (size_t i = 0; i < out.size(); ++i) {
        const double progress = static_cast<double>(i) / static_cast<double>(out.size());
        if (i % 32 == 0) filter.Set(300.0 * std::pow(30.0, progress), 0.6);
        filter.Run(noise.Range(-1.0, 1.0));
        out[i] = static_cast<float>(filter.Band() * progress * progress);
    }
    return out;
}
