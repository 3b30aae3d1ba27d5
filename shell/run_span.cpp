#include "shell/run_span.h"

#include <cmath>

#include "render/core/raster_device.h"
#include "resources/report.h"

int64_t FrameAtSeconds(double seconds, const SFrameRate& fps) {
    return static_cast<int64_t>(std::llround(seconds * static_cast<double>(fps.num) / static_cast<double>(fps.den)));
}

CRunSpan CRunSpan::FromOptions(const SOptions& options) {
    const int64_t first = FrameAtSeconds(options.start, options.fps);
    return CRunSpan(first, options.end >= 0.0 ? FrameAtSeconds(options.end, options.fps) : -1);
}

bool CRunSpan::EnterPass(CRasterDevice* device) {
    if (m_first > 0 && m_passes == 0) device->SetHidden(true);
    if (m_first > 0 && m_passes == m_first) device->SetHidden(false);
    ++m_passes;
    return m_passes > m_first;
}

bool CRunSpan::CheckReached(double startSeconds, const SFrameRate& fps) const {
    if (m_first == 0 || m_passes > m_first) return true;
    ReportF("quellbrook", 0, "--start %g is beyond the timeline's end, which comes after %.3f s", startSeconds,
            static_cast<double>(m_passes) / FramesPerSecond(fps));
    return false;
}
