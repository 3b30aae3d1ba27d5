#include "shell/demo_driver.h"

#include <cstdint>
#include <string>

#include "audio/bass.h"
#include "audio/mp3_stream.h"
#include "effects/effect_table.h"
#include "render/d3d8.h"
#include "resources/report.h"
#include "runtime/effect_manager.h"
#include "runtime/message_pump.h"
#include "runtime/timeline_check.h"
#include "shell/shell_globals.h"

namespace {

constexpr DWORD kBassInitFlags = 32;
constexpr D3DCOLOR kOpaqueBlack = 0xFF000000;

bool StartAudio(bool soundOptional) {
    if (BASS_Init(-1, 44100, kBassInitFlags, g_window)) return true;
    if (soundOptional) {
        // Streams are then only decoded, never heard.
        Report("author", 0, "playing without sound, paced by the wall clock");
        BassUseNoSoundOutput(true);
        if (BASS_Init(-1, 44100, kBassInitFlags, g_window)) return true;
    }
    ShowMessageBox("Sound Error", "Unable to initialize bass");
    return false;
}

}  // namespace

int64_t SongMilliseconds(HSTREAM stream) {
    const uint64_t bytes = BASS_ChannelGetLength(stream);
    return bytes ? static_cast<int64_t>(bytes / kMusicFrameBytes * 1000 / kMusicRate) : -1;
}

int32_t ClockToMilliseconds(float clock) {
    const long double milliseconds = static_cast<long double>(clock) * 1000;
    // Out of range only after weeks of running; saturate rather than overflow.
    if (milliseconds >= static_cast<long double>(INT32_MAX)) return INT32_MAX;
    if (milliseconds <= static_cast<long double>(INT32_MIN)) return INT32_MIN;
    return static_cast<int32_t>(milliseconds);
}

bool StartDemo(const SDemoStart& start, SDemo* demo) {
    *demo = SDemo();
    // Every audio failure ends the run before the timeline is loaded.
    if (!StartAudio(start.soundOptional)) return false;
    const HSTREAM stream = BASS_StreamCreateFile(FALSE, "Data/song.mp3", 0, 0);
    if (!stream) {
        ShowMessageBox("Sound Error", "Unable to load song");
        return false;
    }
    BASS_Start();

    std::string error;
    if (!g_effectManager.Load("script.txt", 640, 480, &error)) {
        ShowMessageBox("Timeline Error", error.c_str());
        BASS_Stop();
        BASS_Free();
        return false;
    }
    // What the checker finds is said once, before anything loads.
    ReportTimelineProblems("script.txt", TimelineEffects(), SongMilliseconds(stream));
    // Every texture and buffer is made here, before the clock starts.
    RegisterEffects(&g_effectManager);

    // Outside any scene and not presented: the back buffer starts black.
    g_device->Clear(0, nullptr, D3DCLEAR_TARGET, kOpaqueBlack, 1.0f, 0);

    // The clock and the music start together and are never compared again.
    g_timer.Start();
    if (start.musicWithTimer) BASS_StreamPlay(stream, FALSE, 0);
    demo->stream = stream;
    return true;
}

bool RunDemoPass(SDemo* demo) {
    SLoopPosition& loop = demo->loop;
    if (!demo->begun) {
        demo->begun = true;
        if (g_effectManager.Update(ClockToMilliseconds(loop.clock)) == -1) demo->ended = true;
    }
    if (demo->ended) return false;
    const bool drawn = loop.clock >= 0.0f;
    if (drawn && !g_effectManager.RenderLayers(loop.step)) {
        // Nothing after the layer that asked is drawn, the clock stays.
        demo->stopped = true;
        return true;
    }
    // The step read here is the previous tick's, so every Render gets
    // exactly the amount its frame's clock advanced by.
    loop.step = g_timer.GetDelta();
    loop.clock = loop.clock + loop.step;
    g_timer.Tick();
    if (g_effectManager.Update(ClockToMilliseconds(loop.clock)) == -1) demo->ended = true;
    if (StopRequested()) demo->stopped = true;
    return drawn;
}

void StopDemo(SDemo* demo) {
    BASS_ChannelStop(demo->stream);
    BASS_Stop();
    BASS_Free();
    g_timer.Stop();
}
