// Every effect the program has, created and registered in the one fixed
// order the timelines rely on (registry slot = position in the table).
#pragma once

#include <vector>

#include "runtime/timeline_check.h"

class CEffectManager;

// The effects live until the process ends, as do the device objects they
// hold: nothing ever destroys them.
void RegisterEffects(CEffectManager* manager);

// The names RegisterEffects gives, in its order, and which effects take
// parameters: what the timeline checker needs, without a device.
std::vector<STimelineEffect> TimelineEffects();
