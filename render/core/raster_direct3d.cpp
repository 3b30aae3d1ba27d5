#include "render/core/raster_direct3d.h"

#include "render/core/raster_device.h"

namespace {

constexpr UINT kDefaultWidth = 1024;
constexpr UINT kDefaultHeight = 768;

}  // namespace

ULONG CRasterDirect3D::Release() {
    const ULONG refs = --m_refs;
    if (refs == 0) delete this;
    return refs;
}

HRESULT CRasterDirect3D::GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) {
    if (adapter != 0 || !mode) return D3DERR_INVALIDCALL;
    // The picture is made at the back buffer's size and scaled to the window.
    *mode = {kDefaultWidth, kDefaultHeight, 60, D3DFMT_X8R8G8B8};
    return D3D_OK;
}

HRESULT CRasterDirect3D::CreateDevice(UINT adapter, D3DDEVTYPE type, void* focusWindow, DWORD behaviour,
                                      D3DPRESENT_PARAMETERS* params, IDirect3DDevice8** device) {
    (void)type;
    (void)focusWindow;
    (void)behaviour;  // vertex processing is always done in software
    if (!device) return D3DERR_INVALIDCALL;
    *device = nullptr;
    if (adapter != 0 || !params) return D3DERR_INVALIDCALL;
    std::string error;
    std::unique_ptr<IRasterBackend> backend = m_factory ? m_factory(&error) : nullptr;
    if (!backend) return D3DERR_NOTAVAILABLE;
    *device = CreateRasterDevice(std::move(backend), params, &error);
    return *device ? D3D_OK : D3DERR_NOTAVAILABLE;
}

CRasterDevice* CRasterDirect3D::CreateRasterDevice(std::unique_ptr<IRasterBackend> backend,
                                                   D3DPRESENT_PARAMETERS* params, std::string* error,
                                                   int supersample) {
    if (!params->BackBufferWidth) params->BackBufferWidth = kDefaultWidth;
    if (!params->BackBufferHeight) params->BackBufferHeight = kDefaultHeight;
    return CRasterDevice::Create(std::move(backend), static_cast<int>(params->BackBufferWidth),
                                 static_cast<int>(params->BackBufferHeight), error, supersample);
}
