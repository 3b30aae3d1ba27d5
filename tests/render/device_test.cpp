// The device drawing real frames, on each backend. Every expected pixel is
// worked out by hand from Direct3D 8's rules.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "render/d3dmath.h"
#include "render/core/raster_direct3d.h"
#include "render/gl/gl_device.h"
#include "render/vertex_buffer.h"
#include "tests/render/backend_device_fixture.h"

namespace {

struct SRgba {
    int r, g, b, a;
};

// GPUs may round a blended value either way.
void ExpectNear(const SRgba& actual, const SRgba& expected, const char* what) {
    EXPECT_NEAR(actual.r, expected.r, 1) << what;
    EXPECT_NEAR(actual.g, expected.g, 1) << what;
    EXPECT_NEAR(actual.b, expected.b, 1) << what;
    EXPECT_NEAR(actual.a, expected.a, 1) << what;
}

D3DCOLOR Argb(int a, int r, int g, int b) {
    return (static_cast<D3DCOLOR>(a) << 24) | (r << 16) | (g << 8) | b;
}

// The Direct3D road without a backend, or without a context for one.
TEST(RasterDirect3D, CreateDeviceWithoutABackendFails) {
    auto* bare = new CRasterDirect3D();
    D3DPRESENT_PARAMETERS params{};
    IDirect3DDevice8* device = nullptr;
    EXPECT_EQ(bare->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0, &params, &device), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(bare->Release(), 0u);

    EXPECT_EQ(Direct3DCreate8(D3D_SDK_VERSION + 1), nullptr);
    std::string error;
    EXPECT_EQ(CreateGLRasterBackend(&error), nullptr) << "no context is current in this process yet";
    EXPECT_FALSE(error.empty());
}

// Counts the frames presented and keeps the first pixel of the last.
class CCountingSink : public IPresentSink {
public:
    void OnPresent(CRasterDevice& device) override {
        ++frames;
        const std::vector<uint8_t> rgba = ReadBackRgba(&device);
        first = {rgba[0], rgba[1], rgba[2], rgba[3]};
    }
    int frames = 0;
    SRgba first{};
};

class DeviceTest : public BackendDeviceTest {
protected:
    void ReadBack() { m_pixels = BackendDeviceTest::ReadBack(); }

    SRgba Pixel(int x, int y) const {
        const uint8_t* p = &m_pixels[(static_cast<size_t>(y) * kWidth + x) * 4];
        return {p[0], p[1], p[2], p[3]};
    }

    // Flat drawing as the effects do it: identity world and view, an
    // orthographic projection of `w` x `h` units centred on the screen.
    void Ortho(float w, float h) {
        D3DMATRIX m;
        m_device->SetTransform(D3DTS_WORLD, MatIdentity(&m));
        m_device->SetTransform(D3DTS_VIEW, MatIdentity(&m));
        m_device->SetTransform(D3DTS_PROJECTION, MatOrtho(&m, w, h, -1.0f, 1.0f));
    }

    void FlatStates() {
        m_device->SetRenderState(D3DRS_LIGHTING, FALSE);
        m_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    }

    // A rectangle as a fan, corners top-left, top-right, bottom-right,
    // bottom-left (y up), with uv 0..1 and v = 0 at the top.
    void DrawRect(float left, float top, float right, float bottom, D3DCOLOR color) {
        CVertexBuffer vb;
        ASSERT_EQ(vb.Create(4, kVertexKindColorUV), D3D_OK);
        const float corners[4][3] = {{left, top, 0}, {right, top, 0}, {right, bottom, 0}, {left, bottom, 0}};
        const float uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
        vb.Lock(0, 0);
        for (int i = 0; i < 4; ++i) vb.AddVertexUV(corners[i], &color, uv[i]);
        vb.Unlock();
        vb.Draw(D3DPT_TRIANGLEFAN, 0, 2);
        vb.buffer->Release();
    }

    void DrawScreen(D3DCOLOR color) { DrawRect(-320, 240, 320, -240, color); }

    // Pixel space: one unit per pixel, pixel (x, y) centred at x - 512,
    // 384 - y; a rectangle's edges lie between pixel centres where they end
    // in .5.
    void PixelSpace() {
        Ortho(kWidth, kHeight);
        FlatStates();
    }
    void DrawPixelRect(float left, float top, float right, float bottom, D3DCOLOR colour) {
        DrawRect(left - 512, 384 - top, right - 512, 384 - bottom, colour);
    }
    // A managed texture of ARGB words (w x h, rows top first).
    IDirect3DTexture8* ArgbTexture(int w, int h, const std::vector<D3DCOLOR>& argb) {
        std::vector<uint8_t> bgra(argb.size() * 4);
        std::memcpy(bgra.data(), argb.data(), bgra.size());
        return MakeTexture(w, h, bgra);
    }
    void ExpectPixel(int x, int y, const SRgba& expected, const char* what) const {
        ExpectNear(Pixel(x, y), expected, what);
    }

    // A managed texture filled from `bgra` (w x h, rows top first).
    IDirect3DTexture8* MakeTexture(int w, int h, const std::vector<uint8_t>& bgra) {
        IDirect3DTexture8* texture = nullptr;
        EXPECT_EQ(m_device->CreateTexture(w, h, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture), D3D_OK);
        D3DLOCKED_RECT locked{};
        EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
        EXPECT_EQ(locked.Pitch, w * 4);
        for (int y = 0; y < h; ++y)
            std::memcpy(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch, &bgra[y * w * 4], w * 4);
        texture->UnlockRect(0);
        return texture;
    }

    IDirect3DTexture8* SolidTexture(D3DCOLOR argb) {
        std::vector<uint8_t> bgra(4 * 4 * 4);
        for (size_t i = 0; i < bgra.size(); i += 4) std::memcpy(&bgra[i], &argb, 4);
        return MakeTexture(4, 4, bgra);
    }

    // A square render target and its surface, with the back buffer to go
    // back to; null when the device refuses it.
    IDirect3DTexture8* RenderTarget(UINT size, IDirect3DSurface8** surface, IDirect3DSurface8** backBuffer) {
        IDirect3DTexture8* target = nullptr;
        EXPECT_EQ(m_device->CreateTexture(size, size, 0, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                          &target),
                  D3D_OK);
        if (!target) return nullptr;
        m_device->GetRenderTarget(backBuffer);
        target->GetSurfaceLevel(0, surface);
        return target;
    }

