#include "audio/bass.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>
#include <memory>
#include <vector>

#include "audio/mp3_stream.h"
#include "resources/report.h"

namespace {

struct SBassStream {
    CMp3Stream decoder;
    std::string path;
    bool failureReported = false;
};

// Decodes the next frames. A file that breaks midway ends its music there;
// the presentation goes on in silence, so the user is told why, once.
size_t ReadStream(SBassStream* stream, int16_t* samples, size_t frames) {
    const size_t produced = stream->decoder.Read(samples, frames);
    if (stream->decoder.Failed() && !stream->failureReported) {
        stream->failureReported = true;
        ReportF(stream->path, 0, "the music stops here, the rest cannot be decoded (%s); the demo goes on",
                stream->decoder.Failure().c_str());
    }
    return produced;
}

using Clock = std::chrono::steady_clock;

// About 46 ms: small latency, room for decoding.
constexpr int kDefaultBufferFrames = 2048;

struct SBassState {
    bool noSoundRequested = false;
    bool initialised = false;
    bool atExitRegistered = false;
    int requestedBufferFrames = kDefaultBufferFrames;
    SDL_AudioDeviceID device = 0;
    // The buffer SDL granted, in sample frames: the only latency it reports.
    int bufferFrames = 0;
    // A handle is its index + 1; freed streams leave an empty slot so that a
    // stale handle never reaches another stream.
    std::vector<std::unique_ptr<SBassStream>> streams;
    // The one stream the device plays; it is touched by the audio thread, so
    // it changes only with the device locked.
    SBassStream* playing = nullptr;
    // When `playing` was started, until its first buffer is filled.
    bool startPending = false;
    Clock::time_point started;
    // The latest buffer handed to the device: where in the song it starts,
    // when, and whether the music ran out in it.
    uint64_t bufferStart = 0;
    Clock::time_point handed;
    bool handedAny = false;
    bool musicOver = false;
};

SBassState& State() {
    static SBassState state;
    return state;
}

// Runs on SDL's audio thread. Decoding here, a device buffer at a time, keeps
// only a few milliseconds of music in memory. Whatever the decoder cannot give
// (the end of the music, a broken file) is silence.
void FillDeviceBuffer(void* userdata, Uint8* out, int length) {
    auto* state = static_cast<SBassState*>(userdata);
    const size_t bufferFrames = static_cast<size_t>(length) / kMusicFrameBytes;
    if (state->playing && state->startPending) {
        // The music started with the caller's clock. This buffer is heard a
        // buffer from now, so it starts where the music has got to by then.
        state->startPending = false;
        const double since = std::chrono::duration<double>(Clock::now() - state->started).count();
        auto skip = static_cast<size_t>(std::lround(since * kMusicRate)) + static_cast<size_t>(state->bufferFrames);
        auto* scratch = reinterpret_cast<int16_t*>(out);
        while (skip > 0) {
            const size_t got = ReadStream(state->playing, scratch, std::min(skip, bufferFrames));
            if (got == 0) break;
            skip -= got;
        }
    }
    size_t frames = 0;
    if (state->playing) {
        state->bufferStart = state->playing->decoder.Position();
        state->handed = Clock::now();
        frames = ReadStream(state->playing, reinterpret_cast<int16_t*>(out), bufferFrames);
        state->handedAny = true;
        state->musicOver = frames < bufferFrames;
    }
    SDL_memset(out + frames * kMusicFrameBytes, 0, static_cast<size_t>(length) - frames * kMusicFrameBytes);
}

// The device thread must stop before the streams are destroyed with the other
// static objects; a process may end while the music still plays.
void CloseDeviceAtExit() {
    SBassState& state = State();
    if (state.device) {
        SDL_CloseAudioDevice(state.device);
        state.device = 0;
    }
}

SBassStream* FindStream(DWORD handle) {
    SBassState& state = State();
    if (handle == 0 || handle > state.streams.size()) return nullptr;
    return state.streams[handle - 1].get();
}

// Keeps the audio thread out while the caller changes what it reads.
class CDeviceLock {
public:
    CDeviceLock() : m_device(State().device) {
        if (m_device) SDL_LockAudioDevice(m_device);
    }
    ~CDeviceLock() {
        if (m_device) SDL_UnlockAudioDevice(m_device);
    }
    CDeviceLock(const CDeviceLock&) = delete;
    CDeviceLock& operator=(const CDeviceLock&) = delete;

private:
    SDL_AudioDeviceID m_device;
};

}  // namespace

void BassUseNoSoundOutput(bool noSound) { State().noSoundRequested = noSound; }

namespace {

// The message box that follows names the old library; this says what
// failed on this machine and how to play without sound.
void ReportNoSoundDevice() {
    ReportF("sound", 0, "no sound device could be opened: %s (SDL_AUDIODRIVER=dummy plays the demo silently)",
            SDL_GetError());
}

}  // namespace

void BassSetBufferFrames(int frames) { State().requestedBufferFrames = frames > 0 ? frames : kDefaultBufferFrames; }

