// Where a picture goes in an area of another shape: the largest rectangle of
// the picture's shape that fits, in whole pixels, centred, with black
// around it.
#pragma once

#include "render/core/raster_backend.h"

// Empty (0 x 0) when either size is not positive.
SRasterRect Letterbox(int imageWidth, int imageHeight, int areaWidth, int areaHeight);
