// A raster backend that draws nothing and keeps what it is given: every
// batch of screen-space triangles with its state, and the clears. Images are
// ids with a size; downloads give zeros. Lets the device core be tested
// without any graphics driver.
#pragma once

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "render/core/raster_backend.h"

struct SRecordedDraw {
    uint32_t target;
    SRasterState state;
    std::vector<SRasterVertex> vertices;  // three per triangle
};

class CRecordingRasterBackend : public IRasterBackend {
public:
    uint32_t CreateImage(int width, int height) override {
        m_sizes[m_nextId] = {width, height};
        return m_nextId++;
    }
    void DestroyImage(uint32_t image) override { m_sizes.erase(image); }
    void UploadImage(uint32_t, const uint8_t*, int) override {}
    void DownloadImage(uint32_t image, std::vector<uint8_t>* bgra) override {
        const auto it = m_sizes.find(image);
        const size_t pixels =
            it == m_sizes.end() ? 0 : static_cast<size_t>(it->second.first) * it->second.second;
        bgra->assign(4 * pixels, 0);
    }
    void SetTarget(uint32_t image) override { m_target = image; }
    void Clear(D3DCOLOR color, const SRasterRect*) override { clears.push_back(color); }
    void DrawTriangles(const SRasterState& state, const SRasterVertex* vertices,
                       size_t count) override {
        draws.push_back({m_target, state, std::vector<SRasterVertex>(vertices, vertices + count)});
    }
    void CopyRect(uint32_t, const SRasterRect&, uint32_t, int, int) override {}
    void ShowImage(uint32_t, int, int) override {}
    void Finish() override {}
    uint64_t DrawCallCount() const override { return draws.size(); }

    std::vector<SRecordedDraw> draws;
    std::vector<D3DCOLOR> clears;

private:
    std::map<uint32_t, std::pair<int, int>> m_sizes;
    uint32_t m_nextId = 1;
    uint32_t m_target = 0;
};
