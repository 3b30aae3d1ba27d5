// Surfaces, textures and vertex buffers of the raster device.

#include "render/core/raster_device.h"

CRasterSurface::CRasterSurface(CRasterDevice* device, CRasterTexture* texture, uint32_t image,
                               int width, int height, bool renderTarget)
    : m_device(device), m_texture(texture), m_image(image), m_width(width), m_height(height),
      m_renderTarget(renderTarget) {}

ULONG CRasterSurface::AddRef() {
    if (m_texture) return m_texture->AddRef();
    return ++m_refs;
}

ULONG CRasterSurface::Release() {
    if (m_texture) return m_texture->Release();
    const ULONG refs = --m_refs;
    if (refs == 0) delete this;
    return refs;
}

CRasterTexture::CRasterTexture(CRasterDevice* device, uint32_t image, int width, int height,
                               bool renderTarget)
    : m_device(device),
      m_surface(std::make_unique<CRasterSurface>(device, this, image, width, height, renderTarget)) {
    // Render targets live only on the rasteriser side; Direct3D cannot lock them.
    if (!renderTarget) m_pixels.assign(static_cast<size_t>(width) * height * 4, 0);
}

CRasterTexture::~CRasterTexture() {
    if (m_device) m_device->DestroyTexture(this);
}

void CRasterTexture::Orphan() {
    m_device = nullptr;
    m_surface->Orphan();
}

ULONG CRasterTexture::AddRef() { return ++m_refs; }

ULONG CRasterTexture::Release() {
    const ULONG refs = --m_refs;
    if (refs == 0) delete this;
    return refs;
}

HRESULT CRasterTexture::GetSurfaceLevel(UINT level, IDirect3DSurface8** surface) {
    if (!surface) return D3DERR_INVALIDCALL;
    *surface = nullptr;
    if (level != 0) return D3DERR_INVALIDCALL;  // only level 0 is kept
    AddRef();
    *surface = m_surface.get();
    return D3D_OK;
}

HRESULT CRasterTexture::LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
    (void)flags;
    if (!locked || level != 0 || m_locked || m_surface->renderTarget() || !m_device) {
        return D3DERR_INVALIDCALL;
    }
    const LONG width = static_cast<LONG>(m_surface->Width());
    const LONG height = static_cast<LONG>(m_surface->Height());
    RECT area{0, 0, width, height};
    if (rect) {
        if (rect->left < 0 || rect->top < 0 || rect->left >= rect->right ||
            rect->top >= rect->bottom || rect->right > width || rect->bottom > height) {
            return D3DERR_INVALIDCALL;
        }
        area = *rect;
    }
    if (m_rasterNewer) {
        m_pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
        m_device->DownloadTexture(image(), m_pixels.data(), static_cast<int>(width * 4));
        m_rasterNewer = false;
    }
    locked->Pitch = static_cast<INT>(width * 4);
    locked->pBits = m_pixels.data() + (static_cast<size_t>(area.top) * width + area.left) * 4;
    m_locked = true;
    return D3D_OK;
}

HRESULT CRasterTexture::UnlockRect(UINT level) {
    if (level != 0 || !m_locked) return D3DERR_INVALIDCALL;
    m_locked = false;
    if (m_device) m_device->UploadTexture(image(), m_pixels.data(), static_cast<int>(m_surface->Width() * 4));
    return D3D_OK;
}

ULONG CSystemVertexBuffer::Release() {
    const ULONG refs = --m_refs;
    if (refs == 0) delete this;
    return refs;
}

HRESULT CSystemVertexBuffer::Lock(UINT offset, UINT size, BYTE** data, DWORD flags) {
    (void)flags;
    if (!data) return D3DERR_INVALIDCALL;
    *data = nullptr;
    const uint64_t length = m_bytes.size();
    if (m_locked || offset > length) return D3DERR_INVALIDCALL;
    if (size == 0) size = static_cast<UINT>(length - offset);  // 0 locks to the end
    if (static_cast<uint64_t>(offset) + size > length) return D3DERR_INVALIDCALL;
    m_locked = true;
    *data = m_bytes.data() + offset;
    return D3D_OK;
}

HRESULT CSystemVertexBuffer::Unlock() {
    if (!m_locked) return D3DERR_INVALIDCALL;
    m_locked = false;
    return D3D_OK;
}
