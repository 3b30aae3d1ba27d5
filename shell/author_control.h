// Author mode's commands and pacing, apart from the window, so that tests
// drive them headless: the keys' commands, the fixed step paced by a play
// clock (the song's position as heard, or the wall clock), the loop, and the
// window title that says where the run stands.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "shell/author_run.h"

// The music's side: the song follows every seek, pause and loop.
class IAuthorMusic {
public:
    virtual ~IAuthorMusic() = default;
    // Heard from `seconds` into the song on, from now.
    virtual void PlayFrom(double seconds) = 0;
    virtual void Pause() = 0;
};

enum class EAuthorCommand {
    kTogglePause,
    kBack,         // 1 s
    kForward,
    kBackFar,      // 10 s
    kForwardFar,
    kHome,
    kLoopStart,    // at the frame shown
    kLoopEnd,
    kToggleLoop,
    kReload,
};

class CAuthorControl {
public:
    // reload reads the timeline and the pictures again, saying whether any
    // picture changed; false, with the reason, when the timeline could not be
    // read, and the run goes on with what it had.
    using Reload = std::function<bool(std::string* problem, bool* picturesChanged)>;
    CAuthorControl(CAuthorRun* run, IAuthorMusic* music, Reload reload);

    // Starts playing at `frame` (from --start), `now` on the wall clock in seconds.
    void Begin(int64_t frame, double now);
    void Command(EAuthorCommand command, double now);
    // Runs the frames due by `now`: the latest shown, any before it hidden
    // (a frame that took longer than the step). True when a frame was shown.
    bool Update(double now);

    bool Paused() const { return m_paused || m_run->Ended(); }
    bool Looping() const { return m_looping; }
    const std::string& ReloadProblem() const { return m_reloadProblem; }
    // "01:23.456  frame 4987  paused  looping 01:20.000-01:25.000  ..."
    std::string Title() const;

private:
    void SeekTo(int64_t frame, double now);
    // The play clock runs from the next frame's song time at `now`.
    void Anchor(double now);
    double PlayClock(double now) const { return m_anchorSong + (now - m_anchorWall); }
    int64_t FramesIn(double seconds) const;

    CAuthorRun* m_run;
    IAuthorMusic* m_music;
    Reload m_reload;
    bool m_paused = false;
    bool m_looping = false;
    int64_t m_loopStart = 0;
    int64_t m_loopEnd = -1;  // -1: not set
    double m_anchorSong = 0.0;
    double m_anchorWall = 0.0;
    std::string m_reloadProblem;
};
