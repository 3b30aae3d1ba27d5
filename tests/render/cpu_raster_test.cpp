// The CPU backend gives the same bytes whatever the number of workers,
// whichever SIMD path draws and whether the kernels take their shortcuts:
// every state combination, drawn at random.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "render/cpu/cpu_raster.h"

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 200;

// A fixed generator, so every run draws the same scene.
class CRandom {
public:
    uint32_t Next() {
        m_state = m_state * 1664525u + 1013904223u;
        return m_state >> 8;
    }
    float Unit() { return static_cast<float>(Next() & 0xFFFF) / 65535.0f; }
    float Range(float lo, float hi) { return lo + (hi - lo) * Unit(); }
    template <typename T, size_t N>
    T Pick(const T (&values)[N]) {
        return values[Next() % N];
    }

private:
    uint32_t m_state = 12345;
};

std::vector<uint8_t> DrawScene(const SCpuRasterOptions& options) {
    std::string error;
    std::unique_ptr<IRasterBackend> backend = CreateCpuRasterBackend(options, &error);
    EXPECT_TRUE(backend) << error;
    if (!backend) return {};
    CRandom random;
    const uint32_t target = backend->CreateImage(kWidth, kHeight);
    const uint32_t pot = backend->CreateImage(16, 8);
    const uint32_t odd = backend->CreateImage(13, 7);
    // Wide enough for the kernels that read whole windows of texels.
    const uint32_t widePot = backend->CreateImage(64, 16);
    const uint32_t wideOdd = backend->CreateImage(41, 9);
    for (uint32_t image : {pot, odd, widePot, wideOdd}) {
        std::vector<uint8_t> bgra(64 * 16 * 4);
        for (uint8_t& b : bgra) b = static_cast<uint8_t>(random.Next());
        backend->UploadImage(image, bgra.data(), 64 * 4);
    }
    backend->SetTarget(target);
    backend->Clear(0x80402010u, nullptr);
    const D3DBLEND blends[] = {D3DBLEND_ZERO,         D3DBLEND_ONE,          D3DBLEND_SRCCOLOR,
                               D3DBLEND_INVSRCCOLOR,  D3DBLEND_SRCALPHA,     D3DBLEND_INVSRCALPHA,
                               D3DBLEND_DESTALPHA,    D3DBLEND_INVDESTALPHA, D3DBLEND_DESTCOLOR,
                               D3DBLEND_INVDESTCOLOR};
    const D3DTEXTUREOP ops[] = {D3DTOP_DISABLE, D3DTOP_SELECTARG1, D3DTOP_SELECTARG2, D3DTOP_MODULATE,
                                D3DTOP_BLENDDIFFUSEALPHA};
    const DWORD args[] = {D3DTA_DIFFUSE, D3DTA_TEXTURE};
    const D3DTEXTUREFILTERTYPE filters[] = {D3DTEXF_POINT, D3DTEXF_LINEAR};
    const DWORD addresses[] = {D3DTADDRESS_WRAP, D3DTADDRESS_CLAMP};
    const uint32_t textures[] = {0, pot, odd, widePot, wideOdd};
    for (int draw = 0; draw < 300; ++draw) {
        SRasterState s;
        s.texture = random.Pick(textures);
        s.blendEnable = random.Next() % 4 != 0;
        s.srcBlend = random.Pick(blends);
        s.destBlend = random.Pick(blends);
        s.colorOp = random.Pick(ops);
        s.alphaOp = random.Pick(ops);
        s.colorArg1 = random.Pick(args);
        s.colorArg2 = random.Pick(args);
        s.alphaArg1 = random.Pick(args);
        s.alphaArg2 = random.Pick(args);
        s.magFilter = s.minFilter = random.Pick(filters);
        s.addressU = random.Pick(addresses);
        s.addressV = random.Pick(addresses);
        std::vector<SRasterVertex> vertices(3 * (1 + random.Next() % 4));
        const bool flat = random.Next() % 2 == 0;
        const bool perspective = random.Next() % 2 == 0;
        for (SRasterVertex& v : vertices) {
            v.x = random.Range(-20, kWidth + 20);
            v.y = random.Range(-20, kHeight + 20);
            v.z = 0.5f;
            v.rhw = perspective ? random.Range(0.1f, 2.0f) : 1.0f;
            v.r = flat ? 0.3f : random.Unit();
            v.g = flat ? 0.6f : random.Unit();
            v.b = flat ? 0.9f : random.Unit();
            v.a = flat ? 0.5f : random.Unit();
            v.u = random.Range(-3, 3);
            v.v = random.Range(-3, 3);
        }
        backend->DrawTriangles(s, vertices.data(), vertices.size());
        if (draw % 50 == 0) {
            const SRasterRect rect{static_cast<int>(random.Next() % kWidth), static_cast<int>(random.Next() % kHeight),
                                   40, 30};
            backend->Clear(random.Next(), &rect);
        }
    }
    // Pictures upright on the screen in one colour, filtered, drawn larger
    // and smaller than themselves, mirrored, and wrapping or clamped past
    // their edges: the kernels' row-at-a-time road.
    for (int draw = 0; draw < 80; ++draw) {
        SRasterState s;
        s.texture = random.Pick(textures);
        s.blendEnable = random.Next() % 3 != 0;
        s.srcBlend = random.Pick(blends);
        s.destBlend = random.Pick(blends);
        s.colorOp = D3DTOP_MODULATE;
        s.alphaOp = random.Pick(ops);
        s.magFilter = s.minFilter = D3DTEXF_LINEAR;
        s.addressU = random.Pick(addresses);
        s.addressV = random.Pick(addresses);
        const float x0 = random.Range(-30, kWidth), y0 = random.Range(-30, kHeight);
        const float x1 = x0 + random.Range(4, 200), y1 = y0 + random.Range(4, 120);
        const float u0 = random.Range(-2, 2), v0 = random.Range(-2, 2);
        const float u1 = u0 + random.Range(-4, 4), v1 = v0 + random.Range(-2, 2);
        const float r = random.Unit(), g = random.Unit(), b = random.Unit(), a = random.Unit();
        const SRasterVertex corners[4] = {{x0, y0, 0.5f, 1.0f, r, g, b, a, u0, v0},
                                          {x1, y0, 0.5f, 1.0f, r, g, b, a, u1, v0},
                                          {x0, y1, 0.5f, 1.0f, r, g, b, a, u0, v1},
                                          {x1, y1, 0.5f, 1.0f, r, g, b, a, u1, v1}};
        const SRasterVertex quad[6] = {corners[0], corners[1], corners[2], corners[2], corners[1], corners[3]};
        backend->DrawTriangles(s, quad, 6);
    }
    // Enough small overlapping triangles in one state for the workers to
    // start on some in the background while others are still arriving; the
    // blend shows any change of order.
    SRasterState over;
    over.colorOp = D3DTOP_DISABLE;
    over.blendEnable = true;
    over.srcBlend = D3DBLEND_SRCALPHA;
    over.destBlend = D3DBLEND_INVSRCALPHA;
    for (int draw = 0; draw < 40; ++draw) {
        std::vector<SRasterVertex> small(3 * 300);
        for (size_t i = 0; i < small.size(); i += 3) {
            const float x = random.Range(0, kWidth), y = random.Range(0, kHeight);
            const float r = random.Unit(), g = random.Unit(), b = random.Unit();
            for (int k = 0; k < 3; ++k) {
                small[i + k] = {x + random.Range(-9, 9), y + random.Range(-9, 9), 0.5f, 1.0f, r, g, b, 0.6f, 0, 0};
            }
        }
        backend->DrawTriangles(over, small.data(), small.size());
    }
    std::vector<uint8_t> pixels(static_cast<size_t>(kWidth) * kHeight * 4);
    backend->DownloadImage(target, pixels.data(), kWidth * 4);
    return pixels;
}

