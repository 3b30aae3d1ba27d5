// The timeline checker on timelines written here, one test per family of
// messages. Each expectation names the line and the gist of its message.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/timeline_check.h"

namespace {

const std::vector<STimelineEffect> kEffects = {
    {"clearScreen", false}, {"beginScene", false}, {"endScene", false}, {"fade", true}, {"intro", false},
    {"flare", false}};

// The brackets every frame needs, on layers 0 and 511.
const std::string kScene = "e 0 s i0 sbeginScene\r\ne 0 s i511 sendScene\r\n";

// "LINE: text" for every problem.
std::vector<std::string> Check(const std::string& text, int64_t song = -1) {
    std::vector<std::string> out;
    for (const STimelineProblem& problem :
         CheckTimeline(reinterpret_cast<const uint8_t*>(text.data()), text.size(), kEffects, song))
        out.push_back(std::to_string(problem.line) + ": " + problem.text);
    return out;
}

std::string Joined(const std::vector<std::string>& problems) {
    std::string text;
    for (const std::string& problem : problems) text += problem + "\n";
    return text;
}

// Exactly these problems, each given by its line and a part of its text.
void Expect(const std::vector<std::string>& problems, const std::vector<std::pair<int, std::string>>& wanted) {
    ASSERT_EQ(problems.size(), wanted.size()) << Joined(problems);
    for (size_t i = 0; i < wanted.size(); ++i) {
        EXPECT_EQ(problems[i].rfind(std::to_string(wanted[i].first) + ": ", 0), 0u) << problems[i];
        EXPECT_NE(problems[i].find(wanted[i].second), std::string::npos) << problems[i];
    }
}

TEST(TimelineCheck, ASoundTimelineGivesNothing) {
    EXPECT_EQ(Joined(Check("# intro\r\n" + kScene +
                           "e 0 s i5 sfade\r\nl 0 f i5 i2 f1.5\r\nl 10 h i5\r\nl 0x10 s i5\r\n"
                           "e 20 p sintro\r\ng 30 x\r\nF 40\r\n# after the end\r\n",
                           40)),
              "");
    EXPECT_TRUE(Check(kScene + "e 0 s i5 sfade\r\n%\r\n# after the end").empty());
    EXPECT_TRUE(Check(kScene + "e 0 s i5 sfade\r\n\nF 100 \n", 100).empty()) << "a blank lost is nothing";
}

TEST(TimelineCheck, LineEndsAndHiddenLines) {
    Expect(Check(kScene + "e 0 s i5 sfade\n"
                          "e 0 s i6 i7\n"
                          " e 0 s i6 sintro\r\n"
                          "\te 0 s i6 sintro\r\n"
                          "\xEF\xBB\xBF" "e 0 s i6 sintro\r\n"
                          "e 0 s i6\tsintro\r\n"
                          "E 0 s i9 sflare\r\n"
                          "e 0 s i7 s" + std::string(2100, 'x') + "\r\n"
                          "# E 0 s i9 sflare, a comment\r\n%"),
           {{3, "bare LF, not CR LF, so its last character is lost: \"sfade\" is read as \"sfad\""},
            {3, "no effect is named \"fad\"; the nearest is \"fade\""},
            {4, "\"i7\" is read as \"i\""},
            {4, "\"i\" is not a number; it is read as 0"},
            {4, "names no effect"},
            {5, "starts with a space, so it is read as a comment"},
            {6, "starts with a tab"},
            {7, "starts with a byte-order mark"},
            {8, "a tab inside the line: only spaces separate tokens, so \"i6\\tsintro\" is one token"},
            {8, "no effect"},
            {9, "\"E\" is not a command (e, g, l or F)"},
            {10, "longer than 2047 bytes"},
            {10, "is cut to its first 127 characters"},
            {10, "no effect is named"}});
}

TEST(TimelineCheck, NamesAndTypedTokens) {
    Expect(Check(kScene + "e 0 s i5 sIntro\r\n"
                          "e 0 p sfadee\r\n"
                          "e 0 s i5\r\n"
                          "e 0 s i5x sfade I6 s\r\n"
                          "l 0 f i5 i0 f0,5 fx\r\n"
                          "l 0 h i5 i1 i2 i3 i4 i5 i6 i7 i8 i9 i10 i11 i12 i13 i14 i15 i16 i99999999999\r\n"
                          "e\r\nl 5\r\ne 010 s i010 sfade\r\nF 5000ms\r\n"),
           {{3, "no effect is named \"Intro\"; the nearest is \"intro\": the line does nothing"},
            {4, "\"fadee\"; the nearest is \"fade\""},
            {5, "names no effect"},
            {6, "\"i5x\" is not a whole number; it is read as 5"},
            {6, "\"I6\" is ignored: typed tokens start with \"i\", \"f\" or \"s\""},
            {6, "\"s\" names nothing"},
            {7, "\"f0,5\" is not a number as a whole; it is read as 0"},
            {7, "\"fx\" is not a number; it is ignored"},
            {8, "more than 16 \"i\" tokens: \"i16\" and the ones after it are ignored"},
            {9, "no time"},
            {10, "no sub-command"},
            {11, "\"010\" starts with 0, so it is read as octal: 8"},
            {11, "\"i010\" starts with 0, so it is read as octal: 8"},
            {12, "\"5000ms\" is not a whole number; it is read as 5000"}});
    Expect(Check(kScene + "l 0 h i99999999999\r\nF\r\n"),
           {{3, "\"i99999999999\" is too large; it is read as 2147483647"},
            {3, "outside 0-511"},
            {4, "the end line gives no time"}});
}

TEST(TimelineCheck, OrderAndTheEnd) {
    Expect(Check(kScene + "e 1000 s i5 sfade\r\n"
                          "l 500 h i5\r\n"
                          "# 100% done\r\n"
                          "e 2000 s i6 sintro\r\n"
                          "l 3000 h i6\r\n"),
           {{4, "the event at 500 ms is listed after line 3's at 1000 ms, so it waits for that one and fires at 1000 ms"},
            {5, "a \"%\" here ends the timeline: this line and everything after it are never read"},
            {6, "the timeline ended on line 5: this line is never read"},
            {7, "ended on line 5"}});
    Expect(Check(kScene + "F 163000\r\nl 1 h i0\r\n", 160000),
           {{3, "the end at 163000 ms is after the end of the song (160000 ms); the rest plays in silence"},
            {4, "the timeline ended on line 3: this line is never read"}});
    Expect(Check(kScene + "e 10 s i5 sfade\r\n"), {{0, "no end (\"%\" or an \"F\" line)"}});
    Expect(Check("# nothing but talk\r\n"), {{0, "no timeline lines in it"}});
    Expect(Check(""), {{0, "no timeline lines in it"}});
}

TEST(TimelineCheck, LayersAndTheScene) {
    Expect(Check("e 0 s i1 sclearScreen\r\n"
                 "e 0 s i2 sbeginScene\r\n"
                 "e 0 s i600 sfade\r\n"
                 "e 0 S i3 sfade\r\n"
                 "l 0 x i3\r\n"
                 "e 0 s i3 sintro\r\n"
                 "l 0 f i3 i0 f1\r\n"
                 "l 0 s i4\r\n"
                 "l 0 f i9 i0 f1\r\n"
                 "e 0 s i8 sendScene\r\n"
                 "e 0 s i9 sflare\r\n"
                 "l 10 h i9\r\nl 20 s i9\r\n"
                 "e 30 s sfade\r\n%"),
           {{2, "\"clearScreen\" on layer 1 is below \"beginScene\" on layer 2: it is drawn outside the scene"},
            {3, "layer 600 is outside 0-511"},
            {4, "\"S\" is not a sub-command of \"e\""},
            {5, "\"x\" is not a sub-command of \"l\""},
            {7, "\"intro\" on layer 3 takes no parameters"},
            {8, "layer 4 has no effect yet"},
            {9, "layer 9 has no effect yet"},
            {11, "\"flare\" on layer 9 is above \"endScene\" on layer 8: it is drawn after the frame is shown"},
            {14, "gives no layer (an \"i\" token); layer 0 is used"},
            {14, "\"fade\" on layer 0 is below \"beginScene\""}});
    Expect(Check("e 0 s i5 sendScene\r\ne 0 s i6 sbeginScene\r\n%"),
           {{2, "\"beginScene\" on layer 6 is above \"endScene\" on layer 5"}});
    Expect(Check("e 0 s i5 sfade\r\ne 0 s i6 sbeginScene\r\nl 0 h i6\r\n%"),
           {{2, "below \"beginScene\""}, {0, "\"endScene\" is never shown on a layer: no frame will be shown"}});
    Expect(Check("e 0 s i1 sfade\r\n%"),
           {{0, "\"beginScene\" is never shown on a layer: no frame will be shown"},
            {0, "\"endScene\" is never shown"}});
}

}  // namespace

namespace {

// What means that nothing would be shown at all is marked: author mode keeps
// the timeline that played instead of such a one.
TEST(TimelineCheck, WhatShowsNoFrameIsMarkedFatal) {
    auto fatal = [](const std::string& text) {
        size_t count = 0;
        for (const STimelineProblem& problem :
             CheckTimeline(reinterpret_cast<const uint8_t*>(text.data()), text.size(), kEffects, -1))
            count += problem.fatal;
        return count;
    };
    EXPECT_EQ(fatal(""), 1u) << "no timeline lines";
    EXPECT_EQ(fatal("e 0 s i0 sbeginScene\ne 0 s i511 sendScene\n%"), 2u) << "bare LF cuts both names";
    EXPECT_EQ(fatal("e 0 s i0 sbeginScene\r\n%"), 1u) << "never closed";
    EXPECT_EQ(fatal(kScene + "e 0 s i5 sfadd\r\nl 0 x i5\r\n%"), 0u) << "what only does nothing plays";
}

}  // namespace
