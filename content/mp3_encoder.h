// MP3 encoding of the song with libmp3lame.
#pragma once

#include <cstdint>
#include <vector>

// Encodes 44.1 kHz stereo samples (-1..1) as constant-bit-rate joint
// stereo at kbps, with the LAME info frame that tells decoders the exact
// length. Throws std::runtime_error when the encoder fails.
std::vector<uint8_t> EncodeMp3(const std::vector<float>& left, const std::vector<float>& right, int sampleRate,
                               int kbps);
