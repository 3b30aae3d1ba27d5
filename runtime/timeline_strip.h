// What the author panel shows of a timeline, worked out from its bytes as
// the loader and the effect manager read them, without any drawing: a row
// per layer used, with the bars where it is drawn and a tick per event on
// it, the end, the lines in force at a moment, and the ruler's marks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct SStripEvent {
    int line = 0;          // in the file, from 1
    std::string text;      // the line as read
    int32_t fires = 0;     // when it fires: its time, or a later one listed before it
    int layer = -1;        // the layer it acts on; -1: none ("g", "e p")
    std::string effect;    // the effect it puts on its layer ("e ... s"), if it is one the run has
};

// Milliseconds; `to` is the end for a layer still drawn there.
struct SStripBar {
    int32_t from = 0;
    int32_t to = 0;
};

struct SStripRow {
    int layer = 0;
    std::string label;               // "12 fade", "12 fade, flare", "12 (no effect)"
    std::vector<SStripBar> bars;     // where the layer is drawn
    std::vector<size_t> ticks;       // indices into Events(), in order
};

// The line in force on a layer drawn at a moment.
struct SActiveLine {
    int layer = 0;
    std::string effect;
    int line = 0;
    std::string text;
};

class CTimelineStrip {
public:
    CTimelineStrip() = default;
    // `effects`: the names the run registers; other names do nothing.
    CTimelineStrip(const uint8_t* bytes, size_t size, const std::vector<std::string>& effects);

    const std::vector<SStripEvent>& Events() const { return m_events; }
    const std::vector<SStripRow>& Rows() const { return m_rows; }
    // When the run ends (the end line, or the last event when there is none).
    int32_t End() const { return m_end; }
    // For each layer drawn once the events up to `milliseconds` have fired,
    // in layer order, the last of them that acted on it.
    std::vector<SActiveLine> ActiveAt(int32_t milliseconds) const;

private:
    std::vector<SStripEvent> m_events;
    std::vector<SStripRow> m_rows;
    int32_t m_end = 0;
};

// Bars and beats for the ruler: 0 bpm for seconds.
struct SBeatGrid {
    double bpm = 0.0;
    double offset = 0.0;  // seconds of the first beat
    int beatsPerBar = 4;
};

struct SRulerMark {
    double seconds = 0.0;
    std::string label;  // "1:05", "1:05.5"; "12" at a bar, "12.3" at a beat
};

// Marks from `from` to `to` seconds, at the finest of the usual steps that
// keeps them at least `spacing` seconds apart.
std::vector<SRulerMark> RulerMarks(double from, double to, double spacing, const SBeatGrid& grid);
