#include "runtime/timeline_strip.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#include "runtime/effect_manager.h"
#include "runtime/script_syntax.h"

namespace {

struct SLayerState {
    std::string effect;  // empty: none
    bool enabled = false;
    int32_t since = 0;   // when it was last drawn from
    size_t row = 0;
    std::vector<std::string> effects;  // every one it was given, in order
};

bool Drawn(const SLayerState& layer) { return layer.enabled && !layer.effect.empty(); }

}  // namespace

CTimelineStrip::CTimelineStrip(const uint8_t* bytes, size_t size, const std::vector<std::string>& effects) {
    std::map<int, SLayerState> layers;
    int32_t latest = INT32_MIN;
    bool any = false;
    auto layerFor = [&](int index) -> SLayerState& {
        auto found = layers.find(index);
        if (found != layers.end()) return found->second;
        SLayerState& layer = layers[index];
        layer.row = m_rows.size();
        m_rows.push_back(SStripRow{index, {}, {}, {}});
        return layer;
    };
    for (SStoredLine& line : StoredTimelineLines(bytes, size)) {
        CScriptEvent event;
        const std::string text = line.text;
        if (text[0] == 'F') {
            ParseEndLine(text.c_str(), &event);
        } else {
            ParseEventLine(&line.text[0], &event);
        }
        // In file order: an event not yet due holds back every later one.
        latest = any ? std::max(latest, event.time) : event.time;
        any = true;
        if (event.command == 'F') break;
        SStripEvent strip{line.number, text, latest, -1, {}};
        const int index = event.ints[0];
        const bool validLayer = index >= 0 && index < kLayerCount;
        const bool known = std::find(effects.begin(), effects.end(), event.name) != effects.end();
        if (validLayer && (event.command == 'l' || (event.command == 'e' && event.subCommand == 's'))) {
            strip.layer = index;
            SLayerState& layer = layerFor(index);
            const bool wasDrawn = Drawn(layer);
            if (event.command == 'e' && known) {
                layer.effect = event.name;
                layer.enabled = true;
                strip.effect = event.name;
                if (std::find(layer.effects.begin(), layer.effects.end(), layer.effect) == layer.effects.end())
                    layer.effects.push_back(layer.effect);
            } else if (event.command == 'l' && event.subCommand == 'h') {
                layer.enabled = false;
            } else if (event.command == 'l' && event.subCommand == 's' && !layer.effect.empty()) {
                layer.enabled = true;
            }
            SStripRow& row = m_rows[layer.row];
            if (Drawn(layer) && !wasDrawn) layer.since = latest;
            if (!Drawn(layer) && wasDrawn && latest > layer.since) row.bars.push_back({layer.since, latest});
            row.ticks.push_back(m_events.size());
        }
        m_events.push_back(std::move(strip));
    }
    m_end = any ? latest : 0;
    for (auto& [index, layer] : layers) {
        SStripRow& row = m_rows[layer.row];
        if (Drawn(layer) && m_end > layer.since) row.bars.push_back({layer.since, m_end});
        row.label = std::to_string(index) + " ";
        for (size_t i = 0; i < layer.effects.size(); ++i) row.label += (i > 0 ? ", " : "") + layer.effects[i];
        if (layer.effects.empty()) row.label += "(no effect)";
    }
    std::sort(m_rows.begin(), m_rows.end(), [](const SStripRow& a, const SStripRow& b) { return a.layer < b.layer; });
}

std::vector<SActiveLine> CTimelineStrip::ActiveAt(int32_t milliseconds) const {
    std::map<int, SActiveLine> lines;
    for (const SStripEvent& event : m_events) {
        if (event.fires > milliseconds) break;
        if (event.layer < 0) continue;
        SActiveLine& line = lines[event.layer];
        line = SActiveLine{event.layer, line.effect, event.line, event.text};
        if (!event.effect.empty()) line.effect = event.effect;
    }
    std::vector<SActiveLine> active;
    for (const SStripRow& row : m_rows) {
        const bool shown = std::any_of(row.bars.begin(), row.bars.end(), [&](const SStripBar& bar) {
            return bar.from <= milliseconds && milliseconds < bar.to;
        });
        const auto line = lines.find(row.layer);
        if (shown && line != lines.end()) active.push_back(line->second);
    }
    return active;
}

namespace {

std::string SecondsLabel(double seconds, bool tenths) {
    const long long tenthsTotal = std::llround(seconds * 10.0);
    char text[32];
    if (tenths) {
        std::snprintf(text, sizeof text, "%lld:%02lld.%lld", tenthsTotal / 600, tenthsTotal / 10 % 60, tenthsTotal % 10);
    } else {
        const long long whole = std::llround(seconds);
        std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    }
    return text;
}

}  // namespace

std::vector<SRulerMark> RulerMarks(double from, double to, double spacing, const SBeatGrid& grid) {
    std::vector<SRulerMark> marks;
    if (!(to > from) || !(spacing > 0.0)) return marks;
    if (grid.bpm > 0.0) {
        const double beat = 60.0 / grid.bpm;
        const int perBar = std::max(1, grid.beatsPerBar);
        // A beat, then whole bars, doubling.
        int64_t step = 1;
        if (beat < spacing) {
            step = perBar;
            while (step * beat < spacing) step *= 2;
        }
        const int64_t first = std::max<int64_t>(0, static_cast<int64_t>(std::ceil((from - grid.offset) / beat)));
        for (int64_t index = (first + step - 1) / step * step;; index += step) {
            const double at = grid.offset + index * beat;
            if (at > to) break;
            const int64_t bar = index / perBar + 1;
            const int64_t inBar = index % perBar + 1;
            marks.push_back({at, inBar == 1 ? std::to_string(bar) : std::to_string(bar) + "." + std::to_string(inBar)});
        }
        return marks;
    }
    static constexpr double kSteps[] = {0.1, 0.2, 0.5, 1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 1800, 3600};
    double step = kSteps[sizeof kSteps / sizeof kSteps[0] - 1];
    for (double candidate : kSteps) {
        if (candidate >= spacing) {
            step = candidate;
            break;
        }
    }
    for (int64_t index = static_cast<int64_t>(std::ceil(from / step - 1e-9));; ++index) {
        const double at = index * step;
        if (at > to + 1e-9) break;
        marks.push_back({at, SecondsLabel(at, step < 1.0)});
    }
    return marks;
}
