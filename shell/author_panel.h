// Author mode's panel below the picture, drawn with Dear ImGui over the frame
// shown (Tab shows or hides it): the timeline strip (rows, bars, ticks, the
// end, the loop and the playhead over a ruler in seconds or bars), seeking by
// click, drag or a typed time, the lines in force, the problems, and the
// frame times. What it shows comes from CTimelineStrip and the control.
#pragma once

#include <deque>
#include <utility>
#include <string>

#include "shell/author_control.h"
#include "shell/panel_renderer.h"
#include "runtime/timeline_strip.h"
#include "shell/window_overlay.h"

union SDL_Event;

class CAuthorPanel : public IWindowOverlay {
public:
    // `renderer` draws it (not owned); `rendererName` is shown.
    CAuthorPanel(IPanelRenderer* renderer, std::string rendererName);
    ~CAuthorPanel() override;
    CAuthorPanel(const CAuthorPanel&) = delete;
    CAuthorPanel& operator=(const CAuthorPanel&) = delete;

    // What it shows: the run's control, the timeline that plays, the ruler's beats.
    void Attach(CAuthorControl* control, const CTimelineReloader* timeline, const SBeatGrid& grid);
    bool Visible() const { return m_visible; }
    void Toggle() { m_visible = !m_visible && m_started; }
    // Hands a window event to the panel; true when the panel takes it (the
    // pointer over it, typing in its field), so it is no key command.
    bool HandleEvent(const SDL_Event& event);
    // A frame was shown at `now` (seconds): for the frame-time graph.
    void NoteFrameShown(double now);
    // The moment picked on the strip or typed in since the last call, in
    // seconds; false when none. Seeks are made by the loop, never while
    // the panel draws (drawing happens inside a Present).
    bool TakeSeek(double* seconds);

    void DrawOverlay(int width, int height) override;

private:
    void Build(int width, int height);
    void BuildStrip(float width);
    void BuildLists();
    void BuildFrameTimes();

    IPanelRenderer* m_renderer;
    std::string m_rendererName;
    bool m_started = false;
    bool m_visible = false;
    CAuthorControl* m_control = nullptr;
    const CTimelineReloader* m_timeline = nullptr;
    SBeatGrid m_grid;
    int m_generation = -1;
    CTimelineStrip m_strip;
    std::deque<std::pair<double, double>> m_frameTimes;  // when shown, ms since the one before
    bool m_seekPending = false;
    double m_seek = 0.0;
    char m_typed[32] = {};
};
