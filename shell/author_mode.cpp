#include "shell/author_mode.h"

#include <SDL.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "audio/bass.h"
#include "effects/effect_table.h"
#include "resources/picture_reload.h"
#include "resources/png_writer.h"
#include "resources/report.h"
#include "runtime/message_pump.h"
#include "shell/author_control.h"
#include "shell/author_panel.h"
#include "shell/author_reload.h"
#include "shell/bass_music.h"
#include "shell/demo_driver.h"
#include "shell/file_watcher.h"
#include "shell/offline/pass_frames.h"
#include "shell/run_span.h"
#include "shell/shell_globals.h"
#include "shell/stop_signals.h"

namespace {

// A save counts once the files have been left alone this long.
constexpr double kQuietSeconds = 0.1;
// How often a held frame is shown again (a window uncovered, resized), and
// with the panel open, so that it answers the pointer.
constexpr double kRepaintSeconds = 0.1;
constexpr double kPanelRepaintSeconds = 1.0 / 60.0;
// While paused the time goes to running ahead, in slices short enough that
// keys are answered at once. Not while playing: one hidden frame can take
// tens of milliseconds (a checkpoint drawing what the frames before it
// held back), and the picture would stall.
constexpr double kLookAheadSlice = 0.03;
constexpr const char* kTimeline = "script.txt";

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

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

// The command a key gives in author mode; false for keys that give none.
bool KeyCommand(const SDL_Keysym& key, EAuthorCommand* command) {
    const bool shift = (key.mod & KMOD_SHIFT) != 0;
    switch (key.sym) {
        case SDLK_SPACE: *command = EAuthorCommand::kTogglePause; return true;
        case SDLK_LEFT: *command = shift ? EAuthorCommand::kBackFar : EAuthorCommand::kBack; return true;
        case SDLK_RIGHT: *command = shift ? EAuthorCommand::kForwardFar : EAuthorCommand::kForward; return true;
        case SDLK_COMMA: *command = EAuthorCommand::kFrameBack; return true;
        case SDLK_PERIOD: *command = EAuthorCommand::kFrameForward; return true;
        case SDLK_PAGEUP: *command = EAuthorCommand::kPreviousEvent; return true;
        case SDLK_PAGEDOWN: *command = EAuthorCommand::kNextEvent; return true;
        case SDLK_HOME: *command = EAuthorCommand::kHome; return true;
        case SDLK_LEFTBRACKET: *command = EAuthorCommand::kLoopStart; return true;
        case SDLK_RIGHTBRACKET: *command = EAuthorCommand::kLoopEnd; return true;
        case SDLK_l: *command = EAuthorCommand::kToggleLoop; return true;
        case SDLK_m: *command = EAuthorCommand::kToggleMute; return true;
        case SDLK_MINUS: *command = EAuthorCommand::kSlower; return true;
        case SDLK_EQUALS: *command = EAuthorCommand::kFaster; return true;
        case SDLK_r: *command = EAuthorCommand::kReload; return true;
        default: return false;
    }
}

bool Exists(const std::string& path) {
    struct stat info{};
    return stat(path.c_str(), &info) == 0;
}

// F12: the frame shown, made as a capture makes it (its picture in the
// frame's size, black around), to DIR/shot-mmss.mmm.png (-2, -3, ... when
// taken already). Returns what to tell the user.
std::string WriteShot(const std::string& directory, const SFrameSize& size, CRasterDevice* device,
                      int32_t milliseconds) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "shot-%02d%02d.%03d", milliseconds / 60000, milliseconds / 1000 % 60,
                  milliseconds % 1000);
    std::string path = directory + "/" + stamp + ".png";
    for (int copy = 2; Exists(path); ++copy) path = directory + "/" + stamp + "-" + std::to_string(copy) + ".png";
    CPassFrames frame(size);
    frame.OnPresent(*device);
    std::string error;
    if (!WritePngRgb(path, frame.Frame()->data(), size.frameWidth, size.frameHeight, &error)) {
        Report("author", 0, "F12: " + error);
        return "F12 failed: " + error;
    }
    Report("author", 0, "F12: wrote " + path);
    return "wrote " + path;
}

