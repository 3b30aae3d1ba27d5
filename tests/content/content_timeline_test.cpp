// The default timeline, read by the runtime's own loader and played against
// effects that only record what the timeline asks of them.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "content_probes.h"
#include "runtime/effect_manager.h"

namespace {

const std::string kDemoDir = QB_DEMO_DIR;
const std::string kScript = kDemoDir + "/script.txt";
constexpr int kBarMs = 2000;

const char* const kEffectNames[] = {"clearScreen", "beginScene", "endScene", "fade",     "testTexture", "cube1",
                                    "bezier",      "intro",      "pixBoard", "zoomblur", "flare",       "oldzoom"};

class CProbeEffect : public CEffect {
public:
    int Trigger() override {
        ++triggers;
        return 0;
    }
    int SetParam(int which, float value) override {
        params.push_back({which, value});
        return 0;
    }
    int triggers = 0;
    std::vector<std::pair<int, float>> params;
};

class ContentTimeline : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(m_manager.Load(kScript.c_str(), 640, 480, &error)) << error;
        // The events as loaded, before any fires.
        for (const CScriptEvent* e = m_manager.CurrentEvent(); e; e = e->next) {
            m_events.push_back(*e);
            if (e->command == 'F') break;
        }
        for (size_t i = 0; i < std::size(kEffectNames); ++i) {
            m_effects[i].name[0] = '\0';
            ASSERT_TRUE(m_manager.Register(&m_effects[i], kEffectNames[i]));
        }
    }

    std::string NameOf(const CEffect* effect) const { return effect ? effect->name : "(none)"; }
    const CProbeEffect& Probe(const std::string& name) const {
        for (size_t i = 0; i < std::size(kEffectNames); ++i) {
            if (name == kEffectNames[i]) return m_effects[i];
        }
        throw std::out_of_range(name);
    }

    CEffectManager m_manager;
    CProbeEffect m_effects[std::size(kEffectNames)];
    std::vector<CScriptEvent> m_events;
};

TEST(ContentTimelineFile, IsCrLfTextWithoutAnEarlyEndByte) {
    const std::vector<uint8_t> bytes = ReadWholeFile(kScript);
    ASSERT_FALSE(bytes.empty());
    EXPECT_TRUE(bytes == ReadWholeFile(QB_SCRIPT_SOURCE)) << "the build must copy the timeline unchanged";
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n') {
            ASSERT_TRUE(i > 0 && bytes[i - 1] == '\r') << "bare line feed at byte " << i;
        }
        if (bytes[i] == '\r') {
            ASSERT_TRUE(i + 1 < bytes.size() && bytes[i + 1] == '\n') << "lone carriage return at byte " << i;
        }
        // "%" ends a timeline wherever it stands, comments included.
        ASSERT_NE(bytes[i], '%') << "at byte " << i;
    }
    EXPECT_EQ(bytes.back(), '\n');
}

TEST_F(ContentTimeline, EventsKeepTimeOrderAndChangeScenesOnBarLines) {
    ASSERT_GE(m_events.size(), 10u);
    ASSERT_EQ(m_events.back().command, 'F') << "the timeline must end with an F line";
    int previous = 0;
    for (const CScriptEvent& e : m_events) {
        SCOPED_TRACE(std::string(1, e.command) + " " + std::to_string(e.time) + " " + e.subCommand + " " + e.name);
        // An event listed before an earlier one would hold that one back.
        EXPECT_GE(e.time, previous);
        previous = e.time;
        if (e.command == 'e' && e.subCommand == 's') {
            EXPECT_EQ(e.time % kBarMs, 0);
            EXPECT_GE(e.ints[0], 0);
            EXPECT_LT(e.ints[0], kLayerCount);
        }
        if (e.command == 'l') {
            EXPECT_EQ(e.time % kBarMs, 0);
            EXPECT_GE(e.ints[0], 0);
            EXPECT_LT(e.ints[0], kLayerCount);
        }
    }
}

TEST_F(ContentTimeline, EveryFrameIsBracketedAndEveryEffectAppears) {
    std::set<std::string> shown;
    int endTime = -1;
    for (int now = 0; now <= 400000; now += 10) {
        if (m_manager.Update(now) == -1) {
            endTime = now;
            break;
        }
        std::vector<std::string> enabled;
        for (int layer = 0; layer < kLayerCount; ++layer) {
            const SLayer& l = m_manager.Layer(layer);
            if (!l.enabled) continue;
            ASSERT_NE(l.effect, nullptr) << "layer " << layer << " enabled without an effect at " << now;
            enabled.push_back(NameOf(l.effect));
        }
        SCOPED_TRACE("at " + std::to_string(now) + " ms");
        // From the first event on, every frame is opened, cleared, drawn,
        // closed and presented.
        ASSERT_GE(enabled.size(), 4u);
        EXPECT_EQ(enabled[0], "beginScene");
        EXPECT_EQ(enabled[1], "clearScreen");
        EXPECT_EQ(enabled.back(), "endScene");
        for (size_t i = 2; i + 1 < enabled.size(); ++i) {
            EXPECT_NE(enabled[i], "beginScene");
            EXPECT_NE(enabled[i], "clearScreen");
            EXPECT_NE(enabled[i], "endScene");
        }
        shown.insert(enabled.begin(), enabled.end());
    }
    for (const char* name : kEffectNames) EXPECT_EQ(shown.count(name), 1u) << name << " never shown";
    EXPECT_EQ(endTime, m_events.back().time) << "the run ends at the F line";
}

TEST_F(ContentTimeline, FadesAndTriggersAreWellFormed) {
    for (int now = 0; m_manager.Update(now) != -1; now += 100) {
        ASSERT_LT(now, 400000);
    }
    // Start, end and duration always come together, in that order, so each
    // fade starts from the levels it names.
    const std::vector<std::pair<int, float>>& params = Probe("fade").params;
    ASSERT_GE(params.size(), 6u);
    ASSERT_EQ(params.size() % 3, 0u);
    for (size_t i = 0; i < params.size(); i += 3) {
        SCOPED_TRACE("fade " + std::to_string(i / 3));
        EXPECT_EQ(params[i].first, 0);
        EXPECT_EQ(params[i + 1].first, 1);
        EXPECT_EQ(params[i + 2].first, 2);
        for (int k = 0; k < 2; ++k) {
            EXPECT_GE(params[i + k].second, 0.0f);
            EXPECT_LE(params[i + k].second, 1.0f);
        }
        EXPECT_GT(params[i + 2].second, 0.0f);
    }
    for (const char* name : {"intro", "testTexture", "oldzoom"}) {
        EXPECT_GE(Probe(name).triggers, 1) << name << " defines Trigger but is never triggered";
    }
    for (const char* name : kEffectNames) {
        if (std::string(name) != "fade") {
            EXPECT_TRUE(Probe(name).params.empty()) << name;
        }
    }
}

TEST_F(ContentTimeline, EndsWithTheMusic) {
    SDecodedMp3 song;
    std::string error;
    ASSERT_TRUE(DecodeMp3(kDemoDir + "/Data/song.mp3", &song, &error)) << error;
    const double end = m_events.back().time / 1000.0;
    EXPECT_LE(end, song.seconds) << "the music must last the whole timeline";
    EXPECT_GE(end, song.seconds - 2.0) << "the timeline should play the music out";
    EXPECT_GE(end, 150.0);
    EXPECT_LE(end, 180.0);
}

}  // namespace
