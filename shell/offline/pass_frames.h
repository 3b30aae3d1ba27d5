// One picture per pass of the main loop, however many times the pass
// presented: the last picture presented in it, or the previous pass's again
// when it presented none (a hidden "endScene"), or black before the first.
// So the frames keep time with the loop, and with the music.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "render/core/raster_device.h"

// BGRA8, rows top first; shared by the writers of a frame, never changed.
using FramePixels = std::shared_ptr<const std::vector<uint8_t>>;

class CPassFrames : public IPresentSink {
public:
    CPassFrames(int width, int height);

    // Reads the back buffer, once, into a frame of its own (writers may
    // still hold the last one). Back buffers of another size than the
    // frames' are not kept.
    void OnPresent(CRasterDevice& device) override;
    // The frame of the pass that has just rendered.
    FramePixels Frame() const { return m_latest; }

    int Width() const { return m_width; }
    int Height() const { return m_height; }

private:
    int m_width;
    int m_height;
    FramePixels m_latest;
};
