#include "shell/frame_rate.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <numeric>

#include "audio/mp3_stream.h"

namespace {

// Large enough for any rate in use, small enough that no product below can
// overflow.
constexpr int64_t kMaxTerm = 1000000;

bool ParseTerm(const char* text, const char* end, int64_t* value) {
    if (text == end || *text < '0' || *text > '9') return false;
    int64_t parsed = 0;
    for (const char* c = text; c != end; ++c) {
        if (*c < '0' || *c > '9') return false;
        parsed = parsed * 10 + (*c - '0');
        if (parsed > kMaxTerm) return false;
    }
    *value = parsed;
    return true;
}

}  // namespace

bool ParseFrameRate(const char* text, SFrameRate* rate) {
    if (!text) return false;
    const char* end = text + std::strlen(text);
    int64_t num = 0;
    int64_t den = 1;
    if (const char* slash = std::strchr(text, '/')) {
        if (!ParseTerm(text, slash, &num) || !ParseTerm(slash + 1, end, &den)) return false;
    } else if (const char* point = std::strchr(text, '.')) {
        int64_t whole = 0;
        int64_t fraction = 0;
        const size_t digits = static_cast<size_t>(end - point - 1);
        if (digits == 0 || digits > 5 || !ParseTerm(text, point, &whole) || !ParseTerm(point + 1, end, &fraction)) {
            return false;
        }
        for (size_t i = 0; i < digits; ++i) den *= 10;
        num = whole * den + fraction;
    } else if (!ParseTerm(text, end, &num)) {
        return false;
    }
    if (den == 0 || num < den || num > 1000 * den) return false;
    const int64_t common = std::gcd(num, den);
    rate->num = num / common;
    rate->den = den / common;
    return true;
}

std::string FrameRateText(const SFrameRate& rate) {
    std::string text = std::to_string(rate.num);
    if (rate.den != 1) text += "/" + std::to_string(rate.den);
    return text;
}

double FramesPerSecond(const SFrameRate& rate) {
    return static_cast<double>(rate.num) / static_cast<double>(rate.den);
}

uint64_t MusicSamplesIn(int64_t frames, const SFrameRate& rate) {
    if (frames <= 0) return 0;
    const unsigned __int128 product = static_cast<unsigned __int128>(frames) * kMusicRate * rate.den;
    return static_cast<uint64_t>(product / static_cast<unsigned __int128>(rate.num));
}
