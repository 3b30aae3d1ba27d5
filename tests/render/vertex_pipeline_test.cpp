// The device core's vertex work, seen through what it hands a raster backend:
// screen positions, clipping, culling, lighting and batching. No graphics
// driver is involved; expected values are worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "render/core/raster_device.h"
#include "render/d3dmath.h"
#include "tests/render/recording_raster_backend.h"

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;

struct SColorVertex {
    float x, y, z;
    D3DCOLOR color;
};
constexpr DWORD kColorFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE;

struct SNormalVertex {
    float x, y, z;
    float nx, ny, nz;
};
constexpr DWORD kNormalFvf = D3DFVF_XYZ | D3DFVF_NORMAL;

// Twice the signed area on screen (y down): positive when clockwise.
double TwiceArea(const SRasterVertex& a, const SRasterVertex& b, const SRasterVertex& c) {
    return (static_cast<double>(b.x) - a.x) * (static_cast<double>(c.y) - a.y) -
           (static_cast<double>(c.x) - a.x) * (static_cast<double>(b.y) - a.y);
}

class VertexPipelineTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        m_device = CreateRecordedDevice(kWidth, kHeight, &m_backend, &error);
        ASSERT_NE(m_device, nullptr) << error;
    }
    void TearDown() override {
        if (m_device) m_device->Release();
    }

    // The triangles one draw gives the backend, three vertices each.
    template <typename Vertex>
    std::vector<SRasterVertex> Draw(DWORD fvf, const std::vector<Vertex>& vertices,
                                    D3DPRIMITIVETYPE type, UINT primitives) {
        m_backend->draws.clear();
        const UINT bytes = static_cast<UINT>(vertices.size() * sizeof(Vertex));
        IDirect3DVertexBuffer8* buffer = nullptr;
        EXPECT_EQ(m_device->CreateVertexBuffer(bytes, 0, fvf, D3DPOOL_DEFAULT, &buffer), D3D_OK);
        BYTE* data = nullptr;
        buffer->Lock(0, 0, &data, 0);
        std::memcpy(data, vertices.data(), bytes);
        buffer->Unlock();
        m_device->SetStreamSource(0, buffer, sizeof(Vertex));
        m_device->SetVertexShader(fvf);
        EXPECT_EQ(m_device->DrawPrimitive(type, 0, primitives), D3D_OK);
        buffer->Release();
        m_device->Finish();
        std::vector<SRasterVertex> out;
        for (const SRecordedDraw& draw : m_backend->draws) {
            out.insert(out.end(), draw.vertices.begin(), draw.vertices.end());
        }
        EXPECT_EQ(out.size() % 3, 0u);
        return out;
    }

    std::vector<SRasterVertex> DrawColored(const std::vector<SColorVertex>& v, D3DPRIMITIVETYPE type,
                                           UINT primitives) {
        return Draw(kColorFvf, v, type, primitives);
    }

    CRecordingRasterBackend* m_backend = nullptr;
    CRasterDevice* m_device = nullptr;
};

TEST_F(VertexPipelineTest, ScreenPositionsPutPixelCentresOnIntegers) {
    // Direct3D's pixel (i, j) has its centre at screen (i, j): the viewport
    // maps the view volume's edges to 0 and the size, with no half-pixel
    // shift (that is the backend's business).
    const std::vector<SColorVertex> v = {
        {-512, 384, 0, 0xFFFFFFFF}, {512, 384, 0, 0xFFFFFFFF}, {-502, 364, 0, 0x80402010}};
    const std::vector<SRasterVertex> out = DrawColored(v, D3DPT_TRIANGLELIST, 1);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_FLOAT_EQ(out[0].x, 0.0f);
    EXPECT_FLOAT_EQ(out[0].y, 0.0f);
    EXPECT_FLOAT_EQ(out[1].x, 1024.0f);
    EXPECT_FLOAT_EQ(out[1].y, 0.0f);
    EXPECT_FLOAT_EQ(out[2].x, 10.0f);
    EXPECT_FLOAT_EQ(out[2].y, 20.0f);
    // Orthographic depth z / 2 + 1/2, and w = 1.
    EXPECT_FLOAT_EQ(out[2].z, 0.5f);
    EXPECT_FLOAT_EQ(out[2].rhw, 1.0f);
    // Colours unlit: channels of the ARGB word.
    EXPECT_FLOAT_EQ(out[2].a, 128 / 255.0f);
    EXPECT_FLOAT_EQ(out[2].r, 64 / 255.0f);
    EXPECT_FLOAT_EQ(out[2].g, 32 / 255.0f);
    EXPECT_FLOAT_EQ(out[2].b, 16 / 255.0f);
}

