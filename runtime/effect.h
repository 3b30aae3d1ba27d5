// The effect interface every layer draws through.
#pragma once

#include "runtime/effect_state.h"

class CEffect {
public:
    virtual ~CEffect() = default;
    // Called once at registration with the manager's size (640 x 480).
    virtual int Init(int width, int height) { (void)width; (void)height; return 0; }
    // step: seconds the demo clock advanced since the previous frame.
    virtual int Render(float step) { (void)step; return 0; }
    virtual int Trigger() { return 0; }
    virtual int SetParam(int which, float value) { (void)which; (void)value; return 0; }
    // Everything Render, Trigger and SetParam change, class-wide values
    // included, so that a run can go back to an earlier moment exactly.
    virtual void SaveState(CEffectState* state) const { (void)state; }
    virtual void LoadState(CEffectState* state) { (void)state; }

    char name[256];
};
