// The sizes of a run's picture. The frame is what the window, a captured
// frame or the video is (W x H); the picture is the largest 4:3 rectangle
// of whole pixels that fits in it (4k x 3k), centred, with black around it;
// it is drawn `supersample` times larger in each direction and filtered
// down. The effects draw in fixed spaces whatever the back buffer's size,
// so any size shows the same picture.
#pragma once

#include <string>

constexpr int kDefaultFrameWidth = 1024;
constexpr int kDefaultFrameHeight = 768;
constexpr int kMinFrameWidth = 320;
constexpr int kMinFrameHeight = 240;
constexpr int kMaxFrameWidth = 7680;
constexpr int kMaxFrameHeight = 4320;
// The largest side a picture may be drawn at (supersampling included): the
// CPU backend's exact coverage sums hold for corners up to 16384 pixels out,
// and the device clips 4096 past the target's edges.
constexpr int kMaxDrawnSide = 11520;

struct SFrameSize {
    int frameWidth = kDefaultFrameWidth;
    int frameHeight = kDefaultFrameHeight;
    int pictureWidth = kDefaultFrameWidth;
    int pictureHeight = kDefaultFrameHeight;
    int pictureX = 0;  // where the picture sits in the frame
    int pictureY = 0;
    int supersample = 1;

    int DrawnWidth() const { return pictureWidth * supersample; }
    int DrawnHeight() const { return pictureHeight * supersample; }
    bool operator==(const SFrameSize& o) const;
};

// The sizes for a frame of width x height drawn `supersample` times larger.
SFrameSize FrameSizeFor(int width, int height, int supersample);

// "1920x1080": the form --size takes and messages give.
std::string SizeText(int width, int height);
// False, with the reason, when the drawn picture is larger than the
// device can draw.
bool CheckDrawnSize(const SFrameSize& size, std::string* error);