TEST_F(VertexPipelineTest, CullingJudgesTheWindingOnScreen) {
    // Clockwise as seen on screen: right along the top, then down-left.
    const std::vector<SColorVertex> cw = {
        {-100, 100, 0, 0xFFFFFFFF}, {100, 100, 0, 0xFFFFFFFF}, {-100, -100, 0, 0xFFFFFFFF}};
    const std::vector<SColorVertex> ccw = {cw[0], cw[2], cw[1]};
    // A strip's odd triangles are reversed, so a quad as a strip keeps one winding.
    const std::vector<SColorVertex> strip = {cw[0], cw[1], cw[2], {100, -100, 0, 0xFFFFFFFF}};

    struct SCase {
        DWORD cull;  // 0: the device's default
        size_t cwKept, ccwKept, stripKept;
    };
    const SCase cases[] = {
        {0, 1, 0, 2}, {D3DCULL_CCW, 1, 0, 2}, {D3DCULL_CW, 0, 1, 0}, {D3DCULL_NONE, 1, 1, 2}};
    for (const SCase& c : cases) {
        if (c.cull) m_device->SetRenderState(D3DRS_CULLMODE, c.cull);
        const std::vector<SRasterVertex> a = DrawColored(cw, D3DPT_TRIANGLELIST, 1);
        EXPECT_EQ(a.size() / 3, c.cwKept) << "cull " << c.cull;
        if (!a.empty()) {
            EXPECT_GT(TwiceArea(a[0], a[1], a[2]), 0.0);
        }
        EXPECT_EQ(DrawColored(ccw, D3DPT_TRIANGLELIST, 1).size() / 3, c.ccwKept) << "cull " << c.cull;
        EXPECT_EQ(DrawColored(strip, D3DPT_TRIANGLESTRIP, 2).size() / 3, c.stripKept)
            << "cull " << c.cull;
    }
    // A triangle of no area is never drawn.
    m_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    EXPECT_TRUE(DrawColored({cw[0], cw[1], cw[1]}, D3DPT_TRIANGLELIST, 1).empty());
}

// Past the screen's edge the rasteriser's scissor does the cutting: within
// the guard band a triangle goes out whole; beyond it, it is cut at the band.
TEST_F(VertexPipelineTest, TrianglesAreCutOnlyBeyondTheGuardBand) {
    m_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    // On screen: apex (-100, 384), base from (512, 284) to (512, 484).
    std::vector<SRasterVertex> out =
        DrawColored({{-612, 0, 0, 0xFF000000}, {0, 100, 0, 0xFFFF0000}, {0, -100, 0, 0xFFFF0000}},
                    D3DPT_TRIANGLELIST, 1);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_FLOAT_EQ(out[0].x, -100.0f);
    EXPECT_FLOAT_EQ(out[0].y, 384.0f);

    // Apex at x = -4608 on screen, 512 pixels beyond the band's edge at
    // -4096: cut a tenth of the way from the apex (red 0 there, 1 at the base).
    out = DrawColored({{-5120, 0, 0, 0xFF000000}, {0, 100, 0, 0xFFFF0000}, {0, -100, 0, 0xFFFF0000}},
                      D3DPT_TRIANGLELIST, 1);
    ASSERT_EQ(out.size(), 6u);  // the part inside is a quadrilateral
    int onEdge = 0;
    for (const SRasterVertex& p : out) {
        EXPECT_GE(p.x, -kGuardBandPixels - 1e-2f);
        if (std::fabs(p.x + kGuardBandPixels) < 1e-2f) {
            ++onEdge;
            EXPECT_NEAR(p.r, 0.1, 1e-4);
            EXPECT_NEAR(std::fabs(p.y - 384.0f), 10.0, 1e-2);
        }
    }
    EXPECT_GE(onEdge, 2);
}

