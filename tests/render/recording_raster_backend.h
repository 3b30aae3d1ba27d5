// A raster backend that draws nothing and keeps what it is given: every
// batch of screen-space triangles with its state, the clears, and every
// operation in order. Images are ids with a size; downloads give zeros. Lets
// the device core be tested without any graphics driver.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "render/core/raster_backend.h"
#include "render/core/raster_device.h"
#include "render/d3dmath.h"

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
    void UploadImage(uint32_t image, const uint8_t*, int) override { Log("upload", image); }
    void DownloadImage(uint32_t image, uint8_t* bgra, int pitch) override {
        const auto it = m_sizes.find(image);
        if (it == m_sizes.end()) return;
        for (int y = 0; y < it->second.second; ++y)
            std::fill_n(bgra + static_cast<ptrdiff_t>(y) * pitch, 4 * it->second.first, uint8_t{0});
    }
    void SetTarget(uint32_t image) override { m_target = image; }
    void Clear(D3DCOLOR color, const SRasterRect*) override {
        clears.push_back(color);
        Log("clear", m_target);
    }
    void DrawTriangles(const SRasterState& state, const SRasterVertex* vertices,
                       size_t count) override {
        draws.push_back({m_target, state, std::vector<SRasterVertex>(vertices, vertices + count)});
        Log("draw", m_target, state.texture);
    }
    void CopyRect(uint32_t source, const SRasterRect&, uint32_t dest, int, int) override {
        Log("copy", dest, source);
    }
    void Finish() override {}
    uint64_t DrawCallCount() const override { return draws.size(); }

    std::vector<SRecordedDraw> draws;
    std::vector<D3DCOLOR> clears;
    // "clear 1", "draw 1 from 3" (into image 1, sampling image 3), "copy 4
    // from 1", "upload 3", in the order they came.
    std::vector<std::string> ops;

private:
    void Log(const char* what, uint32_t image, uint32_t from = 0) {
        ops.push_back(std::string(what) + " " + std::to_string(image) +
                      (from ? " from " + std::to_string(from) : std::string()));
    }

    std::map<uint32_t, std::pair<int, int>> m_sizes;
    uint32_t m_nextId = 1;
    uint32_t m_target = 0;
};

// A device of the given size over a recording backend (kept in *backend),
// drawing flat in pixels: identity world and view, an orthographic
// projection of its size with the origin at the centre and y up, no
// lighting. Null, with the reason, when it cannot be made.
inline CRasterDevice* CreateRecordedDevice(int width, int height, CRecordingRasterBackend** backend,
                                           std::string* error) {
    auto recording = std::make_unique<CRecordingRasterBackend>();
    *backend = recording.get();
    CRasterDevice* device = CRasterDevice::Create(std::move(recording), width, height, error);
    if (!device) return nullptr;
    D3DMATRIX m;
    device->SetTransform(D3DTS_WORLD, MatIdentity(&m));
    device->SetTransform(D3DTS_VIEW, MatIdentity(&m));
    device->SetTransform(D3DTS_PROJECTION,
                         MatOrtho(&m, static_cast<float>(width), static_cast<float>(height), -1.0f, 1.0f));
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    return device;
}
