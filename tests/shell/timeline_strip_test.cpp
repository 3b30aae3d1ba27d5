// The author panel's model against a timeline worked out by hand: which
// rows, where each layer is drawn, the ticks, the end, the lines in force,
// and the ruler's marks; and the frame clock the panel and the event keys
// go by.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/frame_clock.h"
#include "runtime/timeline_strip.h"
#include "tests/shell/test_files.h"

namespace {

const std::vector<std::string> kLines = {
    "; a comment: no event",
    "e 0 s i0 sbeginScene",
    "e 0 s i5 sfade",
    "l 500 f i5 i0 f1",
    "l 1000 h i5",
    "e 2000 s i7 sflare",
    "l 1500 s i5",            // listed after 2000 ms: fires then
    "e 2500 s i5 snope",      // no such effect: on the layer, does nothing
    "l 3000 h i9",            // a layer that never gets an effect
    "e 3000 p sflare",        // a trigger: on no layer
    "e 3500 s i5 sflare",     // layer 5 goes on with another effect
    "F 4000",
    "e 5000 s i8 sfade",      // after the end: never read
};

CTimelineStrip Strip() {
    const std::string bytes = Timeline(kLines);
    return CTimelineStrip(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                          {"beginScene", "fade", "flare"});
}

std::vector<std::pair<int32_t, int32_t>> Bars(const SStripRow& row) {
    std::vector<std::pair<int32_t, int32_t>> bars;
    for (const SStripBar& bar : row.bars) bars.emplace_back(bar.from, bar.to);
    return bars;
}

TEST(TimelineStrip, RowsBarsTicksAndTheEndOfAHandWorkedTimeline) {
    const CTimelineStrip strip = Strip();
    EXPECT_EQ(strip.End(), 4000);
    ASSERT_EQ(strip.Events().size(), 10u) << "the event lines before the end";
    EXPECT_EQ(strip.Events()[5].line, 7);
    EXPECT_EQ(strip.Events()[5].text, "l 1500 s i5");
    EXPECT_EQ(strip.Events()[5].fires, 2000) << "held back by the line before it";
    EXPECT_EQ(strip.Events()[8].layer, -1) << "a trigger names no layer";

    ASSERT_EQ(strip.Rows().size(), 4u);
    const SStripRow& scene = strip.Rows()[0];
    EXPECT_EQ(scene.label, "0 beginScene");
    EXPECT_EQ(Bars(scene), (std::vector<std::pair<int32_t, int32_t>>{{0, 4000}}));
    EXPECT_EQ(scene.ticks, std::vector<size_t>{0});

    const SStripRow& five = strip.Rows()[1];
    EXPECT_EQ(five.label, "5 fade, flare");
    EXPECT_EQ(Bars(five), (std::vector<std::pair<int32_t, int32_t>>{{0, 1000}, {2000, 4000}}));
    EXPECT_EQ(five.ticks, (std::vector<size_t>{1, 2, 3, 5, 6, 9}));

    EXPECT_EQ(strip.Rows()[2].label, "7 flare");
    EXPECT_EQ(Bars(strip.Rows()[2]), (std::vector<std::pair<int32_t, int32_t>>{{2000, 4000}}));
    EXPECT_EQ(strip.Rows()[3].label, "9 (no effect)");
    EXPECT_TRUE(strip.Rows()[3].bars.empty());
    EXPECT_EQ(strip.Rows()[3].ticks, std::vector<size_t>{7});
}

TEST(TimelineStrip, TheLinesInForceOnEachLayerDrawnAtAMoment) {
    const CTimelineStrip strip = Strip();
    auto describe = [&](int32_t ms) {
        std::vector<std::string> lines;
        for (const SActiveLine& line : strip.ActiveAt(ms))
            lines.push_back(std::to_string(line.layer) + " " + line.effect + " " + std::to_string(line.line) + ": " +
                            line.text);
        return lines;
    };
    EXPECT_EQ(describe(700), (std::vector<std::string>{"0 beginScene 2: e 0 s i0 sbeginScene",
                                                       "5 fade 4: l 500 f i5 i0 f1"}));
    EXPECT_EQ(describe(1200), (std::vector<std::string>{"0 beginScene 2: e 0 s i0 sbeginScene"})) << "5 is hidden";
    EXPECT_EQ(describe(2000), (std::vector<std::string>{"0 beginScene 2: e 0 s i0 sbeginScene",
                                                        "5 fade 7: l 1500 s i5", "7 flare 6: e 2000 s i7 sflare"}));
    EXPECT_EQ(describe(3600), (std::vector<std::string>{"0 beginScene 2: e 0 s i0 sbeginScene",
                                                        "5 flare 11: e 3500 s i5 sflare",
                                                        "7 flare 6: e 2000 s i7 sflare"}));
    EXPECT_TRUE(describe(4000).empty()) << "nothing is drawn once the end has fired";
    EXPECT_TRUE(CTimelineStrip(nullptr, 0, {}).Rows().empty());
}

std::vector<std::string> Labels(const std::vector<SRulerMark>& marks) {
    std::vector<std::string> labels;
    for (const SRulerMark& mark : marks) labels.push_back(mark.label);
    return labels;
}

TEST(TimelineStrip, RulerInSecondsOrInBarsAndBeats) {
    EXPECT_EQ(Labels(RulerMarks(0.0, 10.0, 1.5, {})),
              (std::vector<std::string>{"0:00", "0:02", "0:04", "0:06", "0:08", "0:10"}));
    EXPECT_EQ(Labels(RulerMarks(59.0, 61.5, 0.4, {})),
              (std::vector<std::string>{"0:59.0", "0:59.5", "1:00.0", "1:00.5", "1:01.0", "1:01.5"}));
    EXPECT_EQ(Labels(RulerMarks(0.0, 400.0, 100.0, {})), (std::vector<std::string>{"0:00", "2:00", "4:00", "6:00"}));
    const SBeatGrid grid{120.0, 0.5, 4};
    const std::vector<SRulerMark> beats = RulerMarks(0.0, 2.6, 0.4, grid);
    EXPECT_EQ(Labels(beats), (std::vector<std::string>{"1", "1.2", "1.3", "1.4", "2"}));
    EXPECT_DOUBLE_EQ(beats[0].seconds, 0.5) << "the first beat at the offset";
    EXPECT_DOUBLE_EQ(beats[4].seconds, 2.5);
    EXPECT_EQ(Labels(RulerMarks(0.0, 5.0, 1.5, grid)), (std::vector<std::string>{"1", "2", "3"})) << "whole bars";
    EXPECT_EQ(Labels(RulerMarks(0.0, 20.0, 5.0, grid)), (std::vector<std::string>{"1", "5", "9"})) << "every 4 bars";
    EXPECT_TRUE(RulerMarks(3.0, 3.0, 1.0, {}).empty());
}

// Frame k of a run at a fixed step is drawn at (k + 1) / fps - 0.01 s, in
// float steps: the events up to that millisecond have fired.
TEST(FrameClock, TheMillisecondsEachFrameIsDrawnAtAndTheFirstFrameAtAMoment) {
    CFrameClock clock(60);
    EXPECT_EQ(clock.MillisecondsAt(0), 6);
    EXPECT_EQ(clock.MillisecondsAt(59), 990);
    EXPECT_EQ(clock.MillisecondsAt(60), 1006);
    EXPECT_EQ(clock.FirstFrameAt(0), 0);
    EXPECT_EQ(clock.FirstFrameAt(1000), 60);
    EXPECT_EQ(clock.FirstFrameAt(991), 60);
    EXPECT_EQ(clock.FirstFrameAt(990), 59);
    for (int32_t ms : {5000, 47983, 85000}) {
        const int64_t frame = clock.FirstFrameAt(ms);
        EXPECT_GE(clock.MillisecondsAt(frame), ms);
        EXPECT_LT(clock.MillisecondsAt(frame - 1), ms);
    }
    EXPECT_EQ(clock.FirstFrameAt(INT32_MAX), -1) << "further than a day";
}

}  // namespace