TEST_F(VertexPipelineTest, TrianglesCrossingTheNearPlaneAreCutAtIt) {
    D3DMATRIX m;
    // Eye at the origin looking along +z; near 1, far 100; 90 degrees.
    m_device->SetTransform(D3DTS_PROJECTION, MatPerspective(&m, 1.5707964f, 1.0f, 1.0f, 100.0f));
    m_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    const std::vector<SColorVertex> v = {
        {0, 0, 0.5f, 0xFFFFFFFF}, {-2, -2, 5, 0xFFFFFFFF}, {2, -2, 5, 0xFFFFFFFF}};
    const std::vector<SRasterVertex> out = DrawColored(v, D3DPT_TRIANGLELIST, 1);
    ASSERT_EQ(out.size(), 6u);
    int onNear = 0, far = 0;
    for (const SRasterVertex& p : out) {
        EXPECT_GE(p.z, -1e-6f);
        EXPECT_LE(p.z, 1.0f);
        if (std::fabs(p.z) < 1e-5f) {
            // The edges from the near vertex meet z = 1 a ninth of the way
            // along, at x = -+2/9, y = -2/9, w = 1.
            ++onNear;
            EXPECT_NEAR(std::fabs(p.x - 512.0f), 512.0 * 2.0 / 9.0, 1e-3);
            EXPECT_NEAR(p.y, 384.0 * (1.0 + 2.0 / 9.0), 1e-3);
            EXPECT_NEAR(p.rhw, 1.0, 1e-6);
        } else {
            // Depth far / (far - near) x (1 - near / z) at z = 5.
            ++far;
            EXPECT_NEAR(p.z, 100.0 / 99.0 * (1.0 - 1.0 / 5.0), 1e-5);
            EXPECT_NEAR(p.rhw, 0.2, 1e-6);
        }
    }
    EXPECT_GE(onNear, 2);
    EXPECT_GE(far, 2);
    // Wholly nearer than the near plane: nothing is left.
    const std::vector<SColorVertex> tooNear = {
        {0, 0, 0.5f, 0xFFFFFFFF}, {-0.1f, -0.1f, 0.9f, 0xFFFFFFFF}, {0.1f, -0.1f, 0.9f, 0xFFFFFFFF}};
    EXPECT_TRUE(DrawColored(tooNear, D3DPT_TRIANGLELIST, 1).empty());
}

