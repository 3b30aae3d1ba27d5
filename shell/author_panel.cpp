#include "shell/author_panel.h"

#include <SDL.h>
#include <imgui.h>
#include <backends/imgui_impl_sdl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "effects/effect_table.h"
#include "resources/report.h"
#include "shell/shell_globals.h"

namespace {

// The frame-time graph's span, and the step of a 60 Hz display.
constexpr double kGraphSeconds = 5.0;
constexpr float kDisplayStepMs = 1000.0f / 60.0f;
constexpr float kGraphTopMs = 50.0f;
constexpr float kLabelWidth = 150.0f;
constexpr float kRulerHeight = 18.0f;
constexpr float kRowHeight = 15.0f;
// How near the pointer must be to a tick to name its line.
constexpr float kTickReach = 3.0f;
constexpr float kMinRulerSpacing = 70.0f;  // pixels between marks

constexpr ImU32 kBarColour = IM_COL32(70, 130, 200, 255);
constexpr ImU32 kTickColour = IM_COL32(255, 225, 130, 255);
constexpr ImU32 kEndColour = IM_COL32(230, 60, 60, 255);
constexpr ImU32 kLoopColour = IM_COL32(240, 200, 60, 50);
constexpr ImU32 kPlayheadColour = IM_COL32(255, 255, 255, 255);
constexpr ImU32 kGridColour = IM_COL32(255, 255, 255, 30);

std::string MinutesSeconds(double seconds) {
    const long long ms = std::llround(std::max(0.0, seconds) * 1000.0);
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld.%03lld", ms / 60000, ms / 1000 % 60, ms % 1000);
    return text;
}

// "83.5", "1:23.5" or "01:23.500" as seconds; false for anything else.
bool ParseTime(const char* text, double* seconds) {
    char* end = nullptr;
    const double first = std::strtod(text, &end);
    if (end == text || first < 0.0) return false;
    if (*end == ':') {
        const char* rest = end + 1;
        const double second = std::strtod(rest, &end);
        if (end == rest || second < 0.0 || second >= 60.0 || *end != '\0') return false;
        *seconds = std::floor(first) * 60.0 + second;
        return true;
    }
    if (*end != '\0') return false;
    *seconds = first;
    return true;
}

std::vector<std::string> EffectNames() {
    std::vector<std::string> names;
    for (const STimelineEffect& effect : TimelineEffects()) names.push_back(effect.name);
    return names;
}

}  // namespace

CAuthorPanel::CAuthorPanel(IPanelRenderer* renderer, std::string rendererName)
    : m_renderer(renderer), m_rendererName(std::move(rendererName)) {
    IMGUI_CHECKVERSION();
    ImGui::CreateContext();
    ImGuiIO& io = ImGui::GetIO();
    // Nothing is written next to the presentation.
    io.IniFilename = nullptr;
    io.LogFilename = nullptr;
    ImGui::StyleColorsDark();
    std::string error;
    m_started = m_renderer->Start(&error);
    if (!m_started) Report("author", 0, "no panel: " + error);
}

CAuthorPanel::~CAuthorPanel() {
    if (m_started) m_renderer->Stop();
    ImGui::DestroyContext();
}

void CAuthorPanel::Attach(CAuthorControl* control, const CTimelineReloader* timeline, const SBeatGrid& grid) {
    m_control = control;
    m_timeline = timeline;
    m_grid = grid;
    m_generation = -1;
    m_frameTimes.clear();
}

bool CAuthorPanel::HandleEvent(const SDL_Event& event) {
    if (!m_visible) return false;
    ImGui_ImplSDL2_ProcessEvent(&event);
    const ImGuiIO& io = ImGui::GetIO();
    switch (event.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP:
        case SDL_TEXTINPUT:
            return io.WantCaptureKeyboard;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
        case SDL_MOUSEMOTION:
        case SDL_MOUSEWHEEL:
            return io.WantCaptureMouse;
        default:
            return false;
    }
}

void CAuthorPanel::NoteFrameShown(double now) {
    const double since = m_frameTimes.empty() ? 0.0 : now - m_frameTimes.back().first;
    m_frameTimes.emplace_back(now, since * 1000.0);
    while (!m_frameTimes.empty() && now - m_frameTimes.front().first > kGraphSeconds) m_frameTimes.pop_front();
}

bool CAuthorPanel::TakeSeek(double* seconds) {
    if (!m_seekPending) return false;
    m_seekPending = false;
    *seconds = m_seek;
    return true;
}

