// The audio library the demo driver calls: music streams played on the
// default output device. Output goes through SDL; streams are MP3 files
// decoded on the fly (see CMp3Stream).
#pragma once

#include <cstdint>

typedef uint32_t DWORD;
typedef uint32_t HSTREAM;
typedef int32_t BOOL;

// device -1 is the default output. Returns zero when no output can be opened
// (or the library is already initialised). flags and window are unused.
BOOL BASS_Init(int device, DWORD freq, DWORD flags, void* window);
// Opens a file (mem must be FALSE). Returns 0 when the file cannot be opened
// or decoded. offset and length are unused.
HSTREAM BASS_StreamCreateFile(BOOL mem, const char* file, DWORD offset, DWORD length);
BOOL BASS_Start();
// Plays the stream from where it stands (its start, for a new stream), from
// the moment of the call: the device's buffer is taken as its latency, so
// the first buffer filled after the call starts where the music has got to
// by the time that buffer is heard. What is heard then keeps time with a
// clock started with the call.
BOOL BASS_StreamPlay(HSTREAM handle, BOOL flush, DWORD flags);
BOOL BASS_ChannelStop(DWORD handle);
BOOL BASS_Stop();
// Closes the output and frees every stream.
void BASS_Free();

// ---- Extensions for running without a sound device ----

// When set before BASS_Init, no output device is opened: streams are only
// decoded, through BASS_ChannelGetData. Capture uses this to write the music.
void BassUseNoSoundOutput(bool noSound);
// The device buffer asked of SDL, in sample frames, from the next BASS_Init
// on (2048, about 46 ms, unless set; 0 restores that). SDL may grant
// another size.
void BassSetBufferFrames(int frames);
// Decodes the next bytes of a stream (44.1 kHz, 16-bit stereo) into buffer.
// Returns the bytes written, fewer than asked at the end of the music.
// Only for streams that are not being played on a device.
DWORD BASS_ChannelGetData(DWORD handle, void* buffer, DWORD length);
// Bytes of the whole stream once decoded (0 when it cannot be told). Reads
// through the file; call before playing.
uint64_t BASS_ChannelGetLength(DWORD handle);
// Bytes of the stream decoded so far (played, or handed to GetData).
uint64_t BASS_ChannelGetPosition(DWORD handle);
// Moves a stream to `bytes` into its decoded music (44.1 kHz, 16-bit
// stereo), played or not; past the end of the music, to its end.
BOOL BASS_ChannelSetPosition(DWORD handle, uint64_t bytes);

// ---- Extension for pacing a picture by the music ----

// What the device has taken of the stream it plays: the song's sample frame
// at which the latest buffer handed to it starts, when that buffer was
// handed (seconds on the steady clock), and the device's buffer in sample
// frames, taken as its latency: that buffer is heard a buffer later.
struct SBassPlayback {
    uint64_t bufferStart = 0;
    double handedAt = 0.0;
    int latencyFrames = 0;
};
// False without a device, when the stream is not the one playing, before
// its first buffer after BASS_StreamPlay, and once its music has run out.
BOOL BassGetPlayback(DWORD handle, SBassPlayback* playback);
