// A small fixed-seed generator for the content: the pictures and the music
// must come out byte for byte the same on every run, so nothing here ever
// looks at the clock or the operating system's entropy.
#pragma once

#include <cstdint>

class CContentRandom {
public:
    explicit CContentRandom(uint64_t seed) : m_state(seed) {}

    // splitmix64: tiny, fast and well mixed even for neighbouring seeds.
    uint64_t Next() {
        uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1).
    double Unit() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
    // Uniform in [low, high).
    double Range(double low, double high) { return low + (high - low) * Unit(); }

private:
    uint64_t m_state;
};
