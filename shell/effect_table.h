// Every effect the program has, created and registered in the one fixed
// order the timelines rely on (registry slot = position in the table).
#pragma once

class CEffectManager;

// The effects live until the process ends, as do the device objects they
// hold: nothing ever destroys them.
void RegisterEffects(CEffectManager* manager);
