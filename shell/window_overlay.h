// What a window output draws over each frame it shows, after the frame and
// before the swap: never part of the back buffer, so never in a capture.
#pragma once

class IWindowOverlay {
public:
    virtual ~IWindowOverlay() = default;
    // The window's drawable size in pixels.
    virtual void DrawOverlay(int width, int height) = 0;
};
