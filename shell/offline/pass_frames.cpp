#include "shell/offline/pass_frames.h"

#include <algorithm>

namespace {

constexpr uint8_t kOpaqueBlack[4] = {0, 0, 0, 255};

}  // namespace

CPassFrames::CPassFrames(int width, int height) : m_width(width), m_height(height) {
    auto black = std::make_shared<std::vector<uint8_t>>(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    for (size_t i = 0; i < black->size(); i += 4) std::copy(kOpaqueBlack, kOpaqueBlack + 4, black->begin() + i);
    m_latest = std::move(black);
}

void CPassFrames::OnPresent(const uint8_t* rgba, int width, int height) {
    if (!rgba || width != m_width || height != m_height) return;
    // A new buffer each time: writers may still hold the last one.
    m_latest = std::make_shared<const std::vector<uint8_t>>(rgba, rgba + m_latest->size());
}
