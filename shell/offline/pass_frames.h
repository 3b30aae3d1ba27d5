// One frame per pass of the main loop, however many times the pass
// presented: the last picture presented in it, or the previous pass's again
// when it presented none (a hidden "endScene"), or black before the first.
// So the frames keep time with the loop, and with the music. A frame is the
// frame size's, its picture centred with black around it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "render/core/raster_device.h"
#include "shell/frame_size.h"

// BGRA8, rows top first; shared by the writers of a frame, never changed.
using FramePixels = std::shared_ptr<const std::vector<uint8_t>>;

class CPassFrames : public IPresentSink {
public:
    explicit CPassFrames(const SFrameSize& size);

    // Reads the picture, once, into a frame of its own (writers may still
    // hold the last one). Pictures of another size than the frames' are not
    // kept.
    void OnPresent(CRasterDevice& device) override;
    // The frame of the pass that has just rendered.
    FramePixels Frame() const { return m_latest; }

    int Width() const { return m_size.frameWidth; }
    int Height() const { return m_size.frameHeight; }

private:
    SFrameSize m_size;
    FramePixels m_latest;
};