    // The pixels of a surface, read by copying it into a lockable texture.
    std::vector<uint8_t> ReadSurface(IDirect3DSurface8* surface) {
        const int w = static_cast<int>(surface->Width()), h = static_cast<int>(surface->Height());
        IDirect3DTexture8* copy = nullptr;
        m_device->CreateTexture(w, h, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &copy);
        IDirect3DSurface8* dest = nullptr;
        copy->GetSurfaceLevel(0, &dest);
        EXPECT_EQ(m_device->CopyRects(surface, nullptr, 0, dest, nullptr), D3D_OK);
        D3DLOCKED_RECT locked{};
        EXPECT_EQ(copy->LockRect(0, &locked, nullptr, 0), D3D_OK);
        const auto* bits = static_cast<const uint8_t*>(locked.pBits);
        std::vector<uint8_t> bgra(bits, bits + w * h * 4);
        copy->UnlockRect(0);
        dest->Release();
        copy->Release();
        return bgra;
    }

    static SRgba Bgra(const std::vector<uint8_t>& bgra, int w, int x, int y) {
        const uint8_t* p = &bgra[(static_cast<size_t>(y) * w + x) * 4];
        return {p[2], p[1], p[0], p[3]};
    }

    std::vector<uint8_t> m_pixels;
};

TEST_P(DeviceTest, ClearFillsTheTargetOrItsRectangles) {
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, Argb(0x80, 0xFF, 0x40, 0x20), 1.0f, 0);
    const D3DRECT rects[] = {{10, 20, 30, 40}, {1000, 700, 2000, 2000}};
    m_device->Clear(2, rects, D3DCLEAR_TARGET, Argb(0xFF, 1, 2, 3), 1.0f, 0);
    ReadBack();
    ASSERT_EQ(m_pixels.size(), static_cast<size_t>(kWidth * kHeight * 4));
    ExpectNear(Pixel(0, 0), {0xFF, 0x40, 0x20, 0x80}, "outside the rectangles");
    ExpectNear(Pixel(10, 20), {1, 2, 3, 255}, "first pixel of the rectangle");
    ExpectNear(Pixel(29, 39), {1, 2, 3, 255}, "last pixel of the rectangle");
    ExpectNear(Pixel(30, 39), {0xFF, 0x40, 0x20, 0x80}, "right of it");
    ExpectNear(Pixel(29, 40), {0xFF, 0x40, 0x20, 0x80}, "below it");
    ExpectNear(Pixel(1023, 767), {1, 2, 3, 255}, "a rectangle past the edge is clipped");
}

TEST_P(DeviceTest, ScreenQuadCoversEveryPixelOnceWithoutSeams) {
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    Ortho(640, 480);
    FlatStates();
    m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
    m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    m_device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    m_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    // Four quadrants added up: a pixel drawn twice or not at all shows.
    const D3DCOLOR c = Argb(10, 60, 0, 0);
    DrawRect(-320, 240, 0, 0, c);
    DrawRect(0, 240, 320, 0, c);
    DrawRect(-320, 0, 0, -240, c);
    DrawRect(0, 0, 320, -240, c);
    ReadBack();
    int wrong = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) wrong += Pixel(x, y).r != 60 || Pixel(x, y).a != 10;
    EXPECT_EQ(wrong, 0);
}

TEST_P(DeviceTest, TextureDrawnOneToOneIsCopiedTexelForTexel) {
    const int w = 16, h = 8;
    std::vector<uint8_t> bgra(w * h * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &bgra[(y * w + x) * 4];
            p[0] = static_cast<uint8_t>(x * 16);
            p[1] = static_cast<uint8_t>(y * 32);
            p[2] = static_cast<uint8_t>(x * 7 + y * 3);
            p[3] = static_cast<uint8_t>(255 - x - y);
        }
    IDirect3DTexture8* texture = MakeTexture(w, h, bgra);
    Ortho(1024, 768);
    FlatStates();
    m_device->SetTexture(0, texture);
    // Texel centres on pixel centres: the quad's edges lie half a pixel
    // outside screen pixels 100..115 and 200..207. Pixel x is at x - 512
    // units, pixel y at 384 - y.
    for (DWORD filter : {D3DTEXF_POINT, D3DTEXF_LINEAR}) {
        m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        m_device->SetTextureStageState(0, D3DTSS_MAGFILTER, filter);
        m_device->SetTextureStageState(0, D3DTSS_MINFILTER, filter);
        // Default stage: texture x diffuse (white) and the texture's alpha.
        DrawRect(99.5f - 512, 384 - 199.5f, 115.5f - 512, 384 - 207.5f, 0xFFFFFFFF);
        ReadBack();
        int wrong = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const SRgba p = Pixel(100 + x, 200 + y);
                const SRgba t = Bgra(bgra, w, x, y);
                wrong += p.r != t.r || p.g != t.g || p.b != t.b || p.a != t.a;
            }
        EXPECT_EQ(wrong, 0) << "filter " << filter;
        ExpectNear(Pixel(99, 200), {0, 0, 0, 0}, "left of the quad");
        ExpectNear(Pixel(116, 200), {0, 0, 0, 0}, "right of the quad");
        ExpectNear(Pixel(100, 199), {0, 0, 0, 0}, "above the quad");
        ExpectNear(Pixel(100, 208), {0, 0, 0, 0}, "below the quad");
    }
    m_device->SetTexture(0, nullptr);
    texture->Release();
}

// One full-screen quad over a cleared screen, read back at one pixel.
struct SBlendCase {
    const char* name;
    D3DBLEND src, dest;
    D3DCOLOR background, vertex;
    SRgba expected;
    bool enable = true;
};

