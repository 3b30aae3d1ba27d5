#include <gtest/gtest.h>

#include "render/recording_device.h"
#include "runtime/message_pump.h"
#include "effects/scene_effects.h"

namespace {

// Notes how many device calls had been made each time it pumped.
class CRecordingPump : public IMessagePump {
public:
    explicit CRecordingPump(const CRecordingDevice& device) : m_device(device) {}
    void Pump() override { callsAtPump.push_back(m_device.calls.size()); }
    bool StopRequested() override { return false; }

    std::vector<size_t> callsAtPump;

private:
    const CRecordingDevice& m_device;
};

class SceneEffectsTest : public ::testing::Test {
protected:
    void SetUp() override { g_device = &device; }
    void TearDown() override {
        SetMessagePump(nullptr);
        g_device = nullptr;
    }

    CRecordingDevice device;
};

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
    begin.Render(0.1f);  // no pump installed: nothing else happens
    ASSERT_EQ(device.calls.size(), 1u);
    EXPECT_EQ(device.calls[0].op, "BeginScene");

    CRecordingPump pump(device);
    SetMessagePump(&pump);
    begin.Render(0.1f);
    ASSERT_EQ(device.calls.size(), 2u);
    // The pump runs once, after BeginScene was issued.
    EXPECT_EQ(pump.callsAtPump, (std::vector<size_t>{2}));
}

TEST_F(SceneEffectsTest, DoneScenePresentsWholeBuffer) {
    CEffectDoneScene done;
    done.Render(0.1f);
    ASSERT_EQ(device.calls.size(), 2u);
    EXPECT_EQ(device.calls[0].op, "EndScene");
    EXPECT_EQ(device.calls[1].op, "Present");
    EXPECT_EQ(device.calls[1].args, (std::vector<int64_t>{4}));  // all four arguments null
}

}  // namespace
