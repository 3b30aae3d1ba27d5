#include "content_probes.h"

#include <mpg123.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool ReadTga(const std::string& path, STgaFile* out, std::string* error) {
    const std::vector<uint8_t> bytes = ReadWholeFile(path);
    if (bytes.size() < 18) {
        *error = path + ": missing or shorter than a TGA header";
        return false;
    }
    out->imageType = bytes[2];
    out->width = bytes[12] | (bytes[13] << 8);
    out->height = bytes[14] | (bytes[15] << 8);
    out->depth = bytes[16];
    out->descriptor = bytes[17];
    out->fileSize = bytes.size();
    if (bytes[0] != 0 || bytes[1] != 0 || out->imageType != 2 || (out->depth != 24 && out->depth != 32)) {
        *error = path + ": not an uncompressed true-colour TGA without ID or colour map";
        return false;
    }
    const size_t pixelBytes =
        static_cast<size_t>(out->width) * static_cast<size_t>(out->height) * static_cast<size_t>(out->depth / 8);
    if (bytes.size() < 18 + pixelBytes) {
        *error = path + ": pixel data cut short";
        return false;
    }
    out->pixels.assign(bytes.begin() + 18, bytes.begin() + 18 + static_cast<long>(pixelBytes));
    return true;
}

bool DecodeMp3(const std::string& path, SDecodedMp3* out, std::string* error) {
#if MPG123_API_VERSION < 46
    mpg123_init();
#endif
    int status = MPG123_OK;
    mpg123_handle* handle = mpg123_new(nullptr, &status);
    if (!handle) {
        *error = "cannot create an mpg123 decoder";
        return false;
    }
    mpg123_param(handle, MPG123_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0.0);
    if (mpg123_open(handle, path.c_str()) != MPG123_OK) {
        *error = path + ": " + mpg123_strerror(handle);
        mpg123_delete(handle);
        return false;
    }
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    mpg123_getformat(handle, &rate, &channels, &encoding);
    mpg123_format_none(handle);
    mpg123_format(handle, rate, channels, MPG123_ENC_SIGNED_16);

    std::vector<unsigned char> buffer(65536);
    size_t frames = 0;
    size_t fullScale = 0;
    int peak = 0;
    bool ok = true;
    for (;;) {
        size_t done = 0;
        const int result = mpg123_read(handle, buffer.data(), buffer.size(), &done);
        for (size_t i = 0; i + 1 < done; i += 2) {
            int16_t sample;
            std::memcpy(&sample, buffer.data() + i, sizeof(sample));
            if (sample == 32767 || sample == -32768) ++fullScale;
            peak = std::max(peak, std::abs(static_cast<int>(sample)));
        }
        if (channels > 0) frames += done / 2 / static_cast<size_t>(channels);
        if (result == MPG123_DONE) break;
        if (result != MPG123_OK && result != MPG123_NEW_FORMAT) {
            *error = path + ": " + mpg123_strerror(handle);
            ok = false;
            break;
        }
    }
    mpg123_close(handle);
    mpg123_delete(handle);
    out->sampleRate = rate;
    out->channels = channels;
    out->seconds = rate > 0 ? static_cast<double>(frames) / static_cast<double>(rate) : 0.0;
    out->fullScaleSamples = fullScale;
    out->peak = peak;
    return ok;
}
