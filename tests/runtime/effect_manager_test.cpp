// Registration, lookup and drawing order.
#include <cstring>

#include "runtime/message_pump.h"
#include "tests/runtime/timeline_fixture.h"

namespace {

using Log = std::vector<std::string>;

TEST_F(TimelineTest, RegisterInitsBeforeNaming) {
    ASSERT_TRUE(Load("e 0 p sdup\r\ne 0 s i0 sdup\r\n%"));
    CProbeEffect* first = Add("dup");
    CProbeEffect* second = Add("dup");
    // Init sees the manager's size and a name not yet copied in.
    EXPECT_EQ(log, (Log{"init dup 640x480 unset", "init dup 640x480 unset"}));
    EXPECT_STREQ(first->name, "dup");
    EXPECT_EQ(manager.RegisteredCount(), 2);
    EXPECT_EQ(manager.Registered(1), second);
    log.clear();

    // Lookups find the one registered first; names are exact.
    manager.Update(0);
    EXPECT_EQ(log, (Log{"trigger dup"}));
    EXPECT_EQ(manager.Layer(0).effect, first);

    // Loading again starts from an empty registry and empty layers.
    ASSERT_TRUE(Load("e 0 s i0 sDup\r\n%"));
    EXPECT_EQ(manager.RegisteredCount(), 0);
    EXPECT_EQ(manager.Registered(0), nullptr);
    EXPECT_EQ(manager.Layer(0).effect, nullptr);
    Add("dup");
    manager.Update(0);
    EXPECT_EQ(manager.Layer(0).effect, nullptr);
}

TEST_F(TimelineTest, RegistryHolds512) {
    ASSERT_TRUE(Load("%"));
    std::vector<std::unique_ptr<CEffect>> effects;
    for (int i = 0; i < kMaxEffects; ++i) {
        effects.push_back(std::make_unique<CEffect>());
        ASSERT_TRUE(manager.Register(effects.back().get(), "x"));
    }
    CProbeEffect extra(&log, "extra");
    EXPECT_FALSE(manager.Register(&extra, "extra"));
    EXPECT_EQ(manager.RegisteredCount(), kMaxEffects);
    EXPECT_TRUE(log.empty());  // refused before Init
    EXPECT_STREQ(extra.name, "unset");
    EXPECT_FALSE(manager.Register(nullptr, "none"));

    // Names longer than the field are cut, not spilled.
    ASSERT_TRUE(Load("%"));
    CEffect effect;
    const std::string longName(400, 'q');
    ASSERT_TRUE(manager.Register(&effect, longName.c_str()));
    EXPECT_EQ(std::string(effect.name), longName.substr(0, 255));
}

TEST_F(TimelineTest, RenderLayersInOrderWithObserver) {
    ASSERT_TRUE(Load("e 0 s i511 sc\r\ne 0 s i0 sa\r\ne 0 s i7 sb\r\ne 0 s i300 sa\r\n%"));
    CProbeEffect* a = Add("a");
    CProbeEffect* b = Add("b");
    CProbeEffect* c = Add("c");
    manager.Update(0);
    log.clear();

    struct SSeen {
        std::vector<std::string>* log;
        const CEffect* a;
        const CEffect* b;
        const CEffect* c;
    } seen{&log, a, b, c};
    manager.SetRenderObserver(
        [](void* context, const CEffect* effect, bool begin) {
            auto* s = static_cast<SSeen*>(context);
            const char* tag = effect == s->a ? "a" : effect == s->b ? "b" : effect == s->c ? "c" : "?";
            s->log->push_back(std::string(begin ? "begin " : "end ") + tag);
        },
        &seen);
    manager.RenderLayers(0.02f);
    EXPECT_EQ(log, (Log{"begin a", "render a 0.02", "end a", "begin b", "render b 0.02", "end b",
                        "begin a", "render a 0.02", "end a", "begin c", "render c 0.02", "end c"}));

    log.clear();
    manager.SetRenderObserver(nullptr, nullptr);
    manager.RenderLayers(0.0f);
    EXPECT_EQ(log, (Log{"render a 0", "render b 0", "render a 0", "render c 0"}));
}

// A stop asked for while a layer draws (a key met by "beginScene"'s pump, a
// signal) leaves every later layer undrawn, and is seen before the first.
TEST_F(TimelineTest, StopRequestEndsThePassAfterTheLayerThatSawIt) {
    ASSERT_TRUE(Load("e 0 s i0 sa\r\ne 0 s i1 sb\r\ne 0 s i2 sc\r\n%"));
    Add("a");
    Add("b");
    Add("c");
    manager.Update(0);
    log.clear();

    class CStopAfter : public IMessagePump {
    public:
        CStopAfter(const Log& log, size_t renders) : m_log(log), m_renders(renders) {}
        void Pump() override {}
        bool StopRequested() override { return m_log.size() >= m_renders; }

    private:
        const Log& m_log;
        size_t m_renders;
    };
    CStopAfter afterTwo(log, 2);
    SetMessagePump(&afterTwo);
    EXPECT_FALSE(manager.RenderLayers(0.1f));
    EXPECT_EQ(log, (Log{"render a 0.1", "render b 0.1"}));

    log.clear();
    CStopAfter atOnce(log, 0);
    SetMessagePump(&atOnce);
    EXPECT_FALSE(manager.RenderLayers(0.1f));
    EXPECT_TRUE(log.empty());
    SetMessagePump(nullptr);
    EXPECT_TRUE(manager.RenderLayers(0.1f));
    EXPECT_EQ(log.size(), 3u);
}

TEST(EffectManagerTest, UnloadedManagerHasNothingToPlay) {
    CEffectManager manager;
    EXPECT_EQ(manager.CurrentEvent(), nullptr);
    EXPECT_EQ(manager.Update(0), -1);
    EXPECT_TRUE(manager.RenderLayers(0.1f));
}

}  // namespace
