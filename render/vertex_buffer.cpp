#include "render/vertex_buffer.h"

#include <cstring>

namespace {

struct SKindInfo {
    int stride;
    DWORD format;
};

constexpr SKindInfo kKinds[] = {
    {16, D3DFVF_XYZ | D3DFVF_DIFFUSE},
    {24, D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1},
    {24, D3DFVF_XYZ | D3DFVF_NORMAL},
};

}  // namespace

HRESULT CVertexBuffer::Create(int count, int vertexKind) {
    if (vertexKind < 0 || vertexKind > 2 || count <= 0) return D3DERR_INVALIDCALL;
    kind = vertexKind;
    vertexCount = count;
    stride = kKinds[kind].stride;
    vertexFormat = kKinds[kind].format;
    // Each kind declares its own format; drawing depends only on the format
    // set at Draw time and the stride.
    return g_device->CreateVertexBuffer(static_cast<UINT>(stride * count), 0, vertexFormat,
                                        D3DPOOL_DEFAULT, &buffer);
}

BYTE* CVertexBuffer::Lock(int start, int count) {
    if (count == 0) count = vertexCount;
    cursor = 0;
    data = nullptr;
    lockedCount = 0;
    if (!buffer || count < 0 || count > vertexCount || start < 0) return nullptr;
    if (buffer->Lock(static_cast<UINT>(start), static_cast<UINT>(stride * count), &data, 0) != D3D_OK) {
        data = nullptr;
        return nullptr;
    }
    lockedCount = count;
    return data;
}

HRESULT CVertexBuffer::Unlock() {
    if (!buffer) return D3DERR_INVALIDCALL;
    data = nullptr;
    lockedCount = 0;
    return buffer->Unlock();
}

void CVertexBuffer::AddVertex(const float* position, const D3DCOLOR* colour) {
    if (!data || kind != kVertexKindColor || cursor >= lockedCount) return;
    BYTE* out = data + cursor * 16;
    std::memcpy(out, position, 12);
    std::memcpy(out + 12, colour, 4);
    ++cursor;
}

void CVertexBuffer::AddVertexUV(const float* position, const D3DCOLOR* colour, const float* uv) {
    if (!data || kind != kVertexKindColorUV || cursor >= lockedCount) return;
    BYTE* out = data + cursor * 24;
    std::memcpy(out, position, 12);
    std::memcpy(out + 12, colour, 4);
    std::memcpy(out + 16, uv, 8);
    ++cursor;
}

void CVertexBuffer::Draw(D3DPRIMITIVETYPE type, int startVertex, int primitiveCount) {
    g_device->SetStreamSource(0, buffer, static_cast<UINT>(stride));
    g_device->SetVertexShader(vertexFormat);
    g_device->DrawPrimitive(type, static_cast<UINT>(startVertex), static_cast<UINT>(primitiveCount));
}
