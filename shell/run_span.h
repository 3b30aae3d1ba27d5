// The part of the timeline a run shows (--start, --end): its rendering passes
// from the first shown up to the end. The passes before the first shown are
// simulated: they run exactly as in a run from 0, every effect's Render
// included, on a hidden device, and the run's own hooks never see them, so
// the first frame shown is the very frame a run from 0 draws there.
#pragma once

#include <cstdint>
#include <functional>

#include "shell/command_line.h"
#include "shell/demo_driver.h"

// round(seconds * fps): the rendering pass that shows that moment.
int64_t FrameAtSeconds(double seconds, const SFrameRate& fps);

class CRunSpan {
public:
    // end -1: until the timeline ends.
    CRunSpan(int64_t first, int64_t end) : m_first(first), m_end(end) {}
    static CRunSpan FromOptions(const SOptions& options);

    // Hooks that hide the simulated passes from `inner` (setHidden(true) from
    // the start, setHidden(false) before the first frame shown) and stop the
    // run at the end. onShown, when set, runs once just before the first
    // frame shown is drawn: the time to start the music there.
    SDemoHooks Wrap(SDemoHooks inner, std::function<void(bool hidden)> setHidden,
                    std::function<void()> onShown = nullptr);

    int64_t First() const { return m_first; }
    // Rendering passes so far, simulated ones included.
    int64_t Passes() const { return m_passes; }
    // False, told to the user, when the timeline ended before the first
    // frame to show (that of `options`' --start or --start-frame).
    bool CheckReached(const SOptions& options) const;
    bool CheckReached(double startSeconds, const SFrameRate& fps) const;

private:
    // `start` names the option that asked for the first frame.
    bool CheckReached(const char* start, const SFrameRate& fps) const;

    int64_t m_first;
    int64_t m_end;
    int64_t m_passes = 0;
};
