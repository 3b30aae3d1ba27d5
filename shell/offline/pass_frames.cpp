#include "shell/offline/pass_frames.h"

#include <algorithm>

namespace {

constexpr uint8_t kOpaqueBlack[4] = {0, 0, 0, 255};

void FillBlack(std::vector<uint8_t>::iterator begin, std::vector<uint8_t>::iterator end) {
    for (auto it = begin; it != end; it += 4) std::copy(kOpaqueBlack, kOpaqueBlack + 4, it);
}

}  // namespace

CPassFrames::CPassFrames(const SFrameSize& size) : m_size(size) {
    auto black = std::make_shared<std::vector<uint8_t>>(static_cast<size_t>(size.frameWidth) * size.frameHeight * 4);
    FillBlack(black->begin(), black->end());
    m_latest = std::move(black);
}

void CPassFrames::OnPresent(CRasterDevice& device) {
    if (device.PictureWidth() != m_size.pictureWidth || device.PictureHeight() != m_size.pictureHeight) return;
    const size_t pitch = static_cast<size_t>(m_size.frameWidth) * 4;
    auto frame = std::make_shared<std::vector<uint8_t>>(m_latest->size());
    // The bands above and below the picture, and the bars beside it.
    const size_t top = static_cast<size_t>(m_size.pictureY) * pitch;
    const size_t bottom = static_cast<size_t>(m_size.pictureY + m_size.pictureHeight) * pitch;
    FillBlack(frame->begin(), frame->begin() + static_cast<ptrdiff_t>(top));
    FillBlack(frame->begin() + static_cast<ptrdiff_t>(bottom), frame->end());
    if (m_size.pictureWidth != m_size.frameWidth) {
        const size_t left = static_cast<size_t>(m_size.pictureX) * 4;
        const size_t right = left + static_cast<size_t>(m_size.pictureWidth) * 4;
        for (size_t row = top; row < bottom; row += pitch) {
            FillBlack(frame->begin() + static_cast<ptrdiff_t>(row), frame->begin() + static_cast<ptrdiff_t>(row + left));
            FillBlack(frame->begin() + static_cast<ptrdiff_t>(row + right),
                      frame->begin() + static_cast<ptrdiff_t>(row + pitch));
        }
    }
    device.ReadPicture(frame->data() + top + static_cast<size_t>(m_size.pictureX) * 4, static_cast<int>(pitch));
    m_latest = std::move(frame);
}
