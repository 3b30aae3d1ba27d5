#include "shell/author_mode.h"

#include <SDL.h>

#include <chrono>
#include <string>
#include <vector>

#include "audio/bass.h"
#include "audio/mp3_stream.h"
#include "effects/effect_table.h"
#include "resources/picture_reload.h"
#include "resources/report.h"
#include "runtime/effect_manager.h"
#include "runtime/message_pump.h"
#include "runtime/timeline_check.h"
#include "shell/author_control.h"
#include "shell/demo_driver.h"
#include "shell/file_watcher.h"
#include "shell/run_span.h"
#include "shell/shell_globals.h"
#include "shell/stop_signals.h"

namespace {

// A save counts once the file has been left alone this long.
constexpr double kQuietSeconds = 0.1;
// How often a held frame is shown again (a window uncovered, resized).
constexpr double kRepaintSeconds = 0.1;
// While paused the time goes to running ahead, in slices short enough that
// keys are answered at once. Not while playing: one hidden frame can take
// tens of milliseconds (a checkpoint drawing what the frames before it
// held back), and the picture would stall.
constexpr double kLookAheadSlice = 0.03;
constexpr const char* kTimeline = "script.txt";

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

class CBassMusic : public IAuthorMusic {
public:
    void SetStream(uint32_t stream) { m_stream = stream; }

    void PlayFrom(double seconds) override {
        if (!m_stream) return;
        BASS_ChannelStop(m_stream);
        // BASS_StreamPlay starts the song as far on as the device's buffer
        // and the time to its first fill, so it is heard at `seconds`.
        const uint64_t frame = static_cast<uint64_t>((seconds > 0.0 ? seconds : 0.0) * kMusicRate);
        BASS_ChannelSetPosition(m_stream, frame * kMusicFrameBytes);
        BASS_StreamPlay(m_stream, FALSE, 0);
    }
    void Pause() override {
        if (m_stream) BASS_ChannelStop(m_stream);
    }

private:
    uint32_t m_stream = 0;
};

// The window's messages are kept for the loop instead of ending the run, also
// when "beginScene" pumps them in the middle of a frame; only a signal stops
// a pass.
class CAuthorPump : public IMessagePump {
public:
    void Pump() override {
        SDL_Event event;
        while (SDL_PollEvent(&event)) m_waiting.push_back(event);
    }
    bool StopRequested() override { return StopSignal() != 0; }

    std::vector<SDL_Event> Take() {
        Pump();
        std::vector<SDL_Event> events;
        events.swap(m_waiting);
        return events;
    }

private:
    std::vector<SDL_Event> m_waiting;
};

bool QuitsAuthorMode(const SDL_Event& event) {
    if (event.type == SDL_QUIT) return true;
    if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE) return true;
    return event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE;
}

// The command a key gives in author mode; false for keys that do nothing.
bool KeyCommand(const SDL_Keysym& key, EAuthorCommand* command) {
    const bool shift = (key.mod & KMOD_SHIFT) != 0;
    switch (key.sym) {
        case SDLK_SPACE: *command = EAuthorCommand::kTogglePause; return true;
        case SDLK_LEFT: *command = shift ? EAuthorCommand::kBackFar : EAuthorCommand::kBack; return true;
        case SDLK_RIGHT: *command = shift ? EAuthorCommand::kForwardFar : EAuthorCommand::kForward; return true;
        case SDLK_HOME: *command = EAuthorCommand::kHome; return true;
        case SDLK_LEFTBRACKET: *command = EAuthorCommand::kLoopStart; return true;
        case SDLK_RIGHTBRACKET: *command = EAuthorCommand::kLoopEnd; return true;
        case SDLK_l: *command = EAuthorCommand::kToggleLoop; return true;
        case SDLK_r: *command = EAuthorCommand::kReload; return true;
        default: return false;
    }
}

// The timeline, with what the checker says of it, and the pictures: the
// pictures feed render targets too, so the run goes back to the same moment
// either way.
bool ReloadTimelineAndPictures(uint32_t stream, std::string* problem, bool* picturesChanged) {
    std::string error;
    if (!g_effectManager.Reload(kTimeline, &error)) {
        *problem = error.empty() ? std::string("cannot read ") + kTimeline : error;
        return false;
    }
    ReportTimelineProblems(kTimeline, TimelineEffects(), SongMilliseconds(stream));
    if (!ReloadPictures(&error, picturesChanged)) Report("author", 0, "pictures: " + error + " (kept as they were)");
    return true;
}

// Plays until the user quits: 0, or 128 + the signal's number.
int AuthorLoop(const SOptions& options, CAuthorPump* pump, CAuthorRun* run, CAuthorControl* control) {
    CFileWatcher watcher;
    std::string error;
    if (!watcher.Watch(".", kTimeline, &error)) Report("author", 0, error + "; press R to reload");
    control->Begin(FrameAtSeconds(options.start, options.fps), Now());
    std::string title;
    double lastShown = Now();
    for (;;) {
        for (const SDL_Event& event : pump->Take()) {
            if (QuitsAuthorMode(event)) return 0;
            EAuthorCommand command;
            if (event.type == SDL_KEYDOWN && KeyCommand(event.key.keysym, &command)) control->Command(command, Now());
        }
        if (const int signal = StopSignal()) return StopSignalExitStatus(signal);
        if (watcher.Changed(Now(), kQuietSeconds)) control->Command(EAuthorCommand::kReload, Now());
        if (control->Update(Now())) {
            lastShown = Now();
        } else if (Now() - lastShown > kRepaintSeconds) {
            // The back buffer still holds the frame shown last.
            g_device->Present(nullptr, nullptr, nullptr, nullptr);
            lastShown = Now();
        } else {
            if (!control->Paused() || !run->LookAhead(kLookAheadSlice)) SDL_Delay(1);
        }
        if (control->Title() != title) {
            title = control->Title();
            SDL_SetWindowTitle(g_window, title.c_str());
        }
    }
}

}  // namespace

int RunAuthorMode(const SOptions& options, CRasterDevice* device) {
    CAuthorPump pump;
    SetMessagePump(&pump);
    KeepPicturesForReload(true);
    CAuthorRun run(static_cast<int>(options.fps.num), device);  // whole frames a second in the window
    CBassMusic music;
    SDemo demo;
    CAuthorControl control(&run, &music, [&](std::string* problem, bool* picturesChanged) {
        return ReloadTimelineAndPictures(demo.stream, problem, picturesChanged);
    });
    SDemoStart start;
    // The control plays the music from the moment shown.
    start.musicWithTimer = false;
    // Without a sound device the run is paced by the wall clock alone.
    start.soundOptional = true;
    int status = 1;
    if (StartDemo(start, &demo)) {
        music.SetStream(demo.stream);
        run.Start(demo);
        status = AuthorLoop(options, &pump, &run, &control);
        StopDemo(&demo);
    }
    SetMessagePump(nullptr);
    return status;
}
