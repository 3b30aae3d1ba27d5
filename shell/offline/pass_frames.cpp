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

void CPassFrames::OnPresent(CRasterDevice& device) {
    if (device.Width() != m_width || device.Height() != m_height) return;
    auto frame = std::make_shared<std::vector<uint8_t>>(m_latest->size());
    device.ReadBackBuffer(frame->data(), m_width * 4);
    m_latest = std::move(frame);
}
