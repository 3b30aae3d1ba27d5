// Loading timelines and firing their events.
#include "tests/runtime/timeline_fixture.h"

namespace {

using Log = std::vector<std::string>;

const char kWorkedExample[] =
    "# timeline\r\n"
    "e 0 s i0 sbeginScene\r\n"
    "e 0 s i1 sclearScreen\r\n"
    "e 0 s i200 sendScene\r\n"
    "e 0 s i50 sfade\r\n"
    "l 1500 f i50 i2 f0.75\r\n"
    "e 2000 p sflare\r\n"
    "l 0x1000 h i50\r\n"
    "F 90000\r\n"
    "e 95000 s i3 sintro\r\n";

TEST_F(TimelineTest, WorkedExampleParses) {
    ASSERT_TRUE(Load(kWorkedExample));
    const auto events = Events();
    ASSERT_EQ(events.size(), 9u);  // seven events, the F line, the end record

    EXPECT_EQ(events[0]->command, 'e');
    EXPECT_EQ(events[0]->time, 0);
    EXPECT_EQ(events[0]->subCommand, 's');
    EXPECT_EQ(events[0]->ints[0], 0);
    EXPECT_STREQ(events[0]->name, "beginScene");
    EXPECT_EQ(events[2]->ints[0], 200);
    EXPECT_STREQ(events[3]->name, "fade");

    EXPECT_EQ(events[4]->command, 'l');
    EXPECT_EQ(events[4]->time, 1500);
    EXPECT_EQ(events[4]->subCommand, 'f');
    EXPECT_EQ(events[4]->ints[0], 50);
    EXPECT_EQ(events[4]->ints[1], 2);
    EXPECT_EQ(events[4]->ints[2], 0);  // not given: zero
    EXPECT_FLOAT_EQ(events[4]->value, 0.75f);
    EXPECT_STREQ(events[4]->name, "");

    EXPECT_EQ(events[5]->subCommand, 'p');
    EXPECT_STREQ(events[5]->name, "flare");
    EXPECT_EQ(events[5]->ints[0], 0);
    EXPECT_EQ(events[6]->time, 4096);

    EXPECT_EQ(events[7]->command, 'F');
    EXPECT_EQ(events[7]->time, 90000);
    EXPECT_EQ(events[8]->command, 'F');
    EXPECT_EQ(events[8]->time, kEndRecordTime);
    EXPECT_EQ(events[8]->next, nullptr);
}

TEST_F(TimelineTest, WorkedExampleFiresAtTheDescribedTimes) {
    ASSERT_TRUE(Load(kWorkedExample));
    for (const char* name : {"beginScene", "clearScreen", "endScene", "fade", "flare", "intro"}) {
        Add(name);
    }
    log.clear();

    EXPECT_EQ(manager.Update(-1), 0);
    EXPECT_EQ(manager.Layer(0).effect, nullptr);

    EXPECT_EQ(manager.Update(0), 0);
    for (int layer : {0, 1, 50, 200}) {
        EXPECT_TRUE(manager.Layer(layer).enabled) << layer;
    }
    EXPECT_EQ(manager.Layer(0).effect, manager.Registered(0));
    EXPECT_EQ(manager.Layer(1).effect, manager.Registered(1));
    EXPECT_EQ(manager.Layer(200).effect, manager.Registered(2));
    EXPECT_EQ(manager.Layer(50).effect, manager.Registered(3));
    EXPECT_FALSE(manager.Layer(2).enabled);

    // Drawn in layer order: 0, 1, 50, 200.
    manager.RenderLayers(0.25f);
    EXPECT_EQ(log, (Log{"render beginScene 0.25", "render clearScreen 0.25", "render fade 0.25",
                        "render endScene 0.25"}));
    log.clear();

    EXPECT_EQ(manager.Update(1499), 0);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(manager.Update(1500), 0);
    EXPECT_EQ(log, (Log{"param fade 2 0.75"}));
    EXPECT_EQ(manager.Update(2000), 0);
    EXPECT_EQ(log, (Log{"param fade 2 0.75", "trigger flare"}));

    EXPECT_EQ(manager.Update(4095), 0);
    EXPECT_TRUE(manager.Layer(50).enabled);
    EXPECT_EQ(manager.Update(4096), 0);
    EXPECT_FALSE(manager.Layer(50).enabled);
    EXPECT_EQ(manager.Layer(50).effect, manager.Registered(3));  // hidden, kept

    EXPECT_EQ(manager.Update(89999), 0);
    EXPECT_EQ(manager.Update(90000), -1);
    EXPECT_EQ(manager.Update(90001), -1);  // stays on the marker
    EXPECT_EQ(manager.Layer(3).effect, nullptr);  // intro never read
    EXPECT_EQ(log.size(), 2u);
}

TEST_F(TimelineTest, PercentEndsTheTimelineAtOnce) {
    // "%" instead of the F line: the end record is due right after 4096 ms.
    std::string text = kWorkedExample;
    text = text.substr(0, text.find("F 90000")) + "%";
    ASSERT_TRUE(Load(text));
    Add("fade");
    EXPECT_EQ(manager.Update(4095), 0);
    EXPECT_EQ(manager.Update(4096), -1);

    ASSERT_TRUE(Load("%"));
    ASSERT_EQ(Events().size(), 1u);
    EXPECT_EQ(manager.Update(0), -1);

    // In a comment, and in the middle of an event line, whose start is dropped.
    ASSERT_TRUE(Load("e 0 s i1 sa\r\n# 50% done\r\ne 0 s i2 sb\r\n"));
    EXPECT_EQ(Events().size(), 2u);
    ASSERT_TRUE(Load("e 0 s i1 sa\r\ne 0 s i2 s%b\r\n"));
    EXPECT_EQ(Events().size(), 2u);
    EXPECT_STREQ(Events()[0]->name, "a");
}

TEST_F(TimelineTest, EarlyEndLine) {
    ASSERT_TRUE(Load("e 0 s i1 sa\r\nF 1000\r\ne 500 s i2 sb\r\n%"));
    Add("a");
    Add("b");
    const auto events = Events();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[1]->time, 1000);
    EXPECT_EQ(manager.Update(999), 0);
    EXPECT_EQ(manager.Layer(2).effect, nullptr);
    EXPECT_EQ(manager.Update(1000), -1);
    EXPECT_EQ(manager.Layer(2).effect, nullptr);

