// Pixels worked out by hand from Direct3D 8's rules, drawn by each raster
// backend through the device.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "render/d3dmath.h"
#include "render/vertex_buffer.h"
#include "tests/render/backend_device_fixture.h"

namespace {

struct SRgba {
    int r, g, b, a;
};

D3DCOLOR Argb(int a, int r, int g, int b) {
    return (static_cast<D3DCOLOR>(a) << 24) | (r << 16) | (g << 8) | b;
}

class RasterPixels : public BackendDeviceTest {
protected:
    void SetUp() override {
        BackendDeviceTest::SetUp();
        if (HasFatalFailure()) return;
        // One unit per pixel: pixel (x, y) has its centre at x - 512, 384 - y.
        D3DMATRIX m;
        m_device->SetTransform(D3DTS_WORLD, MatIdentity(&m));
        m_device->SetTransform(D3DTS_VIEW, MatIdentity(&m));
        m_device->SetTransform(D3DTS_PROJECTION, MatOrtho(&m, kWidth, kHeight, -1.0f, 1.0f));
        m_device->SetRenderState(D3DRS_LIGHTING, FALSE);
        m_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    }

    // A rectangle in pixel coordinates (edges between pixel centres where
    // they end in .5), uv 0..1 left to right and top to bottom.
    void DrawRect(float left, float top, float right, float bottom, D3DCOLOR colour) {
        CVertexBuffer vb;
        ASSERT_EQ(vb.Create(4, kVertexKindColorUV), D3D_OK);
        const float corners[4][3] = {{left - 512, 384 - top, 0},
                                     {right - 512, 384 - top, 0},
                                     {right - 512, 384 - bottom, 0},
                                     {left - 512, 384 - bottom, 0}};
        const float uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
        vb.Lock(0, 0);
        for (int i = 0; i < 4; ++i) vb.AddVertexUV(corners[i], &colour, uv[i]);
        vb.Unlock();
        vb.Draw(D3DPT_TRIANGLEFAN, 0, 2);
        vb.buffer->Release();
    }

    IDirect3DTexture8* MakeTexture(int w, int h, const std::vector<D3DCOLOR>& argb) {
        IDirect3DTexture8* texture = nullptr;
        EXPECT_EQ(m_device->CreateTexture(w, h, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture), D3D_OK);
        D3DLOCKED_RECT locked{};
        EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
        for (int y = 0; y < h; ++y)
            std::memcpy(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch, &argb[y * w], w * 4);
        texture->UnlockRect(0);
        return texture;
    }

    void Read() { m_pixels = ReadBack(); }

    SRgba Pixel(int x, int y) const {
        const uint8_t* p = &m_pixels[(static_cast<size_t>(y) * kWidth + x) * 4];
        return {p[0], p[1], p[2], p[3]};
    }

    // Rounding of products may go either way on a GPU.
    void ExpectNear(int x, int y, const SRgba& e, const char* what) const {
        const SRgba p = Pixel(x, y);
        EXPECT_NEAR(p.r, e.r, 1) << what;
        EXPECT_NEAR(p.g, e.g, 1) << what;
        EXPECT_NEAR(p.b, e.b, 1) << what;
        EXPECT_NEAR(p.a, e.a, 1) << what;
    }

