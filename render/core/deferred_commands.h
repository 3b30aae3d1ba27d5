// The drawing a hidden device holds back: clears, draws and copies, on any
// image, kept in order with everything they depend on and without any vertex
// work. A run that is only simulated makes most of it pointless: a full clear
// wipes what was drawn before it (and nothing read in between), and a picture
// that is never looked at again never needs drawing. So nothing is drawn until
// its result could be seen; then everything kept is drawn, in order, and the
// pixels come out as if nothing had been held back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "render/core/raster_backend.h"
#include "render/core/vertex_pipeline.h"

class CDeferredCommands {
public:
    enum class EKind { kClear, kDraw, kCopy };

    struct SCommand {
        EKind kind = EKind::kClear;
        uint32_t target = 0;  // the image written
        int width = 0;        // of the target: the viewport
        int height = 0;
        bool dead = false;    // its result can no longer be seen
        // kClear (`whole`: the whole target, not `rect`)
        bool whole = false;
        D3DCOLOR color = 0;
        SRasterRect rect{};
        // kDraw
        size_t fixed = 0;  // index into the fixed-function states
        SRasterState raster;
        SVertexLayout layout;
        D3DPRIMITIVETYPE type = D3DPT_TRIANGLELIST;
        uint32_t primitiveCount = 0;
        int stride = 0;
        size_t offset = 0;  // of its vertices
        size_t bytes = 0;
        bool newFixed = false;  // the first command with its fixed-function state
        // kCopy: `rect` of `source` to (destX, destY) of the target
        uint32_t source = 0;
        int destX = 0;
        int destY = 0;
    };

    void Clear(uint32_t target, int width, int height, D3DCOLOR color, const SRasterRect* rect);
    void Draw(uint32_t target, int width, int height, const SFixedFunctionState& fixed, const SRasterState& raster,
              const SVertexLayout& layout, D3DPRIMITIVETYPE type, uint32_t primitiveCount, const uint8_t* vertices,
              int stride, size_t vertexCount);
    void Copy(uint32_t source, const SRasterRect& rect, uint32_t target, int destX, int destY);

    bool Empty() const { return m_live == 0; }
    // Whether a kept command still to be drawn writes or reads the image.
    bool Writes(uint32_t image) const { return Count(m_writes, image) != 0; }
    bool Reads(uint32_t image) const { return Count(m_reads, image) != 0; }
    // The image is about to be replaced whole while nothing kept reads it:
    // what kept commands wrote into it can no longer be seen.
    void Overwritten(uint32_t image);
    // Holding more than is worth keeping (a timeline that never clears).
    bool Full() const;
    // Whether what the image holds now can no longer be seen: the first kept
    // command on it clears it whole. Then the other images' commands may be
    // drawn first and the image's alone kept (KeepOnly), as long as none of
    // them reads the image and none writes what its kept commands sample.
    bool Replaces(uint32_t image) const;
    bool CanKeepOnly(uint32_t image) const;
    void KeepOnly(uint32_t image);

    // For drawing them: in order, dead ones included (to be skipped).
    const std::vector<SCommand>& Commands() const { return m_commands; }
    const uint8_t* Vertices() const { return m_vertices.data(); }
    const SFixedFunctionState& Fixed(size_t index) const { return m_fixed[index]; }
    void Forget();

private:
    static int Count(const std::unordered_map<uint32_t, int>& counts, uint32_t image);
    void Add(const SCommand& command);
    void Kill(SCommand* command);
    // Drops the dead commands' bytes once they outweigh the live ones.
    void Compact();

    std::vector<SCommand> m_commands;
    std::vector<uint8_t> m_vertices;
    std::vector<SFixedFunctionState> m_fixed;
    // Live commands writing and reading each image.
    std::unordered_map<uint32_t, int> m_writes;
    std::unordered_map<uint32_t, int> m_reads;
    // Per image, the live commands writing it since it was last read: a full
    // clear of it makes them dead.
    std::unordered_map<uint32_t, std::vector<size_t>> m_unread;
    size_t m_live = 0;
    size_t m_liveBytes = 0;
    size_t m_deadBytes = 0;
};
