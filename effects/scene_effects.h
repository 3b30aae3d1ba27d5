// The three effects that open, clear and close each frame.
#pragma once

#include "runtime/effect.h"

class CEffectClearScreen : public CEffect {
public:
    int Init(int width, int height) override;
    int Render(float step) override;

    int red = 0;
    int green = 0;
    int blue = 0;
};

class CEffectBeginScene : public CEffect {
public:
    int Render(float step) override;
};

class CEffectDoneScene : public CEffect {
public:
    int Render(float step) override;
};