    std::vector<uint8_t> m_pixels;
};

TEST_P(RasterPixels, SharedEdgesThroughPixelCentresDrawEachPixelOnce) {
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
    m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    m_device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    m_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    // A fan about an inner point to corners and points on the sides of the
    // rectangle from (500, 300) to (700, 500), every corner on a pixel
    // centre, so every edge runs through pixel centres at many slopes.
    const float ring[][2] = {{500, 300}, {557, 300}, {700, 300}, {700, 377}, {700, 500},
                             {641, 500}, {500, 500}, {500, 433}, {500, 300}};
    const int corners = sizeof ring / sizeof ring[0];
    CVertexBuffer vb;
    ASSERT_EQ(vb.Create(corners + 1, kVertexKindColor), D3D_OK);
    const D3DCOLOR colour = Argb(10, 60, 0, 0);
    vb.Lock(0, 0);
    const float centre[3] = {613 - 512, 384 - 411, 0};
    vb.AddVertex(centre, &colour);
    for (const auto& p : ring) {
        const float corner[3] = {p[0] - 512, 384 - p[1], 0};
        vb.AddVertex(corner, &colour);
    }
    vb.Unlock();
    vb.Draw(D3DPT_TRIANGLEFAN, 0, corners - 1);
    vb.buffer->Release();
    Read();
    // Left and top sides are in, right and bottom ones out.
    int wrong = 0;
    for (int y = 290; y < 510; ++y)
        for (int x = 490; x < 710; ++x) {
            const bool inside = x >= 500 && x < 700 && y >= 300 && y < 500;
            wrong += Pixel(x, y).r != (inside ? 60 : 0);
        }
    EXPECT_EQ(wrong, 0);
}

// Rectangles that leave the target by a few pixels, by a few thousand (which
// the backend clips) and by more than the guard band (which the device
// clips) are cut at its edges and nowhere else, and colour is interpolated
// across the widest as if it were drawn whole.
TEST_P(RasterPixels, TrianglesLeavingTheTargetAreCutAtItsEdges) {
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
    m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    DrawRect(-40.0f, -30.0f, 20.5f, 10.5f, Argb(255, 200, 0, 0));
    DrawRect(1003.5f, 757.5f, 3000.0f, 2500.0f, Argb(255, 0, 200, 0));
    DrawRect(100.5f, -9000.0f, 110.5f, 5.5f, Argb(255, 0, 0, 200));
    // Red rising by one level every 16 pixels, from the left corner's 0.
    CVertexBuffer vb;
    ASSERT_EQ(vb.Create(4, kVertexKindColor), D3D_OK);
    const D3DCOLOR left = Argb(255, 0, 0, 0), right = Argb(255, 240, 0, 0);
    const float corners[4][3] = {{-2560.5f - 512, 384 - 300.5f, 0},
                                 {1279.5f - 512, 384 - 300.5f, 0},
                                 {1279.5f - 512, 384 - 310.5f, 0},
                                 {-2560.5f - 512, 384 - 310.5f, 0}};
    vb.Lock(0, 0);
    for (int i = 0; i < 4; ++i) vb.AddVertex(corners[i], i == 1 || i == 2 ? &right : &left);
    vb.Unlock();
    vb.Draw(D3DPT_TRIANGLEFAN, 0, 2);
    vb.buffer->Release();
    Read();

    int wrong = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) wrong += Pixel(x, y).r != (x <= 20 && y <= 10 ? 200 : 0);
    for (int y = 730; y < kHeight; ++y)
        for (int x = 980; x < kWidth; ++x) wrong += Pixel(x, y).g != (x >= 1004 && y >= 758 ? 200 : 0);
    for (int y = 0; y < 20; ++y)
        for (int x = 90; x < 120; ++x) wrong += Pixel(x, y).b != (x >= 101 && x <= 110 && y <= 5 ? 200 : 0);
    EXPECT_EQ(wrong, 0);
    // Red at pixel x is 240 * (x + 2560.5) / 3840, a thirty-second of a level
    // from a whole one at each of these.
    ExpectNear(0, 305, {160, 0, 0, 255}, "the target's left edge");
    ExpectNear(512, 305, {192, 0, 0, 255}, "the target's middle");
    ExpectNear(1023, 305, {224, 0, 0, 255}, "the target's right edge");
    EXPECT_EQ(Pixel(500, 299).r, 0);
    EXPECT_EQ(Pixel(500, 311).r, 0);
}

