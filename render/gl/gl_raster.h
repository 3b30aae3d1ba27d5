// The raster backend that draws with OpenGL 3.3 core on the current context.
#pragma once

#include <memory>
#include <string>

#include "render/core/raster_backend.h"

// Null, with the reason in *error, when the current context (if any) cannot
// do what the backend needs.
std::unique_ptr<IRasterBackend> CreateGLRasterBackend(std::string* error);
