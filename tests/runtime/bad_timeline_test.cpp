// Timelines are hand-written: whatever they hold must load and run without
// crashing, overflowing a field or reading past a line.
#include <climits>
#include <cstring>

#include "tests/runtime/timeline_fixture.h"

namespace {

using Log = std::vector<std::string>;

// An "e" line of exactly `length` bytes before its CR LF, ending in a name.
std::string PaddedLine(size_t length, const std::string& name) {
    std::string line = "e 0 s i3";
    line += std::string(length - line.size() - name.size() - 2, ' ');
    return line + " s" + name;
}

TEST_F(TimelineTest, OverLongLinesKeepTheirFirst2047Bytes) {
    const std::string names = "abcdef";
    ASSERT_TRUE(Load(PaddedLine(2046, names) + "\r\n" +   // fits, with its CR LF
                     PaddedLine(2047, names) + "\r\n" +   // the most that is kept
                     PaddedLine(2048, names) + "\r\n" +   // one byte over: cut
                     "e 0 s i4 s" + std::string(5000, 'x') + "\r\n" +
                     "e 0 s i5 sb" + std::string(3000, ' ') + "i9 sother\r\n" +
                     "e 0 s i6 sc\r\n%"));
    const auto events = Events();
    ASSERT_EQ(events.size(), 7u);
    EXPECT_STREQ(events[0]->name, "abcdef");
    EXPECT_STREQ(events[1]->name, "abcdef");
    EXPECT_STREQ(events[2]->name, "abcde");
    EXPECT_EQ(events[3]->ints[0], 4);
    EXPECT_EQ(std::strlen(events[3]->name), 127u);
    // The dropped rest of a line cannot add tokens.
    EXPECT_EQ(events[4]->ints[0], 5);
    EXPECT_EQ(events[4]->ints[1], 0);
    EXPECT_STREQ(events[4]->name, "b");
    // And the next line is read from its own start.
    EXPECT_EQ(events[5]->ints[0], 6);
    EXPECT_STREQ(events[5]->name, "c");
}

TEST_F(TimelineTest, HugeLineLoads) {
    // 100 kB of int tokens on one line, then a normal one.
    std::string line = "l 0 h";
    while (line.size() < 100000) line += " i1";
    ASSERT_TRUE(Load(line + "\r\ne 0 s i2 sa\r\n%"));
    const auto events = Events();
    ASSERT_EQ(events.size(), 3u);
    for (int32_t value : events[0]->ints) EXPECT_EQ(value, 1);
    EXPECT_EQ(events[1]->ints[0], 2);
}

TEST_F(TimelineTest, ExtraIntsAndLongNamesAreCut) {
    std::string ints;
    for (int i = 1; i <= 20; ++i) ints += " i" + std::to_string(i);
    const std::string longName(300, 'n');
    ASSERT_TRUE(Load("e 0 s sname f2.5" + ints + "\r\n" +
                     "e 0 s f1.25 s" + longName + " i7\r\n%"));
    const auto events = Events();
    ASSERT_EQ(events.size(), 3u);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(events[0]->ints[i], i + 1);
    EXPECT_STREQ(events[0]->name, "name");  // the field after ints is intact
    EXPECT_FLOAT_EQ(events[0]->value, 2.5f);

    EXPECT_EQ(std::string(events[1]->name), longName.substr(0, 127));
    EXPECT_FLOAT_EQ(events[1]->value, 1.25f);  // the field after name is intact
    EXPECT_EQ(events[1]->ints[0], 7);
}

TEST_F(TimelineTest, OutOfRangeValues) {
    ASSERT_TRUE(Load("l 99999999999 h i-99999999999 i0x7FFFFFFF\r\nF 1e3\r\n"));
    const auto events = Events();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0]->time, INT32_MAX);  // saturates rather than wraps
    EXPECT_EQ(events[0]->ints[0], INT32_MIN);
    EXPECT_EQ(events[0]->ints[1], INT32_MAX);
    EXPECT_EQ(events[1]->time, 1);  // "%i" stops at the "e"
    EXPECT_EQ(manager.Update(INT32_MAX - 1), 0);
    EXPECT_EQ(manager.Update(INT32_MAX), -1);
}

