// Shared ground for effect tests: a recording device as g_device, a fresh
// working directory with a Data/ folder for the effect's pictures, and
// readers for what the effect handed the device.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "render/recording_device.h"

// (state, value) pairs as the device was handed them.
using States = std::vector<std::pair<DWORD, DWORD>>;

// `ops` `times` over, joined by spaces, for building expected op sequences.
std::string Repeat(const std::string& ops, int times);

struct SVertexColor {
    float x, y, z;
    uint32_t colour;
};
struct SVertexColorUV {
    float x, y, z;
    uint32_t colour;
    float u, v;
};
struct SVertexNormal {
    float x, y, z;
    float nx, ny, nz;
};

// The vertices a recorded DrawPrimitive read, as the given layout.
template <typename V>
std::vector<V> VerticesOf(const SRecordedCall& draw) {
    std::vector<V> out(draw.vertices.size() / sizeof(V));
    if (!out.empty()) std::memcpy(out.data(), draw.vertices.data(), out.size() * sizeof(V));
    return out;
}

class EffectTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes an uncompressed true-colour TGA under the working directory.
    // pixel(x, row) gives B, G, R, A for file row `row` (the first row stored).
    using PixelFn = std::function<void(int x, int row, uint8_t bgra[4])>;
    static void WriteTga(const std::string& path, int width, int height, int depth, const PixelFn& pixel);
    // A solid-colour picture.
    static void WriteSolidTga(const std::string& path, int width, int height, int depth, uint32_t argb);

    // The recorded calls of one kind, as argument tuples, in order.
    States RenderStates() const;  // (state, value)
    States StageStates() const;   // (type, value), stage 0
    // The textures CreateTexture made, in order.
    std::vector<const void*> CreatedTextures() const;
    // The textures bound, in order (null where none); every bind is to stage 0.
    std::vector<const void*> BoundTextures() const;
    std::vector<const SRecordedCall*> Draws() const { return device.Find("DrawPrimitive"); }
    // The matrix last handed to SetTransform for that transform state.
    D3DMATRIX LastTransform(DWORD state) const;
    // The ops of all calls in order, joined by spaces ("SetTransform SetRenderState ...").
    std::string OpSequence() const;

    CRecordingDevice device;
    std::string directory;

private:
    std::string m_previousDirectory;
};
