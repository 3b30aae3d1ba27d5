// The raster backend that draws with OpenGL 3.3 core on the current context.
// No GL types here: the shell shows its frames through ShowImage.
#pragma once

#include <memory>
#include <string>

#include "render/core/raster_backend.h"

class IGLRasterBackend : public IRasterBackend {
public:
    // Draws the image into the window's own framebuffer at `dest` (window
    // pixels, y down), scaled, with black around it; the caller swaps.
    virtual void ShowImage(uint32_t image, const SRasterRect& dest, int windowWidth, int windowHeight) = 0;
};

// Null, with the reason in *error, when the current context (if any) cannot
// do what the backend needs.
std::unique_ptr<IGLRasterBackend> CreateGLRasterBackend(std::string* error);
