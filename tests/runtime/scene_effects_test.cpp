#include <gtest/gtest.h>

#include "render/recording_device.h"
#include "runtime/message_pump.h"
#include "runtime/random.h"
#include "runtime/scene_effects.h"

namespace {

class SceneEffectsTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_device = &device;
        s_device = &device;
        s_callsAtPump.clear();
    }
    void TearDown() override {
        SetPumpMessagesHook(nullptr);
        g_device = nullptr;
        s_device = nullptr;
    }

    // Notes how many device calls had been made when the pump ran.
    static int RecordPump() {
        s_callsAtPump.push_back(s_device->calls.size());
        return 0;
    }

    CRecordingDevice device;
    static CRecordingDevice* s_device;
    static std::vector<size_t> s_callsAtPump;
};

CRecordingDevice* SceneEffectsTest::s_device = nullptr;
std::vector<size_t> SceneEffectsTest::s_callsAtPump;

TEST_F(SceneEffectsTest, ClearScreenClearsToOpaqueColour) {
    CEffectClearScreen clear;
    clear.red = 7;
    clear.Init(640, 480);
    EXPECT_EQ(clear.red, 0);
    clear.Render(0.1f);
    ASSERT_EQ(device.calls.size(), 1u);
    const SRecordedCall& call = device.calls[0];
    EXPECT_EQ(call.op, "Clear");
    // count, flags, colour, stencil
    EXPECT_EQ(call.args, (std::vector<int64_t>{0, D3DCLEAR_TARGET, 0xFF000000, 0}));
    EXPECT_EQ(call.z, 1.0f);

    // Only the low 8 bits of each channel count.
    clear.red = 0x1AB;
    clear.green = -1;
    clear.blue = 0x234;
    clear.Render(0.0f);
    EXPECT_EQ(device.calls[1].args[2], 0xFFABFF34);
}

TEST_F(SceneEffectsTest, BeginSceneThenPump) {
    CEffectBeginScene begin;
    begin.Render(0.1f);  // no hook installed: nothing else happens
    ASSERT_EQ(device.calls.size(), 1u);
    EXPECT_EQ(device.calls[0].op, "BeginScene");

    SetPumpMessagesHook(&SceneEffectsTest::RecordPump);
    begin.Render(0.1f);
    ASSERT_EQ(device.calls.size(), 2u);
    // The pump runs once, after BeginScene was issued.
    EXPECT_EQ(s_callsAtPump, (std::vector<size_t>{2}));
}

TEST_F(SceneEffectsTest, DoneScenePresentsWholeBuffer) {
    CEffectDoneScene done;
    done.Render(0.1f);
    ASSERT_EQ(device.calls.size(), 2u);
    EXPECT_EQ(device.calls[0].op, "EndScene");
    EXPECT_EQ(device.calls[1].op, "Present");
    EXPECT_EQ(device.calls[1].args, (std::vector<int64_t>{4}));  // all four arguments null
}

TEST(DemoRandTest, FixedSequenceFromStateOne) {
    DemoRandReset();
    const int expected[] = {41, 18467, 6334, 26500, 19169};
    for (int value : expected) EXPECT_EQ(DemoRand(), value);
    for (int i = 0; i < 10000; ++i) {
        const int value = DemoRand();
        ASSERT_GE(value, 0);
        ASSERT_LE(value, 32767);
    }
    DemoRandReset();
    EXPECT_EQ(DemoRand(), 41);
}

}  // namespace
