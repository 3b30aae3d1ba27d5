#include "shell/author_control.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "runtime/effect_manager.h"

namespace {

// Problems kept on screen across reloads that did not play; the oldest go.
constexpr size_t kMaxProblems = 100;

std::string Clock(int64_t frame, int fps) {
    const int64_t ms = frame < 0 ? 0 : frame * 1000 / fps;
    char text[32];
    std::snprintf(text, sizeof(text), "%02lld:%02lld.%03lld", static_cast<long long>(ms / 60000),
                  static_cast<long long>(ms / 1000 % 60), static_cast<long long>(ms % 1000));
    return text;
}

// When each event of the timeline loaded fires: at its time, or later when
// an event listed before it is due later (events fire strictly in order).
std::vector<int32_t> FiringTimes() {
    std::vector<int32_t> times;
    int32_t latest = INT32_MIN;
    for (int i = 0; const CScriptEvent* event = g_effectManager.EventAt(i); ++i) {
        if (event->command == 'F') break;
        latest = std::max(latest, event->time);
        times.push_back(latest);
    }
    return times;
}

}  // namespace

CAuthorControl::CAuthorControl(CAuthorRun* run, IAuthorMusic* music, Reload reload)
    : m_run(run), m_music(music), m_reload(std::move(reload)), m_clock(run->Fps()) {}

int64_t CAuthorControl::FramesIn(double seconds) const { return std::llround(seconds * m_run->Fps()); }

double CAuthorControl::Speed() const { return 1.0 / (1 << m_speed); }

void CAuthorControl::Anchor(double now) {
    m_anchorSong = m_run->ShownSongSeconds();
    m_anchorWall = now;
    if (MusicOn()) {
        m_music->PlayFrom(m_anchorSong);
    } else {
        m_music->Pause();
    }
}

double CAuthorControl::PlayClock(double now) {
    double heard = 0.0;
    // The device's own pace; the wall clock carries on from the last reading
    // whenever it cannot be told.
    if (MusicOn() && m_music->Heard(now, &heard)) {
        m_anchorSong = heard;
        m_anchorWall = now;
        return heard;
    }
    return m_anchorSong + (now - m_anchorWall) * Speed();
}

void CAuthorControl::Begin(int64_t frame, double now, std::vector<std::string> problems) {
    m_problems = std::move(problems);
    SeekTo(frame, now);
}

void CAuthorControl::SeekTo(int64_t frame, double now) {
    m_awaited = -1;
    m_run->Seek(frame);
    Anchor(now);
}

void CAuthorControl::SeekToSeconds(double seconds, double now) { SeekTo(FramesIn(seconds), now); }

void CAuthorControl::StepToEvent(bool forward, double now) {
    const int64_t shown = std::max<int64_t>(m_run->Shown(), 0);
    const std::vector<int32_t> times = FiringTimes();
    if (forward) {
        const int32_t at = m_clock.MillisecondsAt(shown);
        const auto next = std::upper_bound(times.begin(), times.end(), at);
        const int64_t frame = next == times.end() ? -1 : m_clock.FirstFrameAt(*next);
        if (frame >= 0) SeekTo(frame, now);
        return;
    }
    // The latest moment before the frame shown at which an event fired.
    if (shown == 0) return;
    const int32_t before = m_clock.MillisecondsAt(shown - 1);
    const auto after = std::upper_bound(times.begin(), times.end(), before);
    SeekTo(after == times.begin() ? 0 : m_clock.FirstFrameAt(*std::prev(after)), now);
}

