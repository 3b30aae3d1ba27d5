// The Direct3D object over a raster backend and the device extensions.
#include "render/core/raster_direct3d.h"

#include "render/core/raster_device.h"

namespace {

constexpr UINT kDefaultWidth = 1024;
constexpr UINT kDefaultHeight = 768;

std::string& LastError() {
    static std::string error;
    return error;
}

class CDirect3D : public IDirect3D8 {
public:
    explicit CDirect3D(RasterBackendFactory factory) : m_factory(std::move(factory)) {}

    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override {
        const ULONG refs = --m_refs;
        if (refs == 0) delete this;
        return refs;
    }

    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override {
        if (adapter != 0 || !mode) return D3DERR_INVALIDCALL;
        // The picture is always made at this size and scaled to the window.
        *mode = {kDefaultWidth, kDefaultHeight, 60, D3DFMT_X8R8G8B8};
        return D3D_OK;
    }

    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, void* focusWindow, DWORD behaviour,
                         D3DPRESENT_PARAMETERS* params, IDirect3DDevice8** device) override {
        (void)type;
        (void)focusWindow;
        (void)behaviour;  // vertex processing is always done in software
        if (!device) return D3DERR_INVALIDCALL;
        *device = nullptr;
        if (adapter != 0 || !params) {
            LastError() = "invalid device parameters";
            return D3DERR_INVALIDCALL;
        }
        std::string error;
        std::unique_ptr<IRasterBackend> backend = m_factory(&error);
        if (!backend) {
            LastError() = error;
            return D3DERR_NOTAVAILABLE;
        }
        const UINT width = params->BackBufferWidth ? params->BackBufferWidth : kDefaultWidth;
        const UINT height = params->BackBufferHeight ? params->BackBufferHeight : kDefaultHeight;
        CRasterDevice* created = CRasterDevice::Create(std::move(backend), static_cast<int>(width),
                                                       static_cast<int>(height));
        if (!created) {
            LastError() = "the back buffer could not be created";
            return D3DERR_NOTAVAILABLE;
        }
        params->BackBufferWidth = width;
        params->BackBufferHeight = height;
        LastError().clear();
        *device = created;
        return D3D_OK;
    }

private:
    ~CDirect3D() override = default;
    RasterBackendFactory m_factory;
    ULONG m_refs = 1;
};

CRasterDevice* Own(IDirect3DDevice8* device) { return dynamic_cast<CRasterDevice*>(device); }

}  // namespace

IDirect3D8* CreateRasterDirect3D(RasterBackendFactory factory) {
    return new CDirect3D(std::move(factory));
}

const std::string& RasterDeviceLastError() { return LastError(); }

void RasterDeviceSetPresentTarget(IDirect3DDevice8* device, SPresentTarget target) {
    if (CRasterDevice* own = Own(device)) own->SetPresentTarget(std::move(target));
}

void RasterDeviceFinish(IDirect3DDevice8* device) {
    if (CRasterDevice* own = Own(device)) own->Finish();
}

void RasterDeviceReadBackBuffer(IDirect3DDevice8* device, std::vector<uint8_t>* rgba) {
    rgba->clear();
    if (CRasterDevice* own = Own(device)) own->ReadBackBuffer(rgba);
}

void RasterDeviceSetHidden(IDirect3DDevice8* device, bool hidden) {
    if (CRasterDevice* own = Own(device)) own->SetHidden(hidden);
}

void RasterDeviceDrawHeldBack(IDirect3DDevice8* device, bool exceptBackBuffer) {
    if (CRasterDevice* own = Own(device)) own->DrawHeldBack(exceptBackBuffer);
}

std::shared_ptr<const SRasterDeviceState> RasterDeviceSaveState(IDirect3DDevice8* device) {
    auto state = std::make_shared<SRasterDeviceState>();
    if (CRasterDevice* own = Own(device)) own->SaveState(state.get());
    return state;
}

void RasterDeviceLoadState(IDirect3DDevice8* device, const SRasterDeviceState& state) {
    if (CRasterDevice* own = Own(device)) own->LoadState(state);
}

uint64_t RasterDevicePresentCount(IDirect3DDevice8* device) {
    CRasterDevice* own = Own(device);
    return own ? own->PresentCount() : 0;
}

uint64_t RasterDeviceDrawCallCount(IDirect3DDevice8* device) {
    CRasterDevice* own = Own(device);
    return own ? own->DrawCallCount() : 0;
}