TEST_P(RasterPixels, TexelCentresWithPointAndBilinearWrapAndClamp) {
    // Two texels, 0 and 200 in every channel, stretched over pixels
    // 100 .. 107 of row 200: pixel k samples u = (k + 0.5) / 8, which is
    // texel coordinate 2u - 0.5 from the first texel's centre.
    IDirect3DTexture8* texture = MakeTexture(2, 1, {0, 0xC8C8C8C8u});
    m_device->SetTexture(0, texture);
    m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    m_device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    struct {
        DWORD filter, address;
        int expected[8];
    } cases[] = {
        {D3DTEXF_POINT, D3DTADDRESS_WRAP, {0, 0, 0, 0, 200, 200, 200, 200}},
        {D3DTEXF_POINT, D3DTADDRESS_CLAMP, {0, 0, 0, 0, 200, 200, 200, 200}},
        // -0.375 .. 1.375 in steps of 0.25: clamped at both ends ...
        {D3DTEXF_LINEAR, D3DTADDRESS_CLAMP, {0, 0, 25, 75, 125, 175, 200, 200}},
        // ... or mixing in the far texel by wrapping.
        {D3DTEXF_LINEAR, D3DTADDRESS_WRAP, {75, 25, 25, 75, 125, 175, 175, 125}},
    };
    for (const auto& c : cases) {
        m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        m_device->SetTextureStageState(0, D3DTSS_MAGFILTER, c.filter);
        m_device->SetTextureStageState(0, D3DTSS_MINFILTER, c.filter);
        m_device->SetTextureStageState(0, D3DTSS_ADDRESSU, c.address);
        m_device->SetTextureStageState(0, D3DTSS_ADDRESSV, c.address);
        DrawRect(99.5f, 199.5f, 107.5f, 200.5f, 0xFFFFFFFF);
        Read();
        for (int k = 0; k < 8; ++k) {
            const int e = c.expected[k];
            ExpectNear(100 + k, 200, {e, e, e, e}, c.filter == D3DTEXF_POINT ? "point" : "linear");
        }
        EXPECT_EQ(Pixel(99, 200).r, 0);
        EXPECT_EQ(Pixel(108, 200).r, 0);
        EXPECT_EQ(Pixel(100, 199).r + Pixel(100, 201).r, 0);
    }
    // Stretched over the whole row, pixel k lies (k + 0.5) / 2 - 128 256ths
    // of a texel past the first centre: the weight rounds to the nearest
    // 256th, so 0.75 mixes in 1 / 256 of the 200 and 1.75 mixes in 2 / 256.
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    DrawRect(-0.5f, 199.5f, 1023.5f, 200.5f, 0xFFFFFFFF);
    Read();
    const int rounded[4] = {0, 1, 1, 2};
    for (int k = 0; k < 4; ++k) EXPECT_EQ(Pixel(256 + k, 200).r, rounded[k]) << "pixel " << 256 + k;
    m_device->SetTexture(0, nullptr);
    texture->Release();
}

TEST_P(RasterPixels, StageZeroOperations) {
    // Texture (a, r, g, b) = (192, 255, 128, 64), diffuse (128, 200, 100, 50).
    IDirect3DTexture8* texture = MakeTexture(4, 4, std::vector<D3DCOLOR>(16, Argb(192, 255, 128, 64)));
    const D3DCOLOR diffuse = Argb(128, 200, 100, 50);
    struct {
        const char* name;
        DWORD colourOp, arg1, arg2, alphaOp;
        SRgba expected;
    } cases[] = {
        {"disable", D3DTOP_DISABLE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, {200, 100, 50, 128}},
        {"select texture", D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, {255, 128, 64, 192}},
        {"select diffuse", D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, {200, 100, 50, 192}},
        // 128 x 100 / 255 = 50.2, 64 x 50 / 255 = 12.5+.
        {"modulate", D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, {200, 50, 13, 192}},
        // (192 x 128 + 128 x 127) / 255 = 160.1.
        {"blend diffuse alpha", D3DTOP_MODULATE, D3DTA_DIFFUSE, D3DTA_TEXTURE, D3DTOP_BLENDDIFFUSEALPHA,
         {200, 50, 13, 160}},
        {"alpha disabled", D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_DISABLE, {200, 50, 13, 128}},
    };
    m_device->SetTexture(0, texture);
    for (const auto& c : cases) {
        m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        m_device->SetTextureStageState(0, D3DTSS_COLOROP, c.colourOp);
        m_device->SetTextureStageState(0, D3DTSS_COLORARG1, c.arg1);
        m_device->SetTextureStageState(0, D3DTSS_COLORARG2, c.arg2);
        m_device->SetTextureStageState(0, D3DTSS_ALPHAOP, c.alphaOp);
        DrawRect(10.5f, 10.5f, 30.5f, 30.5f, diffuse);
        Read();
        ExpectNear(20, 20, c.expected, c.name);
    }
    m_device->SetTexture(0, nullptr);
    texture->Release();
}

