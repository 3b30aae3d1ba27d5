// The one image object: a device texture (always A8R8G8B8) with its size,
// filled from a TGA file, created empty, or created as a render target.
#pragma once

#include <cstdint>

#include "render/d3d8.h"

class CTexture {
public:
    CTexture() = default;
    // The device texture lives until process exit; nothing is released here.
    ~CTexture() = default;

    void Create(int width, int height, D3DFORMAT format);
    void CreateRenderTarget(int width, int height);
    void LoadTGA(const char* path);

    IDirect3DTexture8* texture = nullptr;
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    D3DFORMAT format = D3DFMT_UNKNOWN;
};

void BlockCopy(void* dest, const void* source, uint32_t count);
HRESULT TraceError(const char* path, long line, HRESULT code, const char* message, bool showBox);
const char* ErrorName(HRESULT code);
