// Tells other audio formats by their first bytes, so that a song that is not
// MP3 (a WAV, M4A, Ogg or FLAC file under an .mp3 name) is refused with what
// it is, instead of being decoded as noise.
#pragma once

#include <cstddef>
#include <cstdint>

// How many leading bytes OtherAudioFormat looks at, at most.
constexpr size_t kAudioSniffBytes = 4096;

// The kind of file, as the user would call it ("a WAV file"), or null when
// the bytes may well be MP3 (or MPEG audio wrapped in a WAV file).
const char* OtherAudioFormat(const uint8_t* bytes, size_t size);