TEST_F(TimelineTest, LayerIndexOutsideTheTableDoesNothing) {
    ASSERT_TRUE(Load("e 0 s i512 sa\r\n"
                     "e 0 s i-1 sa\r\n"
                     "e 0 s i0x7FFFFFFF sa\r\n"
                     "l 0 f i512 i1 f2\r\n"
                     "l 0 f i-512 i1 f2\r\n"
                     "l 0 h i600\r\n"
                     "l 0 s i-3\r\n"
                     "e 0 s i511 sa\r\n"
                     "%"));
    CProbeEffect* a = Add("a");
    log.clear();
    EXPECT_EQ(manager.Update(0), -1);
    EXPECT_TRUE(log.empty());
    for (int layer = 0; layer < kLayerCount - 1; ++layer) {
        EXPECT_EQ(manager.Layer(layer).effect, nullptr) << layer;
        EXPECT_FALSE(manager.Layer(layer).enabled) << layer;
    }
    EXPECT_EQ(manager.Layer(511).effect, a);
}

TEST_F(TimelineTest, LayerEventsOnEmptyLayersDoNothing) {
    ASSERT_TRUE(Load("l 0 s i3\r\nl 0 f i3 i1 f1\r\nl 0 h i4\r\n%"));
    Add("a");
    log.clear();
    EXPECT_EQ(manager.Update(0), -1);
    EXPECT_FALSE(manager.Layer(3).enabled);
    manager.RenderLayers(0.1f);  // nothing to draw, nothing to crash on
    EXPECT_TRUE(log.empty());
}

TEST_F(TimelineTest, FileWithoutEndMarker) {
    ASSERT_TRUE(Load("e 0 s i1 sa\r\ne 10 s i2 sa\r\n"));
    Add("a");
    ASSERT_EQ(Events().size(), 3u);
    EXPECT_EQ(manager.Update(9), 0);
    EXPECT_EQ(manager.Update(10), -1);  // the end record is due at once
    EXPECT_TRUE(manager.Layer(2).enabled);

    // A last line without a line feed is taken whole.
    ASSERT_TRUE(Load("e 0 s i1 sa\r\nl 5 h i1"));
    const auto events = Events();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[1]->time, 5);
    EXPECT_EQ(events[1]->ints[0], 1);

    ASSERT_TRUE(Load(""));
    EXPECT_EQ(Events().size(), 1u);
    EXPECT_EQ(manager.Update(0), -1);
}

TEST_F(TimelineTest, ShortAndStrangeLines) {
    std::string text = "e 0 s i1 s\xff\xfe\r\n"
                       "e\t0 5 s\r\n"
                       "l 0 ?\r\n"
                       "e 0 s i\r\n"
                       "e\r\n"
                       "g\r\n"
                       "l\r\n";
    text += std::string("l 5\0 9 h\r\n", 10);  // a NUL ends the line's text
    text += "F\r\n";
    ASSERT_TRUE(Load(text));
    const auto events = Events();
    ASSERT_EQ(events.size(), 10u);
    EXPECT_STREQ(events[0]->name, "\xff\xfe");
    EXPECT_EQ(events[1]->time, 5);  // "e\t0" is one token
    EXPECT_EQ(events[1]->subCommand, 's');
    EXPECT_EQ(events[2]->subCommand, '?');
    EXPECT_EQ(events[3]->ints[0], 0);  // "i" alone takes a slot, value 0
    EXPECT_EQ(events[4]->command, 'e');
    EXPECT_EQ(events[4]->subCommand, 0);
    EXPECT_EQ(events[7]->time, 5);
    EXPECT_EQ(events[7]->subCommand, 0);
    EXPECT_EQ(events[8]->command, 'F');  // "F" alone: due at 0
    EXPECT_EQ(events[8]->time, 0);
    Add("a");
    EXPECT_EQ(manager.Update(4), 0);
    EXPECT_EQ(manager.Update(5), -1);
}

TEST_F(TimelineTest, MissingTimelineIsReported) {
    const std::string path = PathOf("absent.txt");
    EXPECT_FALSE(manager.Load(path.c_str(), 640, 480, &error));
    EXPECT_NE(error.find(path), std::string::npos) << error;
    ASSERT_EQ(Events().size(), 1u);
    EXPECT_EQ(manager.Update(0), -1);
    EXPECT_FALSE(manager.Load(path.c_str(), 640, 480));  // no message wanted
}

}  // namespace
