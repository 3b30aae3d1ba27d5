// The timeline loader, then the manager playing what it loaded: every event
// fires at rising times and the enabled layers are drawn after each step, so
// whatever a line holds (layer numbers, names, values) reaches the manager
// and the effects it names. The checker then reads the same bytes.
#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "render/recording_device.h"
#include "runtime/effect_manager.h"
#include "effects/scene_effects.h"
#include "runtime/timeline_check.h"
#include "runtime/timeline_strip.h"
#include "tests/fuzz/fuzz_files.h"

namespace {

// A picture effect's stand-in: it keeps what it is handed and uses it when
// drawn, as the real effects do.
class CStandInEffect : public CEffect {
public:
    int Render(float step) override {
        m_clock += step;
        g_device->SetRenderState(D3DRS_AMBIENT, static_cast<DWORD>(m_triggers));
        return 0;
    }
    int Trigger() override {
        ++m_triggers;
        return 0;
    }
    int SetParam(int which, float value) override {
        if (which >= 0 && which < 4) m_params[which] = value;
        return 0;
    }

private:
    float m_clock = 0.0f;
    unsigned m_triggers = 0;
    float m_params[4] = {};
};

// Distinct event times in rising order, the end record's included.
std::vector<int> DueTimes(const CEffectManager& manager) {
    std::vector<int> times;
    for (const CScriptEvent* event = manager.CurrentEvent(); event; event = event->next)
        times.push_back(event->time);
    std::sort(times.begin(), times.end());
    times.erase(std::unique(times.begin(), times.end()), times.end());
    return times;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    EnterFuzzScratchDir(argc, argv);
    // The timeline makes no device objects, so one device serves every input.
    static CRecordingDevice device;
    g_device = &device;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    WriteFuzzFile("script.txt", data, size);
    auto manager = std::make_unique<CEffectManager>();
    manager->Load("script.txt", 640, 480);
    CEffectBeginScene begin;
    CEffectClearScreen clear;
    CEffectDoneScene done;
    CStandInEffect fade, cube, flare;
    manager->Register(&clear, "clearScreen");
    manager->Register(&begin, "beginScene");
    manager->Register(&done, "endScene");
    manager->Register(&fade, "fade");
    manager->Register(&cube, "cube1");
    manager->Register(&flare, "flare");

    for (int now : DueTimes(*manager)) {
        if (manager->Update(now) == -1) break;
        manager->RenderLayers(0.02f);
        static_cast<CRecordingDevice*>(g_device)->ClearCalls();
    }
    manager->Update(INT_MAX);

    // The checker reads the same bytes; whatever they hold, it must only talk.
    static const std::vector<STimelineEffect> kNames = {{"clearScreen", false}, {"beginScene", false},
                                                        {"endScene", false},    {"fade", true},
                                                        {"cube1", false},       {"flare", false}};
    CheckTimeline(data, size, kNames, 160000);
    // So must what author mode's panel makes of them.
    const CTimelineStrip strip(data, size, {"clearScreen", "beginScene", "endScene", "fade", "cube1", "flare"});
    for (size_t i = 0; i < strip.Events().size() && i < 64; ++i) strip.ActiveAt(strip.Events()[i].fires);
    strip.ActiveAt(strip.End());

    static_cast<CRecordingDevice*>(g_device)->ClearCalls();
    return 0;
}