void CAuthorPanel::DrawOverlay(int width, int height) {
    if (!m_visible || !m_control || !m_timeline) return;
    if (m_generation != m_timeline->Generation()) {
        m_generation = m_timeline->Generation();
        const std::vector<uint8_t>& bytes = m_timeline->Played();
        m_strip = CTimelineStrip(bytes.data(), bytes.size(), EffectNames());
    }
    m_renderer->NewFrame();
    // ImGui's SDL side takes the pointer from SDL's global state while the
    // window has the focus, which on X11 is refreshed only by raw device
    // motion (a warped pointer is missed): the window's own pointer, which
    // its motion events keep, is the one over the panel.
    int x = 0, y = 0;
    if (SDL_GetMouseFocus() == g_window) {
        SDL_GetMouseState(&x, &y);
        ImGui::GetIO().MousePos = ImVec2(static_cast<float>(x), static_cast<float>(y));
    }
    ImGui::NewFrame();
    Build(width, height);
    ImGui::Render();
    m_renderer->Render(ImGui::GetDrawData());
}

void CAuthorPanel::Build(int width, int height) {
    const ImGuiIO& io = ImGui::GetIO();
    // Window pixels may be finer than the sizes ImGui lays out in.
    const float scale = io.DisplayFramebufferScale.x > 0.0f ? io.DisplayFramebufferScale.x : 1.0f;
    const float w = static_cast<float>(width) / scale;
    const float h = static_cast<float>(height) / scale;
    const float panelHeight = std::max(240.0f, h * 0.42f);
    ImGui::SetNextWindowPos(ImVec2(0.0f, h - panelHeight));
    ImGui::SetNextWindowSize(ImVec2(w, panelHeight));
    ImGui::SetNextWindowBgAlpha(0.88f);
    ImGui::Begin("Timeline", nullptr,
                 ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoCollapse |
                     ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoTitleBar);
    const double shown = m_control->ShownMilliseconds() / 1000.0;
    ImGui::Text("%s", MinutesSeconds(shown).c_str());
    ImGui::SameLine();
    ImGui::SetNextItemWidth(110.0f);
    if (ImGui::InputTextWithHint("##goto", "go to m:ss.s", m_typed, sizeof m_typed,
                                 ImGuiInputTextFlags_EnterReturnsTrue)) {
        double seconds = 0.0;
        if (ParseTime(m_typed, &seconds)) {
            m_seek = seconds;
            m_seekPending = true;
            m_typed[0] = '\0';
        }
    }
    ImGui::SameLine();
    ImGui::TextDisabled("end %s   %zu layers   drawn with %s", MinutesSeconds(m_strip.End() / 1000.0).c_str(),
                        m_strip.Rows().size(), m_rendererName.c_str());
    BuildStrip(ImGui::GetContentRegionAvail().x);
    BuildLists();
    ImGui::End();
}

