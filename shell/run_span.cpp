#include "shell/run_span.h"

#include <cmath>
#include <cstdio>

#include "resources/report.h"

int64_t FrameAtSeconds(double seconds, const SFrameRate& fps) {
    return static_cast<int64_t>(std::llround(seconds * static_cast<double>(fps.num) / static_cast<double>(fps.den)));
}

CRunSpan CRunSpan::FromOptions(const SOptions& options) {
    const int64_t first = options.startFrame >= 0 ? options.startFrame : FrameAtSeconds(options.start, options.fps);
    return CRunSpan(first, options.end >= 0.0 ? FrameAtSeconds(options.end, options.fps) : -1);
}

SDemoHooks CRunSpan::Wrap(SDemoHooks inner, std::function<void(bool hidden)> setHidden,
                          std::function<void()> onShown) {
    SDemoHooks hooks;
    hooks.musicHeld = inner.musicHeld;
    hooks.ownLoop = inner.ownLoop;
    hooks.musicStarted = [this, inner, setHidden](uint32_t stream) {
        if (m_first > 0) setHidden(true);
        if (inner.musicStarted) inner.musicStarted(stream);
    };
    hooks.beforeRender = [this, inner, setHidden, onShown](float clock) {
        if (m_passes == m_first) {
            if (m_first > 0) setHidden(false);
            if (onShown) onShown();
        }
        ++m_passes;
        if (m_passes > m_first && inner.beforeRender) inner.beforeRender(clock);
    };
    hooks.afterRender = [this, inner] {
        if (m_passes > m_first && inner.afterRender) inner.afterRender();
    };
    hooks.stopRequested = [this, inner] {
        if (m_end >= 0 && m_passes >= m_end) return true;
        return inner.stopRequested && inner.stopRequested();
    };
    return hooks;
}

bool CRunSpan::CheckReached(const SOptions& options) const {
    if (options.startFrame < 0) return CheckReached(options.start, options.fps);
    char start[48];
    std::snprintf(start, sizeof(start), "--start-frame %lld", static_cast<long long>(options.startFrame));
    return CheckReached(start, options.fps);
}

bool CRunSpan::CheckReached(double startSeconds, const SFrameRate& fps) const {
    char start[48];
    std::snprintf(start, sizeof(start), "--start %g", startSeconds);
    return CheckReached(start, fps);
}

bool CRunSpan::CheckReached(const char* start, const SFrameRate& fps) const {
    if (m_first == 0 || m_passes > m_first) return true;
    ReportF("quellbrook", 0, "%s is beyond the timeline's end, which comes after %.3f s", start,
            static_cast<double>(m_passes) / FramesPerSecond(fps));
    return false;
}
