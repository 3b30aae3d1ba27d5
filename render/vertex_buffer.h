// One device vertex buffer of a fixed vertex kind with an append cursor: the
// only road from the effects to DrawPrimitive.
#pragma once

#include "render/d3d8.h"

// Vertex kinds and their layouts (little-endian, 32-bit floats, ARGB colour).
enum : int {
    kVertexKindColor = 0,    // x y z, diffuse                 (16 bytes)
    kVertexKindColorUV = 1,  // x y z, diffuse, u v           (24 bytes)
    kVertexKindNormal = 2,   // x y z, nx ny nz                (24 bytes)
};

class CVertexBuffer {
public:
    CVertexBuffer() = default;
    // The device buffer lives until process exit; nothing is released here.
    ~CVertexBuffer() = default;

    HRESULT Create(int vertexCount, int kind);
    // count 0 locks the whole buffer. Returns the locked memory (null when the
    // buffer could not be created or locked).
    BYTE* Lock(int start, int count);
    HRESULT Unlock();
    // Append one vertex of the buffer's own kind at the cursor. A vertex
    // past the locked range, or of the wrong kind, is dropped rather than
    // written out of range.
    void AddVertex(const float* position, const D3DCOLOR* colour);
    void AddVertexUV(const float* position, const D3DCOLOR* colour, const float* uv);
    void Draw(D3DPRIMITIVETYPE type, int startVertex, int primitiveCount);

    IDirect3DVertexBuffer8* buffer = nullptr;
    int kind = 0;
    int vertexCount = 0;
    int stride = 0;
    int cursor = 0;
    BYTE* data = nullptr;
    DWORD vertexFormat = 0;
    int lockedCount = 0;  // vertices the current lock covers
};
