// The part of the timeline a run shows (--start, --end): its drawing passes
// from the first shown up to the end. The passes before the first shown are
// simulated: they run exactly as in a run from 0, every effect's Render
// included, on a hidden device, and the run does nothing else with them, so
// the first frame shown is the very frame a run from 0 draws there.
#pragma once

#include <cstdint>

#include "shell/command_line.h"

class CRasterDevice;

// round(seconds * fps): the drawing pass that shows that moment.
int64_t FrameAtSeconds(double seconds, const SFrameRate& fps);

class CRunSpan {
public:
    // end -1: until the timeline ends.
    CRunSpan(int64_t first, int64_t end) : m_first(first), m_end(end) {}
    static CRunSpan FromOptions(const SOptions& options);

    // Before each drawing pass: hides the device (when there is one) for the
    // simulated ones and shows it again for the first one shown. True when
    // the pass is shown.
    bool EnterPass(CRasterDevice* device);
    // Whether the pass just entered is the first one shown.
    bool FirstShown() const { return m_passes == m_first + 1; }
    // The end has been reached: the run stops before the next pass.
    bool Over() const { return m_end >= 0 && m_passes >= m_end; }

    int64_t First() const { return m_first; }
    // The pass the run stops before; -1 for the timeline's end.
    int64_t End() const { return m_end; }
    // Drawing passes so far, simulated ones included.
    int64_t Passes() const { return m_passes; }
    // False, told to the user, when the timeline ended before the first
    // frame to show (that of `options`' --start or --start-frame).
    bool CheckReached(const SOptions& options) const;

private:
    // `start` names the option that asked for the first frame.
    bool CheckReached(const char* start, const SFrameRate& fps) const;

    int64_t m_first;
    int64_t m_end;
    int64_t m_passes = 0;
};
