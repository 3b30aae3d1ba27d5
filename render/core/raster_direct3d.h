// The Direct3D object whose devices draw through a raster backend. Nothing
// here knows which backend stands behind a device.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "render/core/raster_backend.h"
#include "render/d3d8.h"

class CRasterDevice;

// Makes the backend for a new device; null, with the reason in *error, when
// it cannot be made.
using RasterBackendFactory = std::function<std::unique_ptr<IRasterBackend>(std::string* error)>;

class CRasterDirect3D : public IDirect3D8 {
public:
    // `factory` gives CreateDevice its backends; without one CreateDevice
    // fails and devices come from CreateRasterDevice alone.
    explicit CRasterDirect3D(RasterBackendFactory factory = nullptr) : m_factory(std::move(factory)) {}

    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override;
    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override;
    // The Direct3D road: D3DERR_NOTAVAILABLE when no backend can be made.
    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, void* focusWindow, DWORD behaviour,
                         D3DPRESENT_PARAMETERS* params, IDirect3DDevice8** device) override;

    // The device over `backend` with the parameters' back buffer (1024 x 768
    // where they give 0), presenting it filtered down by `supersample`,
    // typed for the caller that made the backend; null, with the reason in
    // *error, when it cannot be made.
    CRasterDevice* CreateRasterDevice(std::unique_ptr<IRasterBackend> backend, D3DPRESENT_PARAMETERS* params,
                                      std::string* error, int supersample = 1);

private:
    ~CRasterDirect3D() override = default;

    RasterBackendFactory m_factory;
    ULONG m_refs = 1;
};