struct SAuthorLoop {
    const SOptions* options;
    SFrameSize size;
    CAuthorPump* pump;
    CAuthorRun* run;
    CAuthorControl* control;
    CAuthorPanel* panel;
    CRasterDevice* device;
};

// Plays until the user quits: 0, or 128 + the signal's number.
int AuthorLoop(const SAuthorLoop& loop, std::vector<std::string> problems) {
    CFileWatcher watcher;
    std::string error;
    bool watching = watcher.Watch(kTimeline, &error);
    for (const std::string& picture : NotedPicturePaths()) watching = watching && watcher.Watch(picture, &error);
    if (!watching) Report("author", 0, error + "; press R to reload");
    CAuthorControl* control = loop.control;
    control->Begin(FrameAtSeconds(loop.options->start, loop.options->fps), Now(), std::move(problems));
    std::string title;
    double lastShown = Now();
    for (;;) {
        for (const SDL_Event& event : loop.pump->Take()) {
            if (QuitsAuthorMode(event)) return 0;
            if (loop.panel->HandleEvent(event) || event.type != SDL_KEYDOWN) continue;
            EAuthorCommand command;
            if (event.key.keysym.sym == SDLK_TAB) {
                loop.panel->Toggle();
            } else if (event.key.keysym.sym == SDLK_F12) {
                // Named for the time the title shows.
                const int64_t shown = std::max<int64_t>(loop.run->Shown(), 0);
                const auto at = static_cast<int32_t>(shown * 1000 / loop.run->Fps());
                control->SetNotice(WriteShot(loop.options->shotDirectory, loop.size, loop.device, at));
            } else if (KeyCommand(event.key.keysym, &command)) {
                control->Command(command, Now());
            }
        }
        if (const int signal = StopSignal()) return StopSignalExitStatus(signal);
        double seek = 0.0;
        if (loop.panel->TakeSeek(&seek)) control->SeekToSeconds(seek, Now());
        if (watcher.Changed(Now(), kQuietSeconds)) control->Command(EAuthorCommand::kReload, Now());
        const double repaint = loop.panel->Visible() ? kPanelRepaintSeconds : kRepaintSeconds;
        if (control->Update(Now())) {
            lastShown = Now();
            loop.panel->NoteFrameShown(lastShown);
        } else if (Now() - lastShown > repaint) {
            // The back buffer still holds the frame shown last.
            g_device->Present(nullptr, nullptr, nullptr, nullptr);
            lastShown = Now();
        } else {
            if (!control->Paused() || !loop.run->LookAhead(kLookAheadSlice)) SDL_Delay(1);
        }
        if (control->Title() != title) {
            title = control->Title();
            SDL_SetWindowTitle(g_window, title.c_str());
        }
    }
}

}  // namespace

int RunAuthorMode(const SOptions& options, const SFrameSize& size, CRasterDevice* device, CAuthorPanel* panel) {
    CAuthorPump pump;
    SetMessagePump(&pump);
    KeepPicturesForReload(true);
    CAuthorRun run(static_cast<int>(options.fps.num), device);  // whole frames a second in the window
    CBassMusic music;
    SDemo demo;
    SDemoStart start;
    // The control plays the music from the moment shown.
    start.musicWithTimer = false;
    // Without a sound device the run is paced by the wall clock alone.
    start.soundOptional = true;
    int status = 1;
    // What the start says of the timeline, the pictures and the sound is
    // the first list of problems on screen.
    std::vector<std::string> problems;
    bool started = false;
    {
        CReportCopy said;
        started = StartDemo(start, &demo);
        problems = said.Lines();
    }
    if (started) {
        CTimelineReloader timeline(kTimeline, TimelineEffects(), SongMilliseconds(demo.stream));
        timeline.Start();
        CAuthorControl control(&run, &music, [&timeline] { return timeline.Reload(); });
        music.SetStream(demo.stream);
        run.Start(demo);
        panel->Attach(&control, &timeline, SBeatGrid{options.bpm, options.beatOffset, 4});
        status = AuthorLoop(SAuthorLoop{&options, size, &pump, &run, &control, panel, device}, std::move(problems));
        panel->Attach(nullptr, nullptr, SBeatGrid{});
        StopDemo(&demo);
    }
    SetMessagePump(nullptr);
    return status;
}