TEST_P(RasterPixels, BlendPairs) {
    // Source (a, r, g, b) = (64, 200, 100, 40) over (200, 100, 150, 250);
    // 64/255 of the source is (50, 25, 10, 16) rounded.
    struct {
        const char* name;
        bool enable;
        D3DBLEND src, dest;
        SRgba expected;
    } cases[] = {
        {"off", false, D3DBLEND_ONE, D3DBLEND_ZERO, {200, 100, 40, 64}},
        {"zero, srcalpha", true, D3DBLEND_ZERO, D3DBLEND_SRCALPHA, {25, 38, 63, 50}},
        {"srcalpha, invsrcalpha", true, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, {125, 137, 197, 166}},
        {"srcalpha, one", true, D3DBLEND_SRCALPHA, D3DBLEND_ONE, {150, 175, 255, 216}},
        {"one, one", true, D3DBLEND_ONE, D3DBLEND_ONE, {255, 250, 255, 255}},
        {"srcalpha, srcalpha", true, D3DBLEND_SRCALPHA, D3DBLEND_SRCALPHA, {75, 63, 73, 66}},
        // Not used by the effects, drawn by the general path: dest x dest.
        {"zero, destcolor", true, D3DBLEND_ZERO, D3DBLEND_DESTCOLOR, {39, 88, 245, 157}},
    };
    m_device->SetTexture(0, nullptr);
    m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
    m_device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    for (const auto& c : cases) {
        m_device->Clear(0, nullptr, D3DCLEAR_TARGET, Argb(200, 100, 150, 250), 1.0f, 0);
        m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, c.enable);
        m_device->SetRenderState(D3DRS_SRCBLEND, c.src);
        m_device->SetRenderState(D3DRS_DESTBLEND, c.dest);
        DrawRect(-0.5f, -0.5f, 1023.5f, 767.5f, Argb(64, 200, 100, 40));
        Read();
        ExpectNear(0, 0, c.expected, c.name);
        ExpectNear(1023, 767, c.expected, c.name);
    }
}

TEST_P(RasterPixels, RenderTargetClearDrawAndCopy) {
    IDirect3DTexture8* target = nullptr;
    ASSERT_EQ(m_device->CreateTexture(64, 32, 0, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &target),
              D3D_OK);
    IDirect3DTexture8* copy = MakeTexture(64, 32, std::vector<D3DCOLOR>(64 * 32, 0));
    IDirect3DSurface8 *back = nullptr, *surface = nullptr, *copySurface = nullptr;
    m_device->GetRenderTarget(&back);
    target->GetSurfaceLevel(0, &surface);
    copy->GetSurfaceLevel(0, &copySurface);
    ASSERT_EQ(m_device->SetRenderTarget(surface, nullptr), D3D_OK);
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, Argb(255, 1, 2, 3), 1.0f, 0);
    const D3DRECT rect{4, 4, 8, 6};
    m_device->Clear(1, &rect, D3DCLEAR_TARGET, Argb(9, 8, 7, 6), 1.0f, 0);
    // The viewport follows the target: a full-target rectangle is
    // 64 x 32 units there, so units are no longer pixels.
    m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
    m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    D3DMATRIX m;
    m_device->SetTransform(D3DTS_PROJECTION, MatOrtho(&m, 64, 32, -1.0f, 1.0f));
    DrawRect(512 + 0.0f, 384 - 16.0f, 512 + 32.0f, 384 + 0.0f, Argb(255, 250, 0, 0));  // the target's top right
    ASSERT_EQ(m_device->CopyRects(surface, nullptr, 0, copySurface, nullptr), D3D_OK);
    m_device->SetRenderTarget(back, nullptr);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(copy->LockRect(0, &locked, nullptr, 0), D3D_OK);
    auto at = [&](int x, int y) {
        D3DCOLOR c;
        std::memcpy(&c, static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch + x * 4, 4);
        return c;
    };
    EXPECT_EQ(at(0, 0), Argb(255, 1, 2, 3));
    EXPECT_EQ(at(4, 4), Argb(9, 8, 7, 6));
    EXPECT_EQ(at(7, 5), Argb(9, 8, 7, 6));
    EXPECT_EQ(at(8, 5), Argb(255, 1, 2, 3));
    EXPECT_EQ(at(32, 0), Argb(255, 250, 0, 0));
    EXPECT_EQ(at(63, 15), Argb(255, 250, 0, 0));
    EXPECT_EQ(at(31, 0), Argb(255, 1, 2, 3));
    EXPECT_EQ(at(63, 16), Argb(255, 1, 2, 3));
    copy->UnlockRect(0);
    for (IDirect3DSurface8* s : {back, surface, copySurface}) s->Release();
    target->Release();
    copy->Release();
}

INSTANTIATE_TEST_SUITE_P(Backends, RasterPixels, ::testing::Values(ETestBackend::kGL, ETestBackend::kCpu),
                         TestBackendName);

}  // namespace