void CAuthorControl::Command(EAuthorCommand command, double now) {
    const int64_t shown = m_run->Shown();
    switch (command) {
        case EAuthorCommand::kTogglePause:
            // At the end there is nothing to play on to: it stays held.
            if (m_run->Ended()) return;
            m_paused = !m_paused;
            Anchor(now);
            return;
        case EAuthorCommand::kBack: SeekTo(shown - FramesIn(1.0), now); return;
        case EAuthorCommand::kForward: SeekTo(shown + FramesIn(1.0), now); return;
        case EAuthorCommand::kBackFar: SeekTo(shown - FramesIn(10.0), now); return;
        case EAuthorCommand::kForwardFar: SeekTo(shown + FramesIn(10.0), now); return;
        case EAuthorCommand::kFrameBack:
        case EAuthorCommand::kFrameForward:
            // Frame by frame is looked at standing still.
            m_paused = true;
            SeekTo(shown + (command == EAuthorCommand::kFrameBack ? -1 : 1), now);
            return;
        case EAuthorCommand::kPreviousEvent: StepToEvent(false, now); return;
        case EAuthorCommand::kNextEvent: StepToEvent(true, now); return;
        case EAuthorCommand::kHome: SeekTo(0, now); return;
        case EAuthorCommand::kLoopStart:
            m_loopStart = shown;
            if (m_loopEnd >= 0 && m_loopEnd <= m_loopStart) m_loopEnd = -1;
            return;
        case EAuthorCommand::kLoopEnd:
            if (shown > m_loopStart) m_loopEnd = shown;
            return;
        case EAuthorCommand::kToggleLoop:
            m_looping = !m_looping && m_loopEnd > m_loopStart;
            if (m_looping && (shown < m_loopStart || shown > m_loopEnd)) SeekTo(m_loopStart, now);
            return;
        case EAuthorCommand::kToggleMute:
            m_muted = !m_muted;
            Anchor(now);
            return;
        case EAuthorCommand::kSlower:
        case EAuthorCommand::kFaster: {
            const int speed = std::clamp(m_speed + (command == EAuthorCommand::kSlower ? 1 : -1), 0, 2);
            if (speed == m_speed) return;
            m_speed = speed;
            // The picture goes on from where it is, at the new pace.
            Anchor(now);
            return;
        }
        case EAuthorCommand::kReload: DoReload(now); return;
    }
}

void CAuthorControl::DoReload(double now) {
    const int64_t shown = m_run->Shown();
    m_run->BeforeReload();
    SReloadOutcome outcome = m_reload();
    if (outcome.kept) {
        // The timeline that plays still has its own problems: below.
        outcome.problems.insert(outcome.problems.end(), m_problems.begin(), m_problems.end());
        if (outcome.problems.size() > kMaxProblems) outcome.problems.resize(kMaxProblems);
    }
    m_problems = std::move(outcome.problems);
    if (!outcome.changed) return;
    m_run->AfterReload(outcome.picturesChanged);
    // The same moment of the edited timeline, as it would be from 0; one it
    // no longer reaches is waited for while its end is held.
    const int64_t wanted = m_awaited >= 0 ? m_awaited : shown;
    m_run->Seek(wanted);
    m_awaited = m_run->Shown() < wanted ? wanted : -1;
    Anchor(now);
}

bool CAuthorControl::Update(double now) {
    if (Paused()) return false;
    const double frame = 1.0 / m_run->Fps();
    const double clock = PlayClock(now);
    bool shown = false;
    const bool wasEnded = m_run->Ended();
    // The next frame is due one step after the one shown.
    const auto due = [&] { return m_run->ShownSongSeconds() + frame; };
    while (!m_run->Ended() && due() <= clock) {
        if (m_looping && m_run->Next() > m_loopEnd) {
            SeekTo(m_loopStart, now);
            return true;
        }
        // Behind: frames whose successor is due too are not shown.
        const bool last = due() + frame > clock;
        if (m_run->Advance(last)) shown = shown || last;
    }
    // Held on the last frame, paused, with the music stopped.
    if (m_run->Ended() && !wasEnded) m_music->Pause();
    return shown;
}

std::string CAuthorControl::Title() const {
    const int fps = m_run->Fps();
    std::string title = "Quellbrook  " + Clock(m_run->Shown(), fps) + "  frame " +
                        std::to_string(m_run->Shown() < 0 ? 0 : m_run->Shown());
    if (m_run->Ended()) title += "  end";
    if (Paused()) title += "  paused";
    if (m_speed == 1) title += "  1/2 speed";
    if (m_speed == 2) title += "  1/4 speed";
    if (m_muted || m_speed > 0) title += "  muted";
    if (m_loopEnd >= 0) {
        title += std::string(m_looping ? "  looping " : "  loop ") + Clock(m_loopStart, fps) + "-" +
                 Clock(m_loopEnd, fps);
    }
    if (m_awaited >= 0) title += "  held: the timeline now ends before " + Clock(m_awaited, fps);
    if (!m_notice.empty()) title += "  " + m_notice;
    if (!m_problems.empty()) {
        title += "  |  " + std::to_string(m_problems.size()) +
                 (m_problems.size() == 1 ? " problem: " : " problems, newest: ") + m_problems.front();
    }
    return title;
}
