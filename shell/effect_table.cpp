#include "shell/effect_table.h"

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
#include "runtime/scene_effects.h"

namespace {

// Kept for the whole process and never freed: the manager and the device
// objects the effects made refer to them until exit, whichever way the
// program ends.
std::vector<std::unique_ptr<CEffect>>& LiveEffects() {
    static auto* effects = new std::vector<std::unique_ptr<CEffect>>;
    return *effects;
}

// Registered as soon as it is made, so its Init (which loads its textures and
// buffers) runs before the next effect is created.
void Add(CEffectManager* manager, CEffect* effect, const char* name) {
    LiveEffects().emplace_back(effect);
    manager->Register(effect, name);
}

}  // namespace

void RegisterEffects(CEffectManager* manager) {
    Add(manager, new CEffectClearScreen, "clearScreen");  // slot 0
    Add(manager, new CEffectBeginScene, "beginScene");    // slot 1
    Add(manager, new CEffectDoneScene, "endScene");       // slot 2
    Add(manager, new CEffectFade, "fade");                // slot 3
    Add(manager, new CEffectCube1, "cube1");              // slot 4
    // The test texture draws its random numbers first, the pixel board after.
    Add(manager, new CEffectTestTexture, "testTexture");  // slot 5
    Add(manager, new CEffectBezier, "bezier");            // slot 6
    Add(manager, new CEffectZoomBlur, "zoomblur");        // slot 7
    Add(manager, new CEffectPixelBoard, "pixBoard");      // slot 8
    Add(manager, new CEffectIntro, "intro");              // slot 9
    Add(manager, new CEffectFlare, "flare");              // slot 10
    Add(manager, new CEffectOldZoom, "oldzoom");          // slot 11
}