TEST_P(DeviceTest, BlendFactorPairs) {
    const SBlendCase cases[] = {
        // The fade: dest x source alpha 128/255.
        {"zero, srcalpha", D3DBLEND_ZERO, D3DBLEND_SRCALPHA, Argb(255, 200, 100, 50), Argb(128, 0, 0, 0),
         {100, 50, 25, 128}},
        {"one, one", D3DBLEND_ONE, D3DBLEND_ONE, Argb(40, 100, 50, 25), Argb(30, 100, 250, 10),
         {200, 255, 35, 70}},
        // dest + source x 128/255.
        {"srcalpha, one", D3DBLEND_SRCALPHA, D3DBLEND_ONE, Argb(100, 10, 20, 30), Argb(128, 200, 100, 0),
         {110, 70, 30, 164}},
        // source x 64/255 + dest x 191/255.
        {"srcalpha, invsrcalpha", D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, Argb(255, 0, 200, 100),
         Argb(64, 200, 100, 0), {50, 175, 75, 207}},
        // The feedback blend weights both by the source alpha, alpha included.
        {"srcalpha, srcalpha", D3DBLEND_SRCALPHA, D3DBLEND_SRCALPHA, Argb(255, 100, 50, 200),
         Argb(128, 200, 100, 40), {151, 75, 120, 192}},
        // Source (64, 200, 100, 40) over (200, 100, 150, 250); 64/255 of
        // the source is (50, 25, 10, 16) rounded.
        {"off", D3DBLEND_ONE, D3DBLEND_ZERO, Argb(200, 100, 150, 250), Argb(64, 200, 100, 40), {200, 100, 40, 64},
         false},
        {"zero, srcalpha over", D3DBLEND_ZERO, D3DBLEND_SRCALPHA, Argb(200, 100, 150, 250), Argb(64, 200, 100, 40),
         {25, 38, 63, 50}},
        {"srcalpha, invsrcalpha over", D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, Argb(200, 100, 150, 250),
         Argb(64, 200, 100, 40), {125, 137, 197, 166}},
        {"srcalpha, one over", D3DBLEND_SRCALPHA, D3DBLEND_ONE, Argb(200, 100, 150, 250), Argb(64, 200, 100, 40),
         {150, 175, 255, 216}},
        {"one, one over", D3DBLEND_ONE, D3DBLEND_ONE, Argb(200, 100, 150, 250), Argb(64, 200, 100, 40),
         {255, 250, 255, 255}},
        {"srcalpha, srcalpha over", D3DBLEND_SRCALPHA, D3DBLEND_SRCALPHA, Argb(200, 100, 150, 250),
         Argb(64, 200, 100, 40), {75, 63, 73, 66}},
        // Not used by the effects, drawn by the general path: dest x dest.
        {"zero, destcolor", D3DBLEND_ZERO, D3DBLEND_DESTCOLOR, Argb(200, 100, 150, 250), Argb(64, 200, 100, 40),
         {39, 88, 245, 157}},
    };
    Ortho(640, 480);
    FlatStates();
    m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
    m_device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    for (const SBlendCase& c : cases) {
        m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, c.enable);
        m_device->Clear(0, nullptr, D3DCLEAR_TARGET, c.background, 1.0f, 0);
        m_device->SetRenderState(D3DRS_SRCBLEND, c.src);
        m_device->SetRenderState(D3DRS_DESTBLEND, c.dest);
        DrawScreen(c.vertex);
        ReadBack();
        ExpectNear(Pixel(512, 384), c.expected, c.name);
        ExpectNear(Pixel(0, 767), c.expected, c.name);
    }
}

TEST_P(DeviceTest, StageZeroOperations) {
    Ortho(640, 480);
    FlatStates();
    IDirect3DTexture8* texture = SolidTexture(Argb(0x40, 200, 100, 50));

    // MODULATE of texture and diffuse; the default alpha op selects the
    // texture's alpha.
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    m_device->SetTexture(0, texture);
    m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    m_device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    m_device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    DrawScreen(Argb(0x47, 128, 128, 128));
    ReadBack();
    ExpectNear(Pixel(300, 300), {100, 50, 25, 0x40}, "modulate");

    // BLENDDIFFUSEALPHA with the default arguments (texture, current):
    // alpha = 64/255 x 71/255 + 71/255 x (1 - 71/255) = 69/255.
    m_device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_BLENDDIFFUSEALPHA);
    DrawScreen(Argb(0x47, 255, 255, 255));
    ReadBack();
    ExpectNear(Pixel(300, 300), {200, 100, 50, 69}, "blend diffuse alpha");

    // A disabled colour operation passes the diffuse colour and alpha.
    m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
    DrawScreen(Argb(0x11, 1, 2, 3));
    ReadBack();
    ExpectNear(Pixel(300, 300), {1, 2, 3, 0x11}, "colour disabled");

    // A disabled alpha operation passes the diffuse alpha.
    m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    m_device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    DrawScreen(Argb(0x22, 255, 255, 255));
    ReadBack();
    ExpectNear(Pixel(300, 300), {200, 100, 50, 0x22}, "alpha disabled");

    // No texture bound reads as opaque black.
    m_device->SetTexture(0, nullptr);
    m_device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    m_device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    DrawScreen(Argb(0x22, 255, 255, 255));
    ReadBack();
    ExpectNear(Pixel(300, 300), {0, 0, 0, 255}, "no texture");
    texture->Release();

    // Every operation and argument over one texel and one diffuse colour.
    PixelSpace();
    m_device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    // Texture (a, r, g, b) = (192, 255, 128, 64), diffuse (128, 200, 100, 50).
    IDirect3DTexture8* solid = ArgbTexture(4, 4, std::vector<D3DCOLOR>(16, Argb(192, 255, 128, 64)));
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
    m_device->SetTexture(0, solid);
    for (const auto& c : cases) {
        m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        m_device->SetTextureStageState(0, D3DTSS_COLOROP, c.colourOp);
        m_device->SetTextureStageState(0, D3DTSS_COLORARG1, c.arg1);
        m_device->SetTextureStageState(0, D3DTSS_COLORARG2, c.arg2);
        m_device->SetTextureStageState(0, D3DTSS_ALPHAOP, c.alphaOp);
        DrawPixelRect(10.5f, 10.5f, 30.5f, 30.5f, diffuse);
        ReadBack();
        ExpectPixel(20, 20, c.expected, c.name);
    }
    m_device->SetTexture(0, nullptr);
    solid->Release();
}

