#include "shell/offline/progress.h"

#include <unistd.h>

#include <cmath>

#include "resources/report.h"

namespace {

// A terminal line can change often; a log gets a line now and then.
constexpr auto kTerminalInterval = std::chrono::milliseconds(100);
constexpr auto kLogInterval = std::chrono::seconds(5);

}  // namespace

CProgress::CProgress(const char* label, FILE* stream)
    : m_label(label),
      m_stream(stream),
      m_terminal(isatty(fileno(stream)) == 1),
      m_start(std::chrono::steady_clock::now()),
      m_lastPrint(m_start) {}

void CProgress::Update(int64_t frames, float clock) {
    if (m_frames == 0) {
        // The rate counts from the first frame, not from start-up.
        m_start = std::chrono::steady_clock::now();
        m_firstClock = clock;
    }
    m_frames = frames;
    m_clock = clock;
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastPrint < (m_terminal ? kTerminalInterval : kLogInterval)) return;
    m_lastPrint = now;
    Print();
}

void CProgress::Finish() {
    // A short run that never printed says nothing until its summary.
    if (m_terminal && m_printed) std::fputc('\n', m_stream);
}

std::string CProgress::Line() const {
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
    char line[160];
    int length = std::snprintf(line, sizeof(line), "frame %lld, timeline %.3f s", static_cast<long long>(m_frames),
                               static_cast<double>(m_clock));
    const double played = static_cast<double>(m_clock - m_firstClock);
    if (seconds > 0.0 && m_frames > 1 && played > 0.0) {
        const double speed = played / seconds;
        length += std::snprintf(line + length, sizeof(line) - static_cast<size_t>(length),
                                ", %.1f fps (%.2fx real time)", static_cast<double>(m_frames - 1) / seconds, speed);
        if (m_endClock >= static_cast<double>(m_clock)) {
            const long left = std::lround((m_endClock - static_cast<double>(m_clock)) / speed);
            std::snprintf(line + length, sizeof(line) - static_cast<size_t>(length), ", %ld:%02ld left", left / 60,
                          left % 60);
        }
    }
    return line;
}

void CProgress::Print() {
    if (m_terminal) {
        // A line rewritten in place: not a message, so not a report.
        std::fprintf(m_stream, "\r%s: %s\033[K", m_label.c_str(), Line().c_str());
        std::fflush(m_stream);
    } else {
        Report(m_label.c_str(), 0, Line());
    }
    m_printed = true;
}
