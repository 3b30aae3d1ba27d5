#include "render/core/letterbox.h"

#include <cstdint>

SRasterRect Letterbox(int imageWidth, int imageHeight, int areaWidth, int areaHeight) {
    if (imageWidth <= 0 || imageHeight <= 0 || areaWidth <= 0 || areaHeight <= 0) return {0, 0, 0, 0};
    int width = areaWidth;
    int height = static_cast<int>(static_cast<int64_t>(areaWidth) * imageHeight / imageWidth);
    if (height > areaHeight) {
        height = areaHeight;
        width = static_cast<int>(static_cast<int64_t>(areaHeight) * imageWidth / imageHeight);
    }
    return {(areaWidth - width) / 2, (areaHeight - height) / 2, width, height};
}
