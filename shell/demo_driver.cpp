#include "shell/demo_driver.h"

#include <cstdint>
#include <string>

#include "audio/bass.h"
#include "audio/mp3_stream.h"
#include "render/d3d8.h"
#include "resources/report.h"
#include "runtime/effect_manager.h"
#include "runtime/timeline_check.h"
#include "shell/effect_table.h"
#include "shell/shell_globals.h"

namespace {

constexpr DWORD kBassInitFlags = 32;
constexpr D3DCOLOR kOpaqueBlack = 0xFF000000;
void RunMainLoop(const SDemoHooks& hooks) {
    SLoopPosition position;
    if (!BeginMainLoop(position)) return;
    while (RunMainLoopPass(&position, hooks)) {
        if (hooks.stopRequested && hooks.stopRequested()) return;
    }
}

}  // namespace

bool BeginMainLoop(const SLoopPosition& position) {
    return g_effectManager.Update(ClockToMilliseconds(position.clock)) != -1;
}

bool RunMainLoopPass(SLoopPosition* position, const SDemoHooks& hooks) {
    if (position->clock >= 0.0f) {
        if (hooks.beforeRender) hooks.beforeRender(position->clock);
        g_effectManager.RenderLayers(position->step);
        if (hooks.afterRender) hooks.afterRender();
    }
    // The step read here is the previous tick's, so every Render gets
    // exactly the amount its frame's clock advanced by.
    position->step = g_timer.GetDelta();
    position->clock = position->clock + position->step;
    g_timer.Tick();
    return g_effectManager.Update(ClockToMilliseconds(position->clock)) != -1;
}

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

bool RunDemo(const SDemoHooks& hooks) {
    // Every audio failure ends the run before the timeline is loaded.
    if (BASS_GetVersion() != kBassVersion) {
        ShowMessageBox("Incorrect BASS.DLL", "BASS version 1.2 was not loaded");
        return false;
    }
    if (!BASS_Init(-1, 44100, kBassInitFlags, g_window)) {
        ShowMessageBox("Sound Error", "Unable to initialize bass");
        return false;
    }
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
    if (!hooks.musicHeld) BASS_StreamPlay(stream, FALSE, 0);
    if (hooks.musicStarted) hooks.musicStarted(stream);

    if (hooks.ownLoop) {
        hooks.ownLoop();
    } else {
        RunMainLoop(hooks);
    }

    BASS_ChannelStop(stream);
    BASS_Stop();
    BASS_Free();
    g_timer.Stop();
    return true;
}
