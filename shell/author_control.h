// Author mode's commands and pacing, apart from the window, so that tests
// drive them headless: the keys' commands, the fixed step paced by a play
// clock (the song as the sound device has taken it, or the wall clock), the
// loop, speed and mute, reloads that keep the last good timeline and the
// moment asked for, the problems they found, and the window title that says
// where the run stands.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "shell/author_reload.h"
#include "shell/author_run.h"
#include "shell/frame_clock.h"

// The music's side: the song follows every seek, pause and loop.
class IAuthorMusic {
public:
    virtual ~IAuthorMusic() = default;
    // Heard from `seconds` into the song on, from now.
    virtual void PlayFrom(double seconds) = 0;
    virtual void Pause() = 0;
    // The song's seconds heard at `now` (seconds on the steady clock), by
    // what the sound device has taken of it; false when that cannot be told
    // (no sound device, not playing, not yet begun, the song over).
    virtual bool Heard(double now, double* seconds) = 0;
};

enum class EAuthorCommand {
    kTogglePause,
    kBack,         // 1 s
    kForward,
    kBackFar,      // 10 s
    kForwardFar,
    kFrameBack,    // one frame, paused
    kFrameForward,
    kPreviousEvent,
    kNextEvent,
    kHome,
    kLoopStart,    // at the frame shown
    kLoopEnd,
    kToggleLoop,
    kToggleMute,
    kSlower,       // 1, 1/2, 1/4 of the speed
    kFaster,
    kReload,
};

class CAuthorControl {
public:
    // reload reads the timeline and the pictures again (CTimelineReloader).
    using Reload = std::function<SReloadOutcome()>;
    CAuthorControl(CAuthorRun* run, IAuthorMusic* music, Reload reload);

    // Starts playing at `frame` (from --start), `now` on the wall clock in
    // seconds; `problems` are those of the timeline it starts with.
    void Begin(int64_t frame, double now, std::vector<std::string> problems = {});
    void Command(EAuthorCommand command, double now);
    // Goes to a moment the user picked (the panel's strip or time field).
    void SeekToSeconds(double seconds, double now);
    // Runs the frames due by `now`: the latest shown, any before it hidden
    // (a frame that took longer than the step). True when a frame was shown.
    bool Update(double now);

    bool Paused() const { return m_paused || m_run->Ended(); }
    bool Looping() const { return m_looping; }
    bool Muted() const { return m_muted; }
    // 1, 0.5 or 0.25.
    double Speed() const;
    // The loop's frames; end -1 while not set.
    int64_t LoopStart() const { return m_loopStart; }
    int64_t LoopEnd() const { return m_loopEnd; }
    // The frame a reload asked for that the timeline now ends before (the
    // end is held until a save reaches it again); -1 when none.
    int64_t Awaited() const { return m_awaited; }
    // The timeline milliseconds a frame is drawn at, and the frame shown.
    int32_t MillisecondsAt(int64_t frame) { return m_clock.MillisecondsAt(frame); }
    int32_t ShownMilliseconds() { return m_clock.MillisecondsAt(m_run->Shown()); }
    // Every problem of the reloads since the last good one, newest first, as
    // reported ("script.txt:47: ...").
    const std::vector<std::string>& Problems() const { return m_problems; }
    // A short word for the title (where F12 wrote its picture).
    void SetNotice(std::string notice) { m_notice = std::move(notice); }
    // "Quellbrook  01:23.456  frame 4987  paused  looping 01:20.000-01:25.000  ..."
    std::string Title() const;

private:
    void SeekTo(int64_t frame, double now);
    void StepToEvent(bool forward, double now);
    void DoReload(double now);
    // The play clock runs from the next frame's song time at `now`.
    void Anchor(double now);
    double PlayClock(double now);
    bool MusicOn() const { return !Paused() && !m_muted && m_speed == 0; }
    int64_t FramesIn(double seconds) const;

    CAuthorRun* m_run;
    IAuthorMusic* m_music;
    Reload m_reload;
    CFrameClock m_clock;
    bool m_paused = false;
    bool m_looping = false;
    bool m_muted = false;
    int m_speed = 0;  // halvings of the speed, 0 to 2
    int64_t m_loopStart = 0;
    int64_t m_loopEnd = -1;  // -1: not set
    int64_t m_awaited = -1;
    double m_anchorSong = 0.0;
    double m_anchorWall = 0.0;
    std::vector<std::string> m_problems;
    std::string m_notice;
};