    // "%c %i": the time may follow the letter directly, in any base.
    ASSERT_TRUE(Load("F0x10\r\n"));
    EXPECT_EQ(Events()[0]->time, 16);
}

TEST_F(TimelineTest, EventsFireInFileOrder) {
    ASSERT_TRUE(Load("e 500 p sa\r\n"
                     "e 100 p sb\r\n"
                     "g 300 x\r\n"
                     "e 200 p sc\r\n"
                     "e 600 p sc\r\n"
                     "e 600 p sb\r\n"
                     "e 600 p sa\r\n"
                     "%"));
    Add("a");
    Add("b");
    Add("c");
    log.clear();
    // b and c are due early but wait behind a, and c also behind the "g".
    EXPECT_EQ(manager.Update(499), 0);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(manager.Update(500), 0);
    EXPECT_EQ(log, (Log{"trigger a", "trigger b", "trigger c"}));
    log.clear();
    // Equal times fire in file order, all in one call, which then ends.
    EXPECT_EQ(manager.Update(600), -1);
    EXPECT_EQ(log, (Log{"trigger c", "trigger b", "trigger a"}));
}

TEST_F(TimelineTest, LineEnds) {
    // The byte before each line feed is dropped: with bare LF that is the
    // last visible character.
    ASSERT_TRUE(Load("e 0 s i1 sfade\r\ne 0 s i2 sfade\n\n\ne 0 s i3 sfade\r\n%"));
    auto events = Events();
    ASSERT_EQ(events.size(), 4u);
    EXPECT_STREQ(events[0]->name, "fade");
    EXPECT_STREQ(events[1]->name, "fad");
    EXPECT_EQ(events[2]->ints[0], 3);  // empty bare-LF lines skipped

    // Comments: any other first byte, including a space before a command.
    ASSERT_TRUE(Load(" e 0 s i1 sa\r\n#e\r\n/ x\r\n5 e\r\n\r\nE 0 s i1 sa\r\nl 7 h i4\r\n%"));
    events = Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0]->time, 7);
}