TEST_P(DeviceTest, CullModesAgainstScreenWinding) {
    Ortho(640, 480);
    m_device->SetRenderState(D3DRS_LIGHTING, FALSE);
    m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
    CVertexBuffer vb;
    vb.Create(6, kVertexKindColor);
    const D3DCOLOR white = 0xFFFFFFFF;
    // On screen (y down) top-left, top-right, bottom-left runs clockwise;
    // the second triangle, mirrored to the right, runs the other way.
    const float tris[6][3] = {{-300, 100, 0}, {-100, 100, 0}, {-300, -100, 0},
                              {100, 100, 0},  {100, -100, 0}, {300, 100, 0}};
    vb.Lock(0, 0);
    for (const auto& p : tris) vb.AddVertex(p, &white);
    vb.Unlock();
    // Points inside each: (-250, 50) and (150, 50) in units.
    auto screenX = [](float x) { return static_cast<int>((x / 320 + 1) * 512); };
    const int y = static_cast<int>((1 - 50.0f / 240) * 384);
    struct {
        D3DCULL cull;
        bool cwDrawn, ccwDrawn;
    } cases[] = {{D3DCULL_NONE, true, true}, {D3DCULL_CW, false, true}, {D3DCULL_CCW, true, false}};
    for (const auto& c : cases) {
        m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        m_device->SetRenderState(D3DRS_CULLMODE, c.cull);
        vb.Draw(D3DPT_TRIANGLELIST, 0, 2);
        ReadBack();
        EXPECT_EQ(Pixel(screenX(-250), y).r, c.cwDrawn ? 255 : 0) << "clockwise, cull " << c.cull;
        EXPECT_EQ(Pixel(screenX(150), y).r, c.ccwDrawn ? 255 : 0) << "counter-clockwise, cull " << c.cull;
    }

    // A strip keeps the first triangle's winding for all: bottom-left,
    // top-left, bottom-right, top-right is clockwise throughout.
    const float strip[4][3] = {{-100, -100, 0}, {-100, 100, 0}, {100, -100, 0}, {100, 100, 0}};
    vb.Lock(0, 0);
    for (const auto& p : strip) vb.AddVertex(p, &white);
    vb.Unlock();
    for (D3DCULL cull : {D3DCULL_CCW, D3DCULL_CW}) {
        m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        m_device->SetRenderState(D3DRS_CULLMODE, cull);
        vb.Draw(D3DPT_TRIANGLESTRIP, 0, 2);
        ReadBack();
        const int expected = cull == D3DCULL_CCW ? 255 : 0;
        EXPECT_EQ(Pixel(screenX(-60), static_cast<int>((1 + 60.0f / 240) * 384)).r, expected) << "strip triangle 1";
        EXPECT_EQ(Pixel(screenX(60), static_cast<int>((1 - 60.0f / 240) * 384)).r, expected) << "strip triangle 2";
    }
    vb.buffer->Release();
}

TEST_P(DeviceTest, DirectionalLightAndAmbient) {
    Ortho(640, 480);
    m_device->SetRenderState(D3DRS_LIGHTING, TRUE);
    m_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    m_device->SetRenderState(D3DRS_AMBIENT, Argb(0, 64, 32, 16));
    m_device->SetTexture(0, nullptr);
    m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
    m_device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    D3DMATERIAL8 material{};
    material.Diffuse = {0.5f, 0.5f, 0.5f, 1.0f};
    material.Ambient = {0.5f, 0.5f, 0.5f, 1.0f};
    m_device->SetMaterial(&material);
    D3DLIGHT8 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {0.5f, 0.5f, 0.5f, 0.0f};
    light.Direction = {0, 0, 1};
    light.Range = 1000;
    m_device->SetLight(0, &light);
    m_device->LightEnable(0, TRUE);

    // Left quad faces the light (normal -z: N . -Direction = 1), the right
    // one is turned away (normal +z) and gets the ambient term only.
    CVertexBuffer vb;
    vb.Create(8, kVertexKindNormal);
    float* v = reinterpret_cast<float*>(vb.Lock(0, 0));
    const float quads[2][4][2] = {{{-300, 100}, {-100, 100}, {-100, -100}, {-300, -100}},
                                  {{100, 100}, {300, 100}, {300, -100}, {100, -100}}};
    for (int q = 0; q < 2; ++q)
        for (int i = 0; i < 4; ++i) {
            float* out = v + (q * 4 + i) * 6;
            out[0] = quads[q][i][0];
            out[1] = quads[q][i][1];
            out[2] = 0;
            out[3] = 0;
            out[4] = 0;
            out[5] = q == 0 ? -1.0f : 1.0f;
        }
    vb.Unlock();
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    vb.Draw(D3DPT_TRIANGLEFAN, 0, 2);
    vb.Draw(D3DPT_TRIANGLEFAN, 4, 2);
    ReadBack();
    // 64/255 x 0.5 + 0.5 x 0.5 x 1 = 0.3755 -> 96; 32 -> 80; 16 -> 72.
    ExpectNear(Pixel(256, 384), {96, 80, 72, 255}, "facing the light");
    // 64/255 x 0.5 -> 32, 16, 8.
    ExpectNear(Pixel(768, 384), {32, 16, 8, 255}, "turned away");

    // Normals turn with the world: half a turn about y faces the right quad
    // (now mirrored to the left) towards the light.
    D3DMATRIX world;
    m_device->SetTransform(D3DTS_WORLD, MatRotateY(&world, 3.14159265f));
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    vb.Draw(D3DPT_TRIANGLEFAN, 4, 2);
    ReadBack();
    ExpectNear(Pixel(256, 384), {96, 80, 72, 255}, "turned towards the light");
    vb.buffer->Release();
}

