#include "effects/effect_table.h"

#include <memory>
#include <vector>

#include "effects/bezier.h"
#include "effects/cube.h"
#include "effects/fade.h"
#include "effects/flare.h"
#include "effects/intro.h"
#include "effects/old_zoom.h"
#include "effects/pixel_board.h"
#include "effects/test_texture.h"
#include "effects/zoom_blur.h"
#include "runtime/effect_manager.h"
#include "effects/scene_effects.h"

namespace {

// Kept for the whole process and never freed: the manager and the device
// objects the effects made refer to them until exit, whichever way the
// program ends.
std::vector<std::unique_ptr<CEffect>>& LiveEffects() {
    static auto* effects = new std::vector<std::unique_ptr<CEffect>>;
    return *effects;
}

template <typename T>
CEffect* Make() {
    return new T;
}

struct SEffectEntry {
    const char* name;
    bool takesParameters;  // defines SetParam
    CEffect* (*make)();
};

// The test texture draws its random numbers first, the pixel board after.
constexpr SEffectEntry kEffects[] = {
    {"clearScreen", false, Make<CEffectClearScreen>},  // slot 0
    {"beginScene", false, Make<CEffectBeginScene>},    // slot 1
    {"endScene", false, Make<CEffectDoneScene>},       // slot 2
    {"fade", true, Make<CEffectFade>},                 // slot 3
    {"cube1", false, Make<CEffectCube1>},              // slot 4
    {"testTexture", false, Make<CEffectTestTexture>},  // slot 5
    {"bezier", false, Make<CEffectBezier>},            // slot 6
    {"zoomblur", false, Make<CEffectZoomBlur>},        // slot 7
    {"pixBoard", false, Make<CEffectPixelBoard>},      // slot 8
    {"intro", false, Make<CEffectIntro>},              // slot 9
    {"flare", false, Make<CEffectFlare>},              // slot 10
    {"oldzoom", false, Make<CEffectOldZoom>},          // slot 11
};

}  // namespace

void RegisterEffects(CEffectManager* manager) {
    // Each is registered as soon as it is made, so its Init (which loads its
    // textures and buffers) runs before the next effect is created.
    for (const SEffectEntry& entry : kEffects) {
        CEffect* effect = entry.make();
        LiveEffects().emplace_back(effect);
        manager->Register(effect, entry.name);
    }
}

std::vector<STimelineEffect> TimelineEffects() {
    std::vector<STimelineEffect> effects;
    for (const SEffectEntry& entry : kEffects) effects.push_back({entry.name, entry.takesParameters});
    return effects;
}
