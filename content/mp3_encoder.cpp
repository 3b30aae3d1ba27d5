#include "content/mp3_encoder.h"

#include <lame/lame.h>

#include <algorithm>
#include <memory>
#include <stdexcept>

namespace {

struct SLameDeleter {
    void operator()(lame_global_flags* flags) const { lame_close(flags); }
};

// Samples handed to the encoder per call; LAME wants 1.25 n + 7200 bytes
// of room for n samples.
constexpr size_t kChunk = 8192;

}  // namespace

std::vector<uint8_t> EncodeMp3(const std::vector<float>& left, const std::vector<float>& right, int sampleRate,
                               int kbps) {
    if (left.size() != right.size()) throw std::invalid_argument("channels differ in length");
    std::unique_ptr<lame_global_flags, SLameDeleter> lame(lame_init());
    if (!lame) throw std::runtime_error("cannot start the MP3 encoder");
    lame_set_in_samplerate(lame.get(), sampleRate);
    lame_set_out_samplerate(lame.get(), sampleRate);
    lame_set_num_channels(lame.get(), 2);
    lame_set_mode(lame.get(), JOINT_STEREO);
    lame_set_VBR(lame.get(), vbr_off);
    lame_set_brate(lame.get(), kbps);
    lame_set_quality(lame.get(), 5);
    lame_set_bWriteVbrTag(lame.get(), 1);
    if (lame_init_params(lame.get()) < 0) throw std::runtime_error("MP3 encoder rejected its settings");

    std::vector<uint8_t> out;
    std::vector<unsigned char> buffer(kChunk * 5 / 4 + 7200);
    for (size_t offset = 0; offset < left.size(); offset += kChunk) {
        const size_t count = std::min(kChunk, left.size() - offset);
        const int written =
            lame_encode_buffer_ieee_float(lame.get(), left.data() + offset, right.data() + offset,
                                          static_cast<int>(count), buffer.data(), static_cast<int>(buffer.size()));
        if (written < 0) throw std::runtime_error("MP3 encoding failed");
        out.insert(out.end(), buffer.begin(), buffer.begin() + written);
    }
    const int flushed = lame_encode_flush(lame.get(), buffer.data(), static_cast<int>(buffer.size()));
    if (flushed < 0) throw std::runtime_error("MP3 encoding failed at the end");
    out.insert(out.end(), buffer.begin(), buffer.begin() + flushed);

    // The first frame was kept free for the info tag; fill it in now.
    const size_t tagSize = lame_get_lametag_frame(lame.get(), buffer.data(), buffer.size());
    if (tagSize > 0 && tagSize <= buffer.size() && tagSize <= out.size())
        std::copy(buffer.begin(), buffer.begin() + static_cast<long>(tagSize), out.begin());
    return out;
}