TEST_P(DeviceTest, RenderTargetViewportCopyAndOrientation) {
    IDirect3DSurface8* backBuffer = nullptr;
    IDirect3DSurface8* surface = nullptr;
    IDirect3DTexture8* target = RenderTarget(256, &surface, &backBuffer);
    ASSERT_NE(target, nullptr);
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(target->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL) << "render targets do not lock";
    Ortho(640, 480);
    FlatStates();
    m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
    m_device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_DISABLE);

    // The 640 x 480 space is squeezed onto all of the 256 x 256 target:
    // the upper half red, the lower half blue, and the upper-right quarter
    // drawn over in green.
    ASSERT_EQ(m_device->SetRenderTarget(surface, nullptr), D3D_OK);
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, Argb(0x40, 0, 0, 0), 1.0f, 0);
    DrawRect(-320, 240, 320, 0, Argb(255, 255, 0, 0));
    DrawRect(-320, 0, 320, -240, Argb(255, 0, 0, 255));
    DrawRect(0, 240, 320, 0, Argb(255, 0, 255, 0));
    std::vector<uint8_t> rt = ReadSurface(surface);
    ExpectNear(Bgra(rt, 256, 127, 0), {255, 0, 0, 255}, "top row, left of centre");
    ExpectNear(Bgra(rt, 256, 128, 0), {0, 255, 0, 255}, "top row, right of centre");
    ExpectNear(Bgra(rt, 256, 255, 127), {0, 255, 0, 255}, "last row of the upper half");
    ExpectNear(Bgra(rt, 256, 255, 128), {0, 0, 255, 255}, "first row of the lower half");
    ExpectNear(Bgra(rt, 256, 0, 255), {0, 0, 255, 255}, "bottom row");

    // The feedback blend keeps and weights the target's alpha.
    m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    m_device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    m_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_SRCALPHA);
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, Argb(0x40, 100, 50, 200), 1.0f, 0);
    DrawScreen(Argb(128, 200, 100, 40));
    rt = ReadSurface(surface);
    // (200 + 100) x 128/255 = 151 ... and alpha (128 + 64) x 128/255 = 96.
    ExpectNear(Bgra(rt, 256, 10, 10), {151, 75, 120, 96}, "feedback blend in a target");

    // Back on the back buffer the viewport covers it all again, and the
    // target sampled with v = 0 at the top comes out the right way up.
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, Argb(255, 0, 0, 0), 1.0f, 0);
    DrawRect(-320, 240, 320, 0, Argb(255, 255, 0, 0));
    DrawRect(-320, 0, 320, -240, Argb(255, 0, 0, 255));
    m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    ASSERT_EQ(m_device->SetRenderTarget(backBuffer, nullptr), D3D_OK);
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    DrawRect(0, 240, 320, 0, Argb(255, 0, 255, 0));
    ReadBack();
    ExpectNear(Pixel(511, 0), {0, 0, 0, 0}, "left of the back buffer's centre");
    ExpectNear(Pixel(512, 0), {0, 255, 0, 255}, "right of the back buffer's centre");
    ExpectNear(Pixel(1023, 383), {0, 255, 0, 255}, "last row of the upper half");
    ExpectNear(Pixel(1023, 384), {0, 0, 0, 0}, "first row of the lower half");

    m_device->SetTexture(0, target);
    m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    m_device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    DrawScreen(0xFFFFFFFF);
    ReadBack();
    ExpectNear(Pixel(500, 10), {255, 0, 0, 255}, "target's top at the top");
    ExpectNear(Pixel(500, 750), {0, 0, 255, 255}, "target's bottom at the bottom");
    m_device->SetTexture(0, nullptr);

    surface->Release();
    backBuffer->Release();
    target->Release();
}

// A target that is not square: a rectangle clear, the viewport following
// it, and a copy of it into a texture that locks.
TEST_P(DeviceTest, RenderTargetRectangleClearAndCopy) {
    PixelSpace();
    IDirect3DTexture8* wide = nullptr;
    ASSERT_EQ(m_device->CreateTexture(64, 32, 0, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &wide),
              D3D_OK);
    IDirect3DTexture8* copy = ArgbTexture(64, 32, std::vector<D3DCOLOR>(64 * 32, 0));
    IDirect3DSurface8 *back = nullptr, *surface = nullptr, *copySurface = nullptr;
    m_device->GetRenderTarget(&back);
    wide->GetSurfaceLevel(0, &surface);
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
    DrawPixelRect(512 + 0.0f, 384 - 16.0f, 512 + 32.0f, 384 + 0.0f, Argb(255, 250, 0, 0));  // the target's top right
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
    wide->Release();
    copy->Release();
}

TEST_P(DeviceTest, CopyRectsCopiesWholeSurfacesAndRectangles) {
    std::vector<uint8_t> bgra(8 * 8 * 4);
    for (size_t i = 0; i < bgra.size(); ++i) bgra[i] = static_cast<uint8_t>(i);
    IDirect3DTexture8* source = MakeTexture(8, 8, bgra);
    IDirect3DTexture8* dest = SolidTexture(0);  // 4 x 4
    IDirect3DSurface8* from = nullptr;
    IDirect3DSurface8* to = nullptr;
    source->GetSurfaceLevel(0, &from);
    dest->GetSurfaceLevel(0, &to);

    // An 8 x 8 source does not fit a 4 x 4 destination: nothing is copied.
    EXPECT_EQ(m_device->CopyRects(from, nullptr, 0, to, nullptr), D3DERR_INVALIDCALL);
    const RECT rects[] = {{2, 3, 4, 5}, {6, 6, 9, 7}};
    const POINT points[] = {{1, 1}, {0, 0}};
    EXPECT_EQ(m_device->CopyRects(from, rects, 2, to, points), D3DERR_INVALIDCALL) << "second rect is outside";
    EXPECT_EQ(m_device->CopyRects(from, rects, 1, to, points), D3D_OK);
    EXPECT_EQ(m_device->CopyRects(from, nullptr, 0, from, nullptr), D3DERR_INVALIDCALL);

    D3DLOCKED_RECT locked{};
    ASSERT_EQ(dest->LockRect(0, &locked, nullptr, 0), D3D_OK);
    const auto* bits = static_cast<const uint8_t*>(locked.pBits);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const bool copied = x >= 1 && x < 3 && y >= 1 && y < 3;
            const uint8_t expected = copied ? static_cast<uint8_t>(((y + 2) * 8 + (x + 1)) * 4) : 0;
            EXPECT_EQ(bits[(y * 4 + x) * 4], expected) << x << "," << y;
        }
    dest->UnlockRect(0);

    // The back buffer copies too.
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, Argb(1, 2, 3, 4), 1.0f, 0);
    IDirect3DSurface8* backBuffer = nullptr;
    m_device->GetRenderTarget(&backBuffer);
    const RECT corner{1020, 764, 1024, 768};
    const POINT origin{0, 0};
    EXPECT_EQ(m_device->CopyRects(backBuffer, &corner, 1, to, &origin), D3D_OK);
    ASSERT_EQ(dest->LockRect(0, &locked, nullptr, 0), D3D_OK);
    bits = static_cast<const uint8_t*>(locked.pBits);
    EXPECT_EQ(bits[15 * 4 + 0], 4);
    EXPECT_EQ(bits[15 * 4 + 3], 1);
    dest->UnlockRect(0);

    backBuffer->Release();
    from->Release();
    to->Release();
    source->Release();
    dest->Release();
}

