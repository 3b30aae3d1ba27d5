#include "shell/offline/progress.h"

#include <unistd.h>

namespace {

// A terminal line can change often; a log gets a line now and then.
constexpr auto kTerminalInterval = std::chrono::milliseconds(100);
constexpr auto kLogInterval = std::chrono::seconds(5);

}  // namespace

CProgress::CProgress(const char* label, FILE* stream)
    : m_label(label),
      m_stream(stream),
      m_terminal(isatty(fileno(stream)) == 1),
      m_lastPrint(std::chrono::steady_clock::now()) {}

void CProgress::Update(int64_t frames, float clock) {
    m_frames = frames;
    m_clock = clock;
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastPrint < (m_terminal ? kTerminalInterval : kLogInterval)) return;
    m_lastPrint = now;
    Print(m_terminal ? '\r' : '\n');
}

void CProgress::Finish() {
    // A short run that never printed says nothing until its summary.
    if (m_terminal && m_printed) Print('\n');
}

void CProgress::Print(char end) {
    std::fprintf(m_stream, "%s: frame %lld, timeline %.3f s%c", m_label, static_cast<long long>(m_frames),
                 static_cast<double>(m_clock), end);
    std::fflush(m_stream);
    m_printed = true;
}