BOOL BASS_Init(int device, DWORD freq, DWORD flags, void* window) {
    (void)freq;
    (void)flags;
    (void)window;
    SBassState& state = State();
    if (state.initialised) return 0;
    if (state.noSoundRequested || device == 0) {
        state.initialised = true;
        return 1;
    }
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        ReportNoSoundDevice();
        return 0;
    }

    SDL_AudioSpec wanted;
    SDL_zero(wanted);
    wanted.freq = kMusicRate;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = kMusicChannels;
    wanted.samples = static_cast<Uint16>(state.requestedBufferFrames);
    wanted.callback = FillDeviceBuffer;
    wanted.userdata = &state;
    SDL_AudioSpec granted;
    SDL_zero(granted);
    // Only the buffer size may change: SDL converts the rest to whatever the
    // hardware wants.
    state.device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &granted, SDL_AUDIO_ALLOW_SAMPLES_CHANGE);
    if (!state.device) {
        ReportNoSoundDevice();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return 0;
    }
    state.bufferFrames = granted.samples;
    if (!state.atExitRegistered) {
        state.atExitRegistered = true;
        std::atexit(CloseDeviceAtExit);
    }
    state.initialised = true;
    return 1;
}

HSTREAM BASS_StreamCreateFile(BOOL mem, const char* file, DWORD offset, DWORD length) {
    (void)offset;
    (void)length;
    SBassState& state = State();
    if (!state.initialised || mem || !file) return 0;
    auto stream = std::make_unique<SBassStream>();
    std::string error;
    if (!stream->decoder.Open(file, &error)) {
        // The caller's message box cannot say which file or why.
        Report("", 0, error);
        return 0;
    }
    stream->path = file;
    state.streams.push_back(std::move(stream));
    return static_cast<HSTREAM>(state.streams.size());
}

BOOL BASS_Start() {
    SBassState& state = State();
    if (!state.initialised) return 0;
    if (state.device) SDL_PauseAudioDevice(state.device, 0);
    return 1;
}

BOOL BASS_StreamPlay(HSTREAM handle, BOOL flush, DWORD flags) {
    (void)flush;
    (void)flags;
    SBassStream* stream = FindStream(handle);
    if (!stream) return 0;
    CDeviceLock lock;
    SBassState& state = State();
    state.playing = stream;
    state.startPending = true;
    state.started = Clock::now();
    state.handedAny = false;
    return 1;
}

BOOL BASS_ChannelStop(DWORD handle) {
    SBassStream* stream = FindStream(handle);
    if (!stream) return 0;
    CDeviceLock lock;
    if (State().playing == stream) State().playing = nullptr;
    return 1;
}

BOOL BASS_Stop() {
    SBassState& state = State();
    if (!state.initialised) return 0;
    if (state.device) SDL_PauseAudioDevice(state.device, 1);
    return 1;
}

void BASS_Free() {
    SBassState& state = State();
    if (state.device) {
        SDL_CloseAudioDevice(state.device);  // waits for the audio thread
        state.device = 0;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    state.playing = nullptr;
    state.streams.clear();
    state.initialised = false;
}

DWORD BASS_ChannelGetData(DWORD handle, void* buffer, DWORD length) {
    SBassStream* stream = FindStream(handle);
    if (!stream || !buffer) return 0;
    CDeviceLock lock;
    if (State().playing == stream && State().device) return 0;
    const size_t frames = ReadStream(stream, static_cast<int16_t*>(buffer), length / kMusicFrameBytes);
    return static_cast<DWORD>(frames * kMusicFrameBytes);
}

uint64_t BASS_ChannelGetPosition(DWORD handle) {
    SBassStream* stream = FindStream(handle);
    if (!stream) return 0;
    CDeviceLock lock;
    return stream->decoder.Position() * kMusicFrameBytes;
}

BOOL BASS_ChannelSetPosition(DWORD handle, uint64_t bytes) {
    SBassStream* stream = FindStream(handle);
    if (!stream) return 0;
    CDeviceLock lock;
    return stream->decoder.Seek(bytes / kMusicFrameBytes) ? 1 : 0;
}


uint64_t BASS_ChannelGetLength(DWORD handle) {
    SBassStream* stream = FindStream(handle);
    if (!stream) return 0;
    CDeviceLock lock;
    return stream->decoder.Length() * kMusicFrameBytes;
}

BOOL BassGetPlayback(DWORD handle, SBassPlayback* playback) {
    SBassStream* stream = FindStream(handle);
    if (!stream) return 0;
    CDeviceLock lock;
    const SBassState& state = State();
    if (!state.device || state.playing != stream || state.startPending || !state.handedAny || state.musicOver)
        return 0;
    playback->bufferStart = state.bufferStart;
    playback->handedAt = std::chrono::duration<double>(state.handed.time_since_epoch()).count();
    playback->latencyFrames = state.bufferFrames;
    return 1;
}