TEST_F(TimelineTest, TypedTokens) {
    ASSERT_TRUE(Load("l 100 f i2 i7 f1\r\n"
                     "l 100 f f1 i2 i7\r\n"
                     "e 0 s  sone   i4 sTwo f2 f-0.5 x9 i5  \r\n"
                     "l 1 f i\t3 i1\r\n"
                     "%"));
    const auto events = Events();
    ASSERT_EQ(events.size(), 5u);
    for (int i : {0, 1}) {
        EXPECT_EQ(events[i]->ints[0], 2);
        EXPECT_EQ(events[i]->ints[1], 7);
        EXPECT_FLOAT_EQ(events[i]->value, 1.0f);
    }
    // Runs of spaces separate once; later "s" and "f" overwrite; unknown
    // tokens are skipped; a trailing run of spaces adds nothing.
    EXPECT_STREQ(events[2]->name, "Two");
    EXPECT_FLOAT_EQ(events[2]->value, -0.5f);
    EXPECT_EQ(events[2]->ints[0], 4);
    EXPECT_EQ(events[2]->ints[1], 5);
    EXPECT_EQ(events[2]->ints[2], 0);
    // A tab does not separate; as in "%i" it is skipped before the number.
    EXPECT_EQ(events[3]->ints[0], 3);
    EXPECT_EQ(events[3]->ints[1], 1);
}

TEST_F(TimelineTest, IntegersReadLikeScanfPercentI) {
    ASSERT_TRUE(Load("l 010 h i0x1F i-0x10 i077 i+12 i-7 iabc i5 i08\r\n"
                     "l -5 h i0X0a\r\n"
                     "%"));
    const auto events = Events();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0]->time, 8);  // octal
    const int32_t expected[] = {31, -16, 63, 12, -7, 0, 5, 0};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(events[0]->ints[i], expected[i]) << i;
    EXPECT_EQ(events[1]->time, -5);
    EXPECT_EQ(events[1]->ints[0], 10);
}

TEST_F(TimelineTest, LayerCommands) {
    ASSERT_TRUE(Load("e 0 s i5 sa\r\n"
                     "e 0 s i6 sa\r\n"      // same object on two layers
                     "l 10 h i5\r\n"
                     "l 20 s i5\r\n"        // back, with the same effect
                     "l 30 h i6\r\n"
                     "l 40 f i6 i3 f1.5\r\n"  // parameters reach hidden layers
                     "e 50 s i6 sb\r\n"     // replaces what the layer held
                     "e 60 s i7 snobody\r\n"
                     "e 60 p snobody\r\n"
                     "e 60 x i7 sa\r\n"
                     "l 60 x i5\r\n"
                     "%"));
    CProbeEffect* a = Add("a");
    CProbeEffect* b = Add("b");
    log.clear();

    manager.Update(0);
    EXPECT_EQ(manager.Layer(5).effect, a);
    EXPECT_EQ(manager.Layer(6).effect, a);
    manager.RenderLayers(0.5f);
    EXPECT_EQ(log, (Log{"render a 0.5", "render a 0.5"}));
    log.clear();

    manager.Update(10);
    EXPECT_FALSE(manager.Layer(5).enabled);
    EXPECT_EQ(manager.Layer(5).effect, a);
    manager.Update(20);
    EXPECT_TRUE(manager.Layer(5).enabled);
    EXPECT_EQ(manager.Layer(5).effect, a);
    manager.Update(40);
    EXPECT_FALSE(manager.Layer(6).enabled);
    EXPECT_EQ(log, (Log{"param a 3 1.5"}));
    manager.Update(50);
    EXPECT_EQ(manager.Layer(6).effect, b);
    EXPECT_TRUE(manager.Layer(6).enabled);

    log.clear();
    EXPECT_EQ(manager.Update(60), -1);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(manager.Layer(7).effect, nullptr);
    EXPECT_TRUE(manager.Layer(5).enabled);
}

}  // namespace