TEST_P(DeviceTest, ReferenceCountsOfSurfaces) {
    IDirect3DTexture8* texture = SolidTexture(0);
    IDirect3DSurface8* surface = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(0, &surface), D3D_OK);
    EXPECT_EQ(texture->AddRef(), 3u) << "the surface holds the texture";
    EXPECT_EQ(texture->Release(), 2u);
    EXPECT_EQ(surface->Release(), 1u);
    EXPECT_EQ(texture->GetSurfaceLevel(1, &surface), D3DERR_INVALIDCALL) << "only level 0 exists";
    EXPECT_EQ(surface, nullptr);

    IDirect3DSurface8* first = nullptr;
    IDirect3DSurface8* second = nullptr;
    m_device->GetRenderTarget(&first);
    m_device->GetRenderTarget(&second);
    EXPECT_EQ(first, second);
    const ULONG held = first->AddRef();
    EXPECT_EQ(first->Release(), held - 1);
    EXPECT_EQ(second->Release(), held - 2);
    first->Release();
    EXPECT_EQ(texture->Release(), 0u);
}

TEST_P(DeviceTest, BadCallsFailWithoutDrawing) {
    IDirect3DTexture8* texture = reinterpret_cast<IDirect3DTexture8*>(1);
    EXPECT_EQ(m_device->CreateTexture(0, 16, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(texture, nullptr);
    EXPECT_EQ(m_device->CreateTexture(8193, 16, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(m_device->CreateTexture(16, 16, 0, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                      &texture),
              D3DERR_INVALIDCALL);

    Ortho(640, 480);
    FlatStates();
    m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    CVertexBuffer vb;
    vb.Create(4, kVertexKindColor);
    const D3DCOLOR white = 0xFFFFFFFF;
    const float corners[4][3] = {{-320, 240, 0}, {320, 240, 0}, {320, -240, 0}, {-320, -240, 0}};
    vb.Lock(0, 0);
    for (const auto& p : corners) vb.AddVertex(p, &white);
    vb.Unlock();
    m_device->SetStreamSource(0, vb.buffer, 16);
    m_device->SetVertexShader(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    EXPECT_EQ(m_device->DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 3), D3DERR_INVALIDCALL) << "reads past the end";
    EXPECT_EQ(m_device->DrawPrimitive(D3DPT_TRIANGLEFAN, 1, 2), D3DERR_INVALIDCALL) << "starts too late";
    EXPECT_EQ(m_device->DrawPrimitive(D3DPT_LINELIST, 0, 1), D3DERR_INVALIDCALL);
    m_device->SetVertexShader(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    EXPECT_EQ(m_device->DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 2), D3DERR_INVALIDCALL) << "stride too small";
    m_device->SetVertexShader(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    BYTE* data = nullptr;
    ASSERT_EQ(vb.buffer->Lock(0, 0, &data, 0), D3D_OK);
    EXPECT_EQ(m_device->DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 2), D3DERR_INVALIDCALL) << "buffer is locked";
    EXPECT_EQ(vb.buffer->Lock(0, 0, &data, 0), D3DERR_INVALIDCALL) << "already locked";
    vb.buffer->Unlock();
    EXPECT_EQ(vb.buffer->Lock(60, 8, &data, 0), D3DERR_INVALIDCALL) << "lock past the end";
    EXPECT_EQ(m_device->SetRenderState(D3DRS_CULLMODE, 7), D3DERR_INVALIDCALL);
    EXPECT_EQ(m_device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE), D3DERR_INVALIDCALL);
    ReadBack();
    EXPECT_EQ(Pixel(512, 384).r, 0) << "nothing was drawn";
    m_device->SetStreamSource(0, nullptr, 0);
    vb.buffer->Release();
}

TEST_P(DeviceTest, GeometryIsClippedToTheViewVolume) {
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    FlatStates();
    m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
    D3DMATRIX m;
    m_device->SetTransform(D3DTS_WORLD, MatIdentity(&m));
    const D3DVECTOR eye{0, 0, -5}, at{0, 0, 0}, up{0, 1, 0};
    m_device->SetTransform(D3DTS_VIEW, MatLookAt(&m, &eye, &at, &up));
    m_device->SetTransform(D3DTS_PROJECTION, MatPerspective(&m, 3.14159265f / 2, 1.0f, 1.0f, 100.0f));
    // A floor from behind the viewer to far ahead: only the part in front
    // of the near plane may show, in the lower half of the screen.
    CVertexBuffer vb;
    vb.Create(4, kVertexKindColor);
    const D3DCOLOR white = 0xFFFFFFFF;
    const float floor[4][3] = {{-3, -1, -20}, {3, -1, -20}, {3, -1, 50}, {-3, -1, 50}};
    vb.Lock(0, 0);
    for (const auto& p : floor) vb.AddVertex(p, &white);
    vb.Unlock();
    vb.Draw(D3DPT_TRIANGLEFAN, 0, 2);
    ReadBack();
    EXPECT_EQ(Pixel(512, 100).r, 0) << "nothing above the horizon";
    EXPECT_EQ(Pixel(512, 700).r, 255) << "the floor in front";

    // Infinite corners (the zoom blur's first frame) draw nothing.
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    Ortho(640, 480);
    const float inf = INFINITY;
    const float infinite[4][3] = {{-inf, 240, 0}, {inf, 240, 0}, {inf, -240, 0}, {-inf, -240, 0}};
    vb.Lock(0, 0);
    for (const auto& p : infinite) vb.AddVertex(p, &white);
    vb.Unlock();
    vb.Draw(D3DPT_TRIANGLEFAN, 0, 2);
    ReadBack();
    EXPECT_EQ(Pixel(512, 384).r, 0);
    vb.buffer->Release();
}

// The pixel board's frame: 16 x 16 cells of seven strips, each after a
// world change, with additive blending.
TEST_P(DeviceTest, ManyStripDrawsBatchIntoFewDrawsWithTheSamePixels) {
    CVertexBuffer vb;
    vb.Create(4, kVertexKindColor);
    const D3DCOLOR color = Argb(0x20, 40, 20, 10);
    const float quad[4][3] = {{0, 0, 0}, {0, 10, 0}, {10, 0, 0}, {10, 10, 0}};
    vb.Lock(0, 0);
    for (const auto& p : quad) vb.AddVertex(p, &color);
    vb.Unlock();

    auto frame = [&](bool oneByOne) {
        Ortho(1024, 768);
        FlatStates();
        m_device->SetTexture(0, nullptr);
        m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
        m_device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
        m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        m_device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        m_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
        m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        m_device->Finish();
        const uint64_t before = m_device->DrawCallCount();
        for (int cell = 0; cell < 256; ++cell)
            for (int band = 0; band < 7; ++band) {
                D3DMATRIX world;
                MatTranslate(&world, (cell % 16) * 30.0f - 480 + band * 3.5f, (cell / 16) * 30.0f - 360 + band * 2.25f, 0);
                m_device->SetTransform(D3DTS_WORLD, &world);
                // A filter change without a texture changes nothing: the
                // batch goes on.
                m_device->SetTextureStageState(0, D3DTSS_MAGFILTER, (cell * 7 + band) % 2 ? D3DTEXF_LINEAR : D3DTEXF_POINT);
                vb.Draw(D3DPT_TRIANGLESTRIP, 0, 2);
                if (oneByOne) m_device->Finish();
            }
        return std::make_pair(m_device->DrawCallCount() - before, BackendDeviceTest::ReadBack());
    };
    const auto batched = frame(false);
    const auto single = frame(true);
    EXPECT_LE(batched.first, 4u);
    EXPECT_EQ(single.first, 256u * 7u);
    EXPECT_TRUE(batched.second == single.second);
    vb.buffer->Release();
}

TEST_P(DeviceTest, PresentCountsAndHandsOverTheFrame) {
    CCountingSink sink;
    m_device->SetPresentSink(&sink);
    EXPECT_EQ(m_device->BeginScene(), D3D_OK);
    EXPECT_EQ(m_device->BeginScene(), D3DERR_INVALIDCALL);
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, Argb(255, 9, 8, 7), 1.0f, 0);
    EXPECT_EQ(m_device->EndScene(), D3D_OK);
    m_device->Present(nullptr, nullptr, nullptr, nullptr);
    m_device->Present(nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(m_device->PresentCount(), 2u);
    EXPECT_EQ(sink.frames, 2);
    ExpectNear(sink.first, {9, 8, 7, 255}, "read-back");
}

// A hidden device holds drawing back: what a later full clear wipes, or what
// is never looked at, is never drawn; the rest comes out as if drawn at once.
TEST_P(DeviceTest, HiddenDrawingIsDrawnOnlyWhereItCanBeSeen) {
    IDirect3DSurface8* backBuffer = nullptr;
    IDirect3DSurface8* surface = nullptr;
    IDirect3DTexture8* target = RenderTarget(64, &surface, &backBuffer);
    ASSERT_NE(target, nullptr);
    IDirect3DTexture8* red = SolidTexture(Argb(255, 255, 0, 0));
    Ortho(640, 480);
    FlatStates();
    CCountingSink sink;
    m_device->SetPresentSink(&sink);

    m_device->SetHidden(true);
    const uint64_t before = m_device->DrawCallCount();
    // Frames wiped by the next clear, and one picture drawn into a target
    // that nothing looks at yet.
    m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
    for (int frame = 0; frame < 5; ++frame) {
        m_device->Clear(0, nullptr, D3DCLEAR_TARGET, Argb(255, 0, 0, 0), 1.0f, 0);
        DrawScreen(Argb(255, 0, 255, 0));
        m_device->Present(nullptr, nullptr, nullptr, nullptr);
    }
    m_device->SetRenderTarget(surface, nullptr);
    DrawScreen(Argb(255, 0, 0, 255));
    m_device->SetRenderTarget(backBuffer, nullptr);
    // The last hidden frame stays on the back buffer without a clear after
    // it, sampling the red texture, which is then replaced.
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, Argb(255, 0, 0, 0), 1.0f, 0);
    m_device->SetTexture(0, red);
    m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    m_device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    DrawRect(-320, 240, 0, 0, 0xFFFFFFFF);
    m_device->SetTexture(0, nullptr);
    m_device->SetHidden(false);
    EXPECT_EQ(m_device->DrawCallCount(), before) << "nothing drawn while hidden";
    EXPECT_EQ(sink.frames, 0) << "hidden frames are not presented";
    EXPECT_EQ(m_device->PresentCount(), 0u);

    D3DLOCKED_RECT locked{};
    ASSERT_EQ(red->LockRect(0, &locked, nullptr, 0), D3D_OK);
    for (int i = 0; i < 16; ++i) static_cast<uint32_t*>(locked.pBits)[i] = Argb(255, 255, 255, 0);
    red->UnlockRect(0);
    EXPECT_EQ(m_device->DrawCallCount(), before + 2) << "the target and the last frame, before the change";
    ReadBack();
    ExpectNear(Pixel(100, 100), {255, 0, 0, 255}, "the texture as it was when drawn");
    ExpectNear(Pixel(900, 700), {0, 0, 0, 255}, "the last clear");
    std::vector<uint8_t> rt = ReadSurface(surface);
    ExpectNear(Bgra(rt, 64, 32, 32), {0, 0, 255, 255}, "the target's picture");

    // A picture held back and then cleared whole, with nothing reading it
    // in between, is never drawn.
    m_device->SetHidden(true);
    m_device->SetRenderTarget(surface, nullptr);
    m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
    DrawScreen(Argb(255, 255, 255, 255));
    m_device->SetRenderTarget(backBuffer, nullptr);
    m_device->SetHidden(false);
    const uint64_t shownBefore = m_device->DrawCallCount();
    m_device->SetRenderTarget(surface, nullptr);
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, Argb(255, 1, 2, 3), 1.0f, 0);
    m_device->SetRenderTarget(backBuffer, nullptr);
    rt = ReadSurface(surface);
    EXPECT_EQ(m_device->DrawCallCount(), shownBefore);
    ExpectNear(Bgra(rt, 64, 5, 5), {1, 2, 3, 255}, "the clear alone");

    // A texture left bound is read only by draws whose stage takes it.
    m_device->SetHidden(true);
    m_device->SetRenderTarget(surface, nullptr);
    DrawScreen(Argb(255, 0, 200, 0));
    m_device->SetRenderTarget(backBuffer, nullptr);
    m_device->SetHidden(false);
    m_device->SetTexture(0, target);
    const uint64_t boundBefore = m_device->DrawCallCount();
    DrawScreen(Argb(255, 9, 9, 9));
    m_device->Finish();
    EXPECT_EQ(m_device->DrawCallCount(), boundBefore + 1) << "the target's picture still held back";
    m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    DrawScreen(0xFFFFFFFF);
    ReadBack();
    ExpectNear(Pixel(500, 400), {0, 200, 0, 255}, "drawn before the draw that samples it");
    m_device->SetTexture(0, nullptr);

    surface->Release();
    backBuffer->Release();
    red->Release();
    target->Release();
}

TEST_P(DeviceTest, SharedEdgesThroughPixelCentresDrawEachPixelOnce) {
    PixelSpace();
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
    ReadBack();
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
TEST_P(DeviceTest, TrianglesLeavingTheTargetAreCutAtItsEdges) {
    PixelSpace();
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
    m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    DrawPixelRect(-40.0f, -30.0f, 20.5f, 10.5f, Argb(255, 200, 0, 0));
    DrawPixelRect(1003.5f, 757.5f, 3000.0f, 2500.0f, Argb(255, 0, 200, 0));
    DrawPixelRect(100.5f, -9000.0f, 110.5f, 5.5f, Argb(255, 0, 0, 200));
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
    ReadBack();

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
    ExpectPixel(0, 305, {160, 0, 0, 255}, "the target's left edge");
    ExpectPixel(512, 305, {192, 0, 0, 255}, "the target's middle");
    ExpectPixel(1023, 305, {224, 0, 0, 255}, "the target's right edge");
    EXPECT_EQ(Pixel(500, 299).r, 0);
    EXPECT_EQ(Pixel(500, 311).r, 0);
}

TEST_P(DeviceTest, TexelCentresWithPointAndBilinearWrapAndClamp) {
    PixelSpace();
    // Two texels, 0 and 200 in every channel, stretched over pixels
    // 100 .. 107 of row 200: pixel k samples u = (k + 0.5) / 8, which is
    // texel coordinate 2u - 0.5 from the first texel's centre.
    IDirect3DTexture8* texture = ArgbTexture(2, 1, {0, 0xC8C8C8C8u});
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
        DrawPixelRect(99.5f, 199.5f, 107.5f, 200.5f, 0xFFFFFFFF);
        ReadBack();
        for (int k = 0; k < 8; ++k) {
            const int e = c.expected[k];
            ExpectPixel(100 + k, 200, {e, e, e, e}, c.filter == D3DTEXF_POINT ? "point" : "linear");
        }
        EXPECT_EQ(Pixel(99, 200).r, 0);
        EXPECT_EQ(Pixel(108, 200).r, 0);
        EXPECT_EQ(Pixel(100, 199).r + Pixel(100, 201).r, 0);
    }
    // Stretched over the whole row, pixel k lies (k + 0.5) / 2 - 128 256ths
    // of a texel past the first centre: the weight rounds to the nearest
    // 256th, so 0.75 mixes in 1 / 256 of the 200 and 1.75 mixes in 2 / 256.
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    DrawPixelRect(-0.5f, 199.5f, 1023.5f, 200.5f, 0xFFFFFFFF);
    ReadBack();
    const int rounded[4] = {0, 1, 1, 2};
    for (int k = 0; k < 4; ++k) EXPECT_EQ(Pixel(256 + k, 200).r, rounded[k]) << "pixel " << 256 + k;
    m_device->SetTexture(0, nullptr);
    texture->Release();
}

// The effects draw in a fixed space whatever the back buffer's size: a fade
// and a textured quad at 1600 x 1200 and at 1440 x 1080 (the picture of a
// 1920 x 1080 frame) land where the 640 x 480 space puts them.
TEST_P(DeviceTest, TheSamePictureAtOtherSizes) {
    const int sizes[][2] = {{1600, 1200}, {1440, 1080}};
    for (const auto& size : sizes) {
        const int w = size[0], h = size[1];
        std::string error;
        CRasterDevice* other = CreateTestDevice(GetParam(), w, h, &error);
        ASSERT_NE(other, nullptr) << error;
        std::swap(m_device, other);
        g_device = m_device;
        Ortho(640, 480);
        FlatStates();
        // Texels red, green / blue, white, point sampled, over the top-left
        // quarter of the screen; the rest cleared, then all faded by half.
        const std::vector<uint8_t> bgra = {0, 0, 255, 255, 0, 255, 0, 255, 255, 0, 0, 255, 255, 255, 255, 255};
        IDirect3DTexture8* texture = MakeTexture(2, 2, bgra);
        m_device->Clear(0, nullptr, D3DCLEAR_TARGET, Argb(255, 200, 100, 50), 1.0f, 0);
        m_device->SetTexture(0, texture);
        m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        m_device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        m_device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        m_device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
        // Clamped: OpenGL's sample at the very first column may fall a hair
        // before the texture's edge.
        m_device->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
        m_device->SetTextureStageState(0, D3DTSS_ADDRESSV, D3DTADDRESS_CLAMP);
        DrawRect(-320, 240, 0, 0, 0xFFFFFFFF);
        m_device->SetTexture(0, nullptr);
        m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
        m_device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
        m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        m_device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ZERO);
        m_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_SRCALPHA);
        DrawScreen(Argb(128, 0, 0, 0));
        m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        const std::vector<uint8_t> rgba = BackendDeviceTest::ReadBack();
        const auto at = [&](int x, int y) {
            const uint8_t* p = &rgba[(static_cast<size_t>(y) * w + x) * 4];
            return SRgba{p[0], p[1], p[2], p[3]};
        };
        // 128/255 of each channel, alpha included.
        const SRgba red{128, 0, 0, 128}, green{0, 128, 0, 128}, blue{0, 0, 128, 128}, white{128, 128, 128, 128};
        const SRgba faded{100, 50, 25, 128};
        const int qw = w / 4, qh = h / 4;  // one texel's block
        ExpectNear(at(0, 0), red, "top-left texel's first pixel");
        ExpectNear(at(qw - 1, qh - 1), red, "top-left texel's last pixel");
        ExpectNear(at(qw, 0), green, "top-right texel's first pixel");
        ExpectNear(at(0, qh), blue, "bottom-left texel's first pixel");
        ExpectNear(at(2 * qw - 1, 2 * qh - 1), white, "bottom-right texel's last pixel");
        ExpectNear(at(2 * qw, 0), faded, "right of the quad");
        ExpectNear(at(0, 2 * qh), faded, "below the quad");
        ExpectNear(at(w - 1, h - 1), faded, "the far corner");
        texture->Release();
        std::swap(m_device, other);
        g_device = m_device;
        EXPECT_EQ(other->Release(), 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, DeviceTest, ::testing::Values(ETestBackend::kGL, ETestBackend::kCpu),
                         TestBackendName);

}  // namespace
