#include "audio/audio_format.h"

#include <cstring>

namespace {

bool Has(const uint8_t* bytes, size_t size, size_t at, const char* text) {
    const size_t length = std::strlen(text);
    return size >= at + length && std::memcmp(bytes + at, text, length) == 0;
}

uint32_t Little32(const uint8_t* p) {
    return p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

// A WAV file may hold MPEG audio (format 0x55), which the decoder plays; only
// a "fmt " chunk found in the bytes given and naming another format refuses it.
bool WaveHoldsMpeg(const uint8_t* bytes, size_t size) {
    constexpr uint16_t kMpegLayer3 = 0x55;
    constexpr uint16_t kMpeg = 0x50;
    size_t at = 12;
    while (size >= at + 8) {
        const uint32_t chunkSize = Little32(bytes + at + 4);
        if (Has(bytes, size, at, "fmt ")) {
            if (size < at + 10) return false;
            const uint16_t tag = static_cast<uint16_t>(bytes[at + 8] | (bytes[at + 9] << 8));
            return tag == kMpegLayer3 || tag == kMpeg;
        }
        // Chunks are padded to an even size.
        const size_t next = at + 8 + static_cast<size_t>(chunkSize) + (chunkSize & 1u);
        if (next <= at) break;
        at = next;
    }
    return false;
}

}  // namespace

const char* OtherAudioFormat(const uint8_t* bytes, size_t size) {
    if (Has(bytes, size, 0, "RIFF") && Has(bytes, size, 8, "WAVE"))
        return WaveHoldsMpeg(bytes, size) ? nullptr : "a WAV file";
    if (Has(bytes, size, 4, "ftyp")) return "an MP4/M4A file (AAC or ALAC audio)";
    if (Has(bytes, size, 0, "OggS")) return "an Ogg file (Vorbis, Opus or FLAC audio)";
    if (Has(bytes, size, 0, "fLaC")) return "a FLAC file";
    if (Has(bytes, size, 0, "FORM") && (Has(bytes, size, 8, "AIFF") || Has(bytes, size, 8, "AIFC")))
        return "an AIFF file";
    return nullptr;
}
