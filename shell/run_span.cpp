#include "shell/run_span.h"

#include <cmath>
#include <cstdio>

#include "render/core/raster_device.h"
#include "resources/report.h"

int64_t FrameAtSeconds(double seconds, const SFrameRate& fps) {
    return static_cast<int64_t>(std::llround(seconds * static_cast<double>(fps.num) / static_cast<double>(fps.den)));
}

CRunSpan CRunSpan::FromOptions(const SOptions& options) {
    const int64_t first = options.startFrame >= 0 ? options.startFrame : FrameAtSeconds(options.start, options.fps);
    return CRunSpan(first, options.end >= 0.0 ? FrameAtSeconds(options.end, options.fps) : -1);
}

bool CRunSpan::EnterPass(CRasterDevice* device) {
    if (device && m_first > 0 && m_passes == 0) device->SetHidden(true);
    if (device && m_first > 0 && m_passes == m_first) device->SetHidden(false);
    ++m_passes;
    return m_passes > m_first;
}

bool CRunSpan::CheckReached(const SOptions& options) const {
    char start[48];
    if (options.startFrame < 0) {
        std::snprintf(start, sizeof(start), "--start %g", options.start);
    } else {
        std::snprintf(start, sizeof(start), "--start-frame %lld", static_cast<long long>(options.startFrame));
    }
    return CheckReached(start, options.fps);
}

bool CRunSpan::CheckReached(const char* start, const SFrameRate& fps) const {
    if (m_first == 0 || m_passes > m_first) return true;
    ReportF("quellbrook", 0, "%s is beyond the timeline's end, which comes after %.3f s", start,
            static_cast<double>(m_passes) / FramesPerSecond(fps));
    return false;
}
