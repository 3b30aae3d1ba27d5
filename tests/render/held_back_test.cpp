// What a hidden device holds back, seen from the backend: which clears,
// draws and copies reach it, and when.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "render/core/raster_device.h"
#include "tests/render/recording_raster_backend.h"

namespace {

using Ops = std::vector<std::string>;

// The back buffer is image 1; textures are numbered on from 2.
class HeldBack : public ::testing::Test {
protected:
    static constexpr int kWidth = 64;
    static constexpr int kHeight = 48;

    void SetUp() override {
        std::string error;
        m_device = CreateRecordedDevice(kWidth, kHeight, &m_backend, &error);
        ASSERT_NE(m_device, nullptr) << error;
        m_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        const float quad[4][5] = {{-20, -20, 0, 0, 1}, {-20, 20, 0, 0, 0}, {20, -20, 0, 1, 1}, {20, 20, 0, 1, 0}};
        ASSERT_EQ(m_device->CreateVertexBuffer(sizeof(SVertex) * 4, 0, kFvf, D3DPOOL_MANAGED, &m_quad), D3D_OK);
        BYTE* data = nullptr;
        m_quad->Lock(0, 0, &data, 0);
        auto* vertices = reinterpret_cast<SVertex*>(data);
        for (int i = 0; i < 4; ++i) vertices[i] = {quad[i][0], quad[i][1], quad[i][2], 0xFF808080, quad[i][3], quad[i][4]};
        m_quad->Unlock();
    }
    void TearDown() override {
        if (m_quad) m_quad->Release();
        if (m_device) {
            EXPECT_EQ(m_device->Release(), 0u);
        }
    }

    // A quad over the middle; sampling `texture` when one is given.
    void Draw(IDirect3DTexture8* texture = nullptr) {
        m_device->SetTexture(0, texture);
        m_device->SetTextureStageState(0, D3DTSS_COLOROP, texture ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE);
        m_device->SetStreamSource(0, m_quad, sizeof(SVertex));
        m_device->SetVertexShader(kFvf);
        ASSERT_EQ(m_device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    }
    void Clear() { m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0); }
    void Present() { m_device->Present(nullptr, nullptr, nullptr, nullptr); }
    IDirect3DTexture8* Texture(bool renderTarget) {
        IDirect3DTexture8* texture = nullptr;
        EXPECT_EQ(m_device->CreateTexture(16, 16, 1, renderTarget ? D3DUSAGE_RENDERTARGET : 0, D3DFMT_A8R8G8B8,
                                          renderTarget ? D3DPOOL_DEFAULT : D3DPOOL_MANAGED, &texture),
                  D3D_OK);
        return texture;
    }
    // What reached the backend since the last call.
    Ops Reached() {
        m_device->Finish();
        Ops ops;
        ops.swap(m_backend->ops);
        return ops;
    }

    struct SVertex {
        float x, y, z;
        D3DCOLOR colour;
        float u, v;
    };
    static constexpr DWORD kFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;

    CRecordingRasterBackend* m_backend = nullptr;
    CRasterDevice* m_device = nullptr;
    IDirect3DVertexBuffer8* m_quad = nullptr;
};

// Frames that the next full clear wipes never reach the backend; the one
// left on the back buffer is drawn when it is shown.
TEST_F(HeldBack, FramesWipedByTheNextClearAreNeverDrawn) {
    m_device->SetHidden(true);
    for (int frame = 0; frame < 3; ++frame) {
        Clear();
        Draw();
        Present();
    }
    EXPECT_EQ(Reached(), Ops{});
    EXPECT_EQ(m_device->PresentCount(), 0u) << "hidden frames are not presented";
    m_device->SetHidden(false);
    Present();
    EXPECT_EQ(Reached(), (Ops{"clear 1", "draw 1"}));
    EXPECT_EQ(m_device->PresentCount(), 1u);
}

// A picture drawn into a render target waits until something reads it; a
// draw onto held drawing draws everything held first, in order.
TEST_F(HeldBack, RenderTargetPicturesWaitUntilSampled) {
    IDirect3DTexture8* target = Texture(true);
    IDirect3DSurface8* surface = nullptr;
    IDirect3DSurface8* backBuffer = nullptr;
    target->GetSurfaceLevel(0, &surface);
    m_device->GetRenderTarget(&backBuffer);
    const auto drawIntoTarget = [&] {
        m_device->SetRenderTarget(surface, nullptr);
        Clear();
        Draw();
        m_device->SetRenderTarget(backBuffer, nullptr);
    };

    m_device->SetHidden(true);
    drawIntoTarget();
    m_device->SetHidden(false);
    Draw();
    EXPECT_EQ(Reached(), Ops{"draw 1"}) << "the target's picture is not needed yet";
    Draw(target);
    EXPECT_EQ(Reached(), (Ops{"clear 2", "draw 2", "draw 1 from 2"}));

    m_device->SetHidden(true);
    drawIntoTarget();
    Clear();
    Draw();
    EXPECT_EQ(Reached(), Ops{});
    m_device->SetHidden(false);
    Draw();
    EXPECT_EQ(Reached(), (Ops{"clear 2", "draw 2", "clear 1", "draw 1", "draw 1"}));

    surface->Release();
    backBuffer->Release();
    target->Release();
}

// A copy waits with what it copies; a texture that a held draw samples is
// not changed until that draw is made.
TEST_F(HeldBack, CopiesAndChangedTexturesKeepTheirOrder) {
    IDirect3DTexture8* picture = Texture(false);
    IDirect3DTexture8* copy = Texture(false);
    IDirect3DSurface8* into = nullptr;
    IDirect3DSurface8* backBuffer = nullptr;
    copy->GetSurfaceLevel(0, &into);
    m_device->GetRenderTarget(&backBuffer);
    const RECT corner{0, 0, 16, 16};
    const POINT at{0, 0};

    m_device->SetHidden(true);
    Clear();
    Draw(picture);
    m_device->CopyRects(backBuffer, &corner, 1, into, &at);
    EXPECT_EQ(Reached(), Ops{});
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(picture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    picture->UnlockRect(0);
    EXPECT_EQ(Reached(), (Ops{"clear 1", "draw 1 from 2", "copy 3 from 1", "upload 2"}));

    // Reading the copy draws what it holds.
    Clear();
    Draw();
    m_device->CopyRects(backBuffer, &corner, 1, into, &at);
    m_device->SetHidden(false);
    ASSERT_EQ(copy->LockRect(0, &locked, nullptr, 0), D3D_OK);
    copy->UnlockRect(0);
    EXPECT_EQ(Reached(), (Ops{"clear 1", "draw 1", "copy 3 from 1", "upload 3"}));

    into->Release();
    backBuffer->Release();
    picture->Release();
    copy->Release();
}

}  // namespace