TEST_F(VertexPipelineTest, DirectionalLightFollowsTheFixedFunctionFormula) {
    m_device->SetRenderState(D3DRS_LIGHTING, TRUE);
    m_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    m_device->SetRenderState(D3DRS_AMBIENT, 0x00404040);  // 64 / 255 each
    D3DMATERIAL8 material{};
    material.Diffuse = {0.8f, 0.6f, 0.4f, 0.5f};
    material.Ambient = {0.2f, 0.4f, 0.6f, 1.0f};
    material.Emissive = {0.05f, 0.0f, 0.0f, 0.0f};
    m_device->SetMaterial(&material);
    D3DLIGHT8 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {0.5f, 0.5f, 0.5f, 1.0f};
    light.Ambient = {0.1f, 0.1f, 0.1f, 1.0f};
    light.Direction = {0, 0, 2};  // normalised by the device
    m_device->SetLight(0, &light);
    m_device->LightEnable(0, TRUE);

    // colour = global ambient x material ambient + emissive
    //        + light ambient x material ambient + light diffuse x material diffuse x max(0, N.L)
    // with L = -direction: r = 0.120196 + 0.4 n, g = 0.140392 + 0.3 n, b = 0.210588 + 0.2 n.
    const float g = 64 / 255.0f;
    auto expect = [&](const SRasterVertex& p, float ndotl, const char* what) {
        EXPECT_NEAR(p.r, g * 0.2f + 0.05f + 0.1f * 0.2f + 0.5f * 0.8f * ndotl, 1e-5) << what;
        EXPECT_NEAR(p.g, g * 0.4f + 0.1f * 0.4f + 0.5f * 0.6f * ndotl, 1e-5) << what;
        EXPECT_NEAR(p.b, g * 0.6f + 0.1f * 0.6f + 0.5f * 0.4f * ndotl, 1e-5) << what;
        EXPECT_FLOAT_EQ(p.a, 0.5f) << what;  // the material's diffuse alpha
    };
    auto triangle = [](float x, float nx, float ny, float nz) {
        return std::vector<SNormalVertex>{
            {x, 0, 0, nx, ny, nz}, {x + 10, 0, 0, nx, ny, nz}, {x, 10, 0, nx, ny, nz}};
    };
    std::vector<SNormalVertex> v;
    for (const auto& t :
         {triangle(-100, 0, 0, -1), triangle(0, 0, 0.6f, -0.8f), triangle(100, 0, 0, 1)}) {
        v.insert(v.end(), t.begin(), t.end());
    }
    std::vector<SRasterVertex> out = Draw(kNormalFvf, v, D3DPT_TRIANGLELIST, 3);
    ASSERT_EQ(out.size(), 9u);
    expect(out[0], 1.0f, "facing the light");
    expect(out[3], 0.8f, "at an angle");
    expect(out[6], 0.0f, "facing away");

    // Normals go through the inverse transpose of the world matrix and are
    // not renormalised: a world scaled by 2 halves N.L.
    D3DMATRIX scale;
    m_device->SetTransform(D3DTS_WORLD, MatScale(&scale, 2, 2, 2));
    out = Draw(kNormalFvf, triangle(-100, 0, 0, -1), D3DPT_TRIANGLELIST, 1);
    ASSERT_EQ(out.size(), 3u);
    expect(out[0], 0.5f, "scaled world");
}

TEST_F(VertexPipelineTest, DrawsWithEqualStatesShareABatchAndCarryTheirStates) {
    m_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    m_device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    m_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
    const std::vector<SColorVertex> v = {
        {-100, 100, 0, 0xFFFFFFFF}, {100, 100, 0, 0xFFFFFFFF}, {-100, -100, 0, 0xFFFFFFFF}};
    IDirect3DVertexBuffer8* buffer = nullptr;
    ASSERT_EQ(m_device->CreateVertexBuffer(sizeof(SColorVertex) * 3, 0, kColorFvf, D3DPOOL_DEFAULT,
                                           &buffer),
              D3D_OK);
    BYTE* data = nullptr;
    buffer->Lock(0, 0, &data, 0);
    std::memcpy(data, v.data(), sizeof(SColorVertex) * 3);
    buffer->Unlock();
    m_device->SetStreamSource(0, buffer, sizeof(SColorVertex));
    m_device->SetVertexShader(kColorFvf);
    m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1);
    D3DMATRIX shift;
    // Transforms apply at draw time and do not break a batch.
    m_device->SetTransform(D3DTS_WORLD, MatTranslate(&shift, 200, 0, 0));
    m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1);
    m_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1);
    buffer->Release();
    m_device->Finish();

    ASSERT_EQ(m_backend->draws.size(), 2u);
    const SRecordedDraw& first = m_backend->draws[0];
    EXPECT_EQ(first.vertices.size(), 6u);
    EXPECT_FLOAT_EQ(first.vertices[3].x, first.vertices[0].x + 200.0f);
    EXPECT_TRUE(first.state.blendEnable);
    EXPECT_EQ(first.state.srcBlend, D3DBLEND_SRCALPHA);
    EXPECT_EQ(first.state.destBlend, D3DBLEND_ONE);
    EXPECT_EQ(first.state.colorOp, D3DTOP_DISABLE);
    EXPECT_EQ(first.state.texture, 0u);
    EXPECT_EQ(m_backend->draws[1].vertices.size(), 3u);
    EXPECT_EQ(m_backend->draws[1].state.destBlend, D3DBLEND_INVSRCALPHA);
}

}  // namespace
