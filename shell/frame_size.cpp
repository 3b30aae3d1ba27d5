#include "shell/frame_size.h"

#include <algorithm>

bool SFrameSize::operator==(const SFrameSize& o) const {
    return frameWidth == o.frameWidth && frameHeight == o.frameHeight && pictureWidth == o.pictureWidth &&
           pictureHeight == o.pictureHeight && pictureX == o.pictureX && pictureY == o.pictureY &&
           supersample == o.supersample;
}

SFrameSize FrameSizeFor(int width, int height, int supersample) {
    SFrameSize size;
    size.frameWidth = width;
    size.frameHeight = height;
    const int unit = std::min(width / 4, height / 3);
    size.pictureWidth = 4 * unit;
    size.pictureHeight = 3 * unit;
    size.pictureX = (width - size.pictureWidth) / 2;
    size.pictureY = (height - size.pictureHeight) / 2;
    size.supersample = supersample;
    return size;
}

std::string SizeText(int width, int height) { return std::to_string(width) + "x" + std::to_string(height); }

bool CheckDrawnSize(const SFrameSize& size, std::string* error) {
    if (size.DrawnWidth() <= kMaxDrawnSide && size.DrawnHeight() <= kMaxDrawnSide) return true;
    *error = "--size " + SizeText(size.frameWidth, size.frameHeight) + " with --supersample " +
             std::to_string(size.supersample) + " draws a " + SizeText(size.DrawnWidth(), size.DrawnHeight()) +
             " picture; at most " + std::to_string(kMaxDrawnSide) + " pixels a side can be drawn";
    return false;
}
