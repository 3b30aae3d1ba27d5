#include "effects/flat_draw.h"

#include "render/d3dmath.h"

void SetFlatTransforms(int width, int height) {
    D3DMATRIX matrix;
    g_device->SetTransform(D3DTS_WORLD, MatIdentity(&matrix));
    g_device->SetTransform(D3DTS_VIEW, MatIdentity(&matrix));
    g_device->SetTransform(D3DTS_PROJECTION,
                           MatOrtho(&matrix, static_cast<float>(width), static_cast<float>(height), -1.0f, 1.0f));
}

void SetUnlitNoCull() {
    g_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    g_device->SetRenderState(D3DRS_LIGHTING, FALSE);
}

void SetBlend(D3DBLEND source, D3DBLEND dest) {
    g_device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    g_device->SetRenderState(D3DRS_SRCBLEND, source);
    g_device->SetRenderState(D3DRS_DESTBLEND, dest);
}

void SetModulateStage(DWORD arg1, DWORD arg2, DWORD alphaOp) {
    g_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    g_device->SetTextureStageState(0, D3DTSS_COLORARG1, arg1);
    g_device->SetTextureStageState(0, D3DTSS_COLORARG2, arg2);
    g_device->SetTextureStageState(0, D3DTSS_ALPHAOP, alphaOp);
}

void SetLinearFiltering() {
    g_device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
    g_device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
}

void SetUntexturedStage() {
    g_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
    g_device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
}

void FillPictureQuad(CVertexBuffer& quad, const SFlatBox& box, D3DCOLOR colour) {
    const float corners[4][3] = {{box.left, box.top, 0.0f},
                                 {box.right, box.top, 0.0f},
                                 {box.right, box.bottom, 0.0f},
                                 {box.left, box.bottom, 0.0f}};
    const float uvs[4][2] = {{0.0f, 1.0f}, {1.0f, 1.0f}, {1.0f, 0.0f}, {0.0f, 0.0f}};
    quad.Lock(0, 0);
    for (int i = 0; i < 4; ++i) quad.AddVertexUV(corners[i], &colour, uvs[i]);
    quad.Unlock();
}

void DrawPictureQuad(CVertexBuffer& quad, const CTexture& picture) {
    g_device->SetTexture(0, picture.texture);
    quad.Draw(D3DPT_TRIANGLEFAN, 0, 2);
}

void DrawColourQuad(CVertexBuffer& quad, const float (&corners)[4][3], D3DCOLOR colour) {
    quad.Lock(0, 0);
    for (const auto& corner : corners) quad.AddVertex(corner, &colour);
    quad.Unlock();
    quad.Draw(D3DPT_TRIANGLEFAN, 0, 2);
}
