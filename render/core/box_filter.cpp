#include "render/core/box_filter.h"

#include <cstddef>

void BoxFilterRows(const uint8_t* source, int sourcePitch, int destWidth, int rowBegin, int rowEnd, int factor,
                   uint8_t* dest, int destPitch) {
    const uint32_t area = static_cast<uint32_t>(factor * factor);
    const uint32_t half = area / 2;
    for (int y = rowBegin; y < rowEnd; ++y) {
        const uint8_t* block = source + static_cast<ptrdiff_t>(y) * factor * sourcePitch;
        uint8_t* out = dest + static_cast<ptrdiff_t>(y) * destPitch;
        for (int x = 0; x < destWidth; ++x) {
            uint32_t sum[4] = {0, 0, 0, 0};
            for (int dy = 0; dy < factor; ++dy) {
                const uint8_t* p = block + static_cast<ptrdiff_t>(dy) * sourcePitch + static_cast<ptrdiff_t>(x) * factor * 4;
                for (int dx = 0; dx < factor; ++dx, p += 4) {
                    sum[0] += p[0];
                    sum[1] += p[1];
                    sum[2] += p[2];
                    sum[3] += p[3];
                }
            }
            for (int c = 0; c < 4; ++c) out[x * 4 + c] = static_cast<uint8_t>((sum[c] + half) / area);
        }
    }
}