void CAuthorPanel::BuildStrip(float width) {
    const float stripHeight = std::min(ImGui::GetContentRegionAvail().y * 0.55f,
                                       kRulerHeight + kRowHeight * static_cast<float>(m_strip.Rows().size()) + 4.0f);
    ImGui::BeginChild("strip", ImVec2(width, stripHeight), true);
    ImDrawList* draw = ImGui::GetWindowDrawList();
    const ImVec2 origin = ImGui::GetCursorScreenPos();
    const float scrolled = ImGui::GetScrollY();
    const float left = origin.x + kLabelWidth;
    const float right = origin.x + ImGui::GetContentRegionAvail().x;
    const double span = std::max(1.0, m_strip.End() / 1000.0);
    const auto x = [&](double seconds) { return left + static_cast<float>(seconds / span) * (right - left); };
    const float rowsTop = origin.y + kRulerHeight;
    const float rowsBottom = rowsTop + kRowHeight * static_cast<float>(m_strip.Rows().size());
    // The ruler stays in view over rows that scroll.
    const float rulerTop = origin.y + scrolled;

    // The whole strip takes clicks and drags: the pointer's time is the moment asked for.
    ImGui::InvisibleButton("##strip", ImVec2(std::max(1.0f, right - origin.x), std::max(kRulerHeight, rowsBottom - origin.y)));
    const ImVec2 mouse = ImGui::GetIO().MousePos;
    if (ImGui::IsItemActive() && mouse.x >= left) {
        m_seek = std::clamp((mouse.x - left) / (right - left), 0.0f, 1.0f) * span;
        m_seekPending = true;
    }

    const double spacing = kMinRulerSpacing / (right - left) * span;
    for (const SRulerMark& mark : RulerMarks(0.0, span, spacing, m_grid)) {
        const float at = x(mark.seconds);
        draw->AddLine(ImVec2(at, rulerTop), ImVec2(at, rowsBottom), kGridColour);
        draw->AddText(ImVec2(at + 2.0f, rulerTop), IM_COL32(200, 200, 200, 255), mark.label.c_str());
    }
    if (m_control->LoopEnd() >= 0) {
        const float from = x(m_control->MillisecondsAt(m_control->LoopStart()) / 1000.0);
        const float to = x(m_control->MillisecondsAt(m_control->LoopEnd()) / 1000.0);
        draw->AddRectFilled(ImVec2(from, rulerTop), ImVec2(to, rowsBottom), kLoopColour);
    }
    const std::vector<SStripEvent>& events = m_strip.Events();
    std::string hovered;
    for (size_t i = 0; i < m_strip.Rows().size(); ++i) {
        const SStripRow& row = m_strip.Rows()[i];
        const float top = rowsTop + kRowHeight * static_cast<float>(i);
        draw->AddText(ImVec2(origin.x + 2.0f, top), IM_COL32(220, 220, 220, 255), row.label.c_str());
        for (const SStripBar& bar : row.bars) {
            draw->AddRectFilled(ImVec2(x(bar.from / 1000.0), top + 3.0f), ImVec2(x(bar.to / 1000.0), top + kRowHeight - 3.0f),
                                kBarColour);
        }
        for (size_t tick : row.ticks) {
            const float at = x(events[tick].fires / 1000.0);
            draw->AddLine(ImVec2(at, top + 1.0f), ImVec2(at, top + kRowHeight - 1.0f), kTickColour);
            if (hovered.empty() && ImGui::IsItemHovered() && std::fabs(mouse.x - at) <= kTickReach && mouse.y >= top &&
                mouse.y < top + kRowHeight) {
                hovered = "line " + std::to_string(events[tick].line) + ": " + events[tick].text;
            }
        }
    }
    const float end = x(m_strip.End() / 1000.0);
    draw->AddLine(ImVec2(end, rulerTop), ImVec2(end, rowsBottom), kEndColour, 2.0f);
    const float playhead = x(m_control->ShownMilliseconds() / 1000.0);
    draw->AddLine(ImVec2(playhead, rulerTop), ImVec2(playhead, rowsBottom), kPlayheadColour, 2.0f);
    if (!hovered.empty()) ImGui::SetTooltip("%s", hovered.c_str());
    ImGui::EndChild();
}

void CAuthorPanel::BuildLists() {
    const float half = ImGui::GetContentRegionAvail().x * 0.5f;
    const float height = ImGui::GetContentRegionAvail().y;
    ImGui::BeginChild("active", ImVec2(half - 4.0f, height), true);
    ImGui::TextDisabled("in force at %s", MinutesSeconds(m_control->ShownMilliseconds() / 1000.0).c_str());
    for (const SActiveLine& line : m_strip.ActiveAt(m_control->ShownMilliseconds())) {
        ImGui::Text("%3d %-12s line %d: %s", line.layer, line.effect.c_str(), line.line, line.text.c_str());
    }
    ImGui::EndChild();
    ImGui::SameLine();
    ImGui::BeginChild("side", ImVec2(0.0f, height), true);
    BuildFrameTimes();
    const std::vector<std::string>& problems = m_control->Problems();
    if (problems.empty()) {
        ImGui::TextDisabled("no problems");
    } else {
        ImGui::TextColored(ImVec4(1.0f, 0.6f, 0.4f, 1.0f), "%zu %s, newest first", problems.size(),
                           problems.size() == 1 ? "problem" : "problems");
        for (const std::string& problem : problems) ImGui::TextWrapped("%s", problem.c_str());
    }
    ImGui::EndChild();
}

void CAuthorPanel::BuildFrameTimes() {
    // The first interval starts before the graph.
    std::vector<float> times(1, 0.0f);
    for (size_t i = 1; i < m_frameTimes.size(); ++i) times.push_back(static_cast<float>(m_frameTimes[i].second));
    const ImVec2 size(ImGui::GetContentRegionAvail().x, 50.0f);
    const ImVec2 at = ImGui::GetCursorScreenPos();
    char caption[64];
    std::snprintf(caption, sizeof caption, "frame times, last %.0f s", kGraphSeconds);
    ImGui::PlotLines("##frames", times.data(), static_cast<int>(times.size()), 0, caption, 0.0f, kGraphTopMs, size);
    const float line = at.y + size.y * (1.0f - kDisplayStepMs / kGraphTopMs);
    ImGui::GetWindowDrawList()->AddLine(ImVec2(at.x, line), ImVec2(at.x + size.x, line), IM_COL32(120, 220, 120, 200));
    ImGui::GetWindowDrawList()->AddText(ImVec2(at.x + 2.0f, line - 14.0f), IM_COL32(120, 220, 120, 255), "16.7 ms");
}
