// What a hidden device does with drawing that reaches only the back buffer:
// it keeps it as commands, without any vertex work. A full clear of the back
// buffer throws away everything kept before it, which is where a run that is
// only simulated saves its time; whatever is still kept when its result could
// be seen (the back buffer is read or shown, or a texture a kept draw samples
// is about to change) is drawn then, in order, so the pixels come out as if
// nothing had been held back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_set>
#include <vector>

#include "render/core/raster_backend.h"
#include "render/core/vertex_pipeline.h"

class CHiddenBackBuffer {
public:
    // One kept command: a draw with everything it depends on, or a clear of
    // a rectangle (of the whole target when `whole`).
    struct SCommand {
        bool clear = false;
        bool whole = false;
        D3DCOLOR color = 0;
        SRasterRect rect{};
        SFixedFunctionState fixed;
        SRasterState raster;
        SVertexLayout layout;
        D3DPRIMITIVETYPE type = D3DPT_TRIANGLELIST;
        uint32_t primitiveCount = 0;
        int stride = 0;
        size_t offset = 0;  // of the vertices in Vertices()
    };

    // A clear of the whole back buffer: nothing kept before it can be seen.
    void ClearWhole(D3DCOLOR color);
    void ClearRect(D3DCOLOR color, const SRasterRect& rect);
    void Draw(const SFixedFunctionState& fixed, const SRasterState& raster, const SVertexLayout& layout,
              D3DPRIMITIVETYPE type, uint32_t primitiveCount, const uint8_t* vertices, int stride,
              size_t vertexCount);

    bool Empty() const { return m_commands.empty(); }
    // True when a kept draw samples the image, so changing it must wait.
    bool Samples(uint32_t image) const { return m_sampled.count(image) != 0; }
    // Kept for too long (a timeline that never clears): better drawn now.
    bool Full() const;

    const std::vector<SCommand>& Commands() const { return m_commands; }
    const uint8_t* Vertices() const { return m_vertices.data(); }
    void Forget();

private:
    std::vector<SCommand> m_commands;
    std::vector<uint8_t> m_vertices;
    std::unordered_set<uint32_t> m_sampled;
};
