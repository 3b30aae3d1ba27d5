#include "shell/author_control.h"

#include <cmath>
#include <cstdio>

#include "resources/report.h"

namespace {

std::string Clock(int64_t frame, int fps) {
    const int64_t ms = frame < 0 ? 0 : frame * 1000 / fps;
    char text[32];
    std::snprintf(text, sizeof(text), "%02lld:%02lld.%03lld", static_cast<long long>(ms / 60000),
                  static_cast<long long>(ms / 1000 % 60), static_cast<long long>(ms % 1000));
    return text;
}

}  // namespace

CAuthorControl::CAuthorControl(CAuthorRun* run, IAuthorMusic* music, Reload reload)
    : m_run(run), m_music(music), m_reload(std::move(reload)) {}

int64_t CAuthorControl::FramesIn(double seconds) const { return std::llround(seconds * m_run->Fps()); }

void CAuthorControl::Anchor(double now) {
    m_anchorSong = m_run->ShownSongSeconds();
    m_anchorWall = now;
    if (Paused()) {
        m_music->Pause();
    } else {
        m_music->PlayFrom(m_anchorSong);
    }
}

void CAuthorControl::Begin(int64_t frame, double now) { SeekTo(frame, now); }

void CAuthorControl::SeekTo(int64_t frame, double now) {
    m_run->Seek(frame);
    Anchor(now);
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
        case EAuthorCommand::kReload: {
            std::string problem;
            bool picturesChanged = false;
            m_run->BeforeReload();
            if (!m_reload(&problem, &picturesChanged)) {
                m_reloadProblem = problem;
                Report("author", 0, "reload: " + problem + " (playing on with what was loaded)");
                return;
            }
            m_reloadProblem.clear();
            m_run->AfterReload(picturesChanged);
            // The same moment of the edited timeline, as it would be from 0.
            SeekTo(shown, now);
            return;
        }
    }
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
    std::string title = "Quellbrook  " + Clock(m_run->Shown(), m_run->Fps()) + "  frame " +
                        std::to_string(m_run->Shown() < 0 ? 0 : m_run->Shown());
    if (m_run->Ended()) title += "  end";
    if (Paused()) title += "  paused";
    if (m_loopEnd >= 0) {
        title += std::string(m_looping ? "  looping " : "  loop ") + Clock(m_loopStart, m_run->Fps()) + "-" +
                 Clock(m_loopEnd, m_run->Fps());
    }
    if (!m_reloadProblem.empty()) title += "  reload failed: " + m_reloadProblem;
    return title;
}