TEST(CpuRaster, SameBytesForEveryWorkerCountSimdPathAndShortcut) {
    SCpuRasterOptions reference;
    reference.threads = 1;
    reference.simd = ECpuSimd::kSse2;
    reference.shortcuts = false;
    const std::vector<uint8_t> expected = DrawScene(reference);
    ASSERT_EQ(expected.size(), static_cast<size_t>(kWidth * kHeight * 4));
    // Something was drawn over the clear colour.
    int cleared = 0;
    for (size_t i = 0; i < expected.size(); i += 4) cleared += expected[i] == 0x10 && expected[i + 3] == 0x80;
    EXPECT_LT(cleared, kWidth * kHeight / 10);

    std::vector<ECpuSimd> paths = {ECpuSimd::kSse2};
    if (CpuSimdAvailable(ECpuSimd::kAvx2)) paths.push_back(ECpuSimd::kAvx2);
    for (ECpuSimd simd : paths) {
        for (int threads : {1, 2, 3, 8}) {
            for (bool shortcuts : {true, false}) {
                SCpuRasterOptions options;
                options.threads = threads;
                options.simd = simd;
                options.shortcuts = shortcuts;
                EXPECT_TRUE(DrawScene(options) == expected)
                    << CpuSimdName(simd) << ", " << threads << " workers, shortcuts " << shortcuts;
            }
        }
    }
}

}  // namespace
