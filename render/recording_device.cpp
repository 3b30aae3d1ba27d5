#include "render/recording_device.h"

#include <cstring>
#include <memory>

namespace {

int g_liveObjects = 0;

// Resources belong to the device that made them and are freed with it, as a
// real device's are; Release only drops the count that tests look at.
class CRecordedObject {
public:
    explicit CRecordedObject(CRecordingDevice* device) : m_device(device) { ++g_liveObjects; }
    virtual ~CRecordedObject() {
        if (m_refs > 0) --g_liveObjects;
    }
    ULONG AddRefImpl() { return ++m_refs; }
    ULONG ReleaseImpl(const void* self) {
        if (m_refs == 0) return 0;
        m_device->calls.push_back(SRecordedCall{});
        m_device->calls.back().op = "Release";
        m_device->calls.back().object = self;
        if (--m_refs == 0) --g_liveObjects;
        return m_refs;
    }

private:
    CRecordingDevice* m_device;
    ULONG m_refs = 1;
};

class CMemTexture;

class CMemSurface : public IDirect3DSurface8, public CRecordedObject {
public:
    CMemSurface(CRecordingDevice* device, CMemTexture* owner, UINT width, UINT height)
        : CRecordedObject(device), owner(owner), m_width(width), m_height(height) {}
    ULONG AddRef() override { return AddRefImpl(); }
    ULONG Release() override { return ReleaseImpl(static_cast<IDirect3DSurface8*>(this)); }
    UINT Width() const override { return m_width; }
    UINT Height() const override { return m_height; }

    CMemTexture* owner;  // null for the back buffer

private:
    UINT m_width, m_height;
};

class CMemTexture : public IDirect3DTexture8, public CRecordedObject {
public:
    CMemTexture(CRecordingDevice* device, UINT width, UINT height, int pitch)
        : CRecordedObject(device), device(device), width(width), height(height), pitch(pitch),
          pixels(static_cast<size_t>(pitch) * height, 0) {}
    ULONG AddRef() override { return AddRefImpl(); }
    ULONG Release() override { return ReleaseImpl(static_cast<IDirect3DTexture8*>(this)); }
    HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface8** surface) override;
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override {
        (void)rect;
        (void)flags;
        if (level != 0 || !locked) return D3DERR_INVALIDCALL;
        locked->Pitch = pitch;
        locked->pBits = pixels.data();
        return D3D_OK;
    }
    HRESULT UnlockRect(UINT level) override { return level == 0 ? D3D_OK : D3DERR_INVALIDCALL; }

    CRecordingDevice* device;
    UINT width, height;
    int pitch;
    std::vector<uint8_t> pixels;
};

class CMemVertexBuffer : public IDirect3DVertexBuffer8, public CRecordedObject {
public:
    CMemVertexBuffer(CRecordingDevice* device, UINT length)
        : CRecordedObject(device), bytes(length, 0) {}
    ULONG AddRef() override { return AddRefImpl(); }
    ULONG Release() override { return ReleaseImpl(static_cast<IDirect3DVertexBuffer8*>(this)); }
    HRESULT Lock(UINT offset, UINT size, BYTE** data, DWORD flags) override {
        (void)flags;
        if (!data || offset > bytes.size() || size > bytes.size() - offset) return D3DERR_INVALIDCALL;
        *data = bytes.data() + offset;
        return D3D_OK;
    }
    HRESULT Unlock() override { return D3D_OK; }

    std::vector<uint8_t> bytes;
};

// Every object a device made, freed when the device goes.
struct SOwned {
    std::vector<std::unique_ptr<CRecordedObject>> objects;
};

std::vector<std::pair<const CRecordingDevice*, std::unique_ptr<SOwned>>>& Registry() {
    static std::vector<std::pair<const CRecordingDevice*, std::unique_ptr<SOwned>>> registry;
    return registry;
}

SOwned& OwnedBy(const CRecordingDevice* device) {
    for (auto& entry : Registry())
        if (entry.first == device) return *entry.second;
    Registry().emplace_back(device, std::make_unique<SOwned>());
    return *Registry().back().second;
}

template <typename T, typename... Args>
T* Make(CRecordingDevice* device, Args&&... args) {
    auto object = std::make_unique<T>(device, std::forward<Args>(args)...);
    T* raw = object.get();
    OwnedBy(device).objects.push_back(std::move(object));
    return raw;
}

HRESULT CMemTexture::GetSurfaceLevel(UINT level, IDirect3DSurface8** surface) {
    if (level != 0 || !surface) return D3DERR_INVALIDCALL;
    *surface = Make<CMemSurface>(device, this, width, height);
    return D3D_OK;
}

// Vertices a primitive call reads.
UINT VerticesFor(D3DPRIMITIVETYPE type, UINT count) {
    switch (type) {
    case D3DPT_POINTLIST: return count;
    case D3DPT_LINELIST: return count * 2;
    case D3DPT_LINESTRIP: return count + 1;
    case D3DPT_TRIANGLELIST: return count * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN: return count + 2;
    default: return 0;
    }
}

}  // namespace

CRecordingDevice::CRecordingDevice() {
    m_backBuffer = Make<CMemSurface>(this, nullptr, 1024u, 768u);
    m_state.target = m_backBuffer;
}

CRecordingDevice::~CRecordingDevice() {
    auto& registry = Registry();
    for (auto it = registry.begin(); it != registry.end(); ++it) {
        if (it->first == this) {
            registry.erase(it);
            break;
        }
    }
}

ULONG CRecordingDevice::AddRef() { return ++m_refs; }

ULONG CRecordingDevice::Release() {
    Record("DeviceRelease");
    return m_refs > 0 ? --m_refs : 0;
}

SRecordedCall& CRecordingDevice::Record(const char* op, std::vector<int64_t> args) {
    calls.push_back(SRecordedCall{});
    calls.back().op = op;
    calls.back().args = std::move(args);
    return calls.back();
}

std::vector<const SRecordedCall*> CRecordingDevice::Find(const std::string& op) const {
    std::vector<const SRecordedCall*> found;
    for (const SRecordedCall& call : calls)
        if (call.op == op) found.push_back(&call);
    return found;
}

size_t CRecordingDevice::Count(const std::string& op) const { return Find(op).size(); }

void CRecordingDevice::ForgetState() {
    m_state = SDeviceState{};
    m_state.target = m_backBuffer;
}

HRESULT CRecordingDevice::BeginScene() {
    Record("BeginScene");
    return D3D_OK;
}

HRESULT CRecordingDevice::EndScene() {
    Record("EndScene");
    return D3D_OK;
}

HRESULT CRecordingDevice::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color,
                                float z, DWORD stencil) {
    (void)rects;
    Record("Clear", {count, flags, color, stencil}).z = z;
    calls.back().object = m_state.target;
    return D3D_OK;
}

HRESULT CRecordingDevice::Present(const RECT* source, const RECT* dest, void* windowOverride,
                                  const void* dirtyRegion) {
    int nulls = (source == nullptr) + (dest == nullptr) + (windowOverride == nullptr) +
                (dirtyRegion == nullptr);
    Record("Present", {nulls});
    return D3D_OK;
}

HRESULT CRecordingDevice::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage,
                                        D3DFORMAT format, D3DPOOL pool,
                                        IDirect3DTexture8** texture) {
    Record("CreateTexture", {width, height, levels, usage, format, pool});
    if (!texture) return D3DERR_INVALIDCALL;
    if (createTextureResult != D3D_OK) return createTextureResult;
    if (width == 0 || height == 0 || width > 8192 || height > 8192) return D3DERR_INVALIDCALL;
    *texture = Make<CMemTexture>(this, width, height, static_cast<int>(width) * 4 + texturePitchPadding);
    calls.back().object = *texture;
    return D3D_OK;
}

HRESULT CRecordingDevice::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                             IDirect3DVertexBuffer8** buffer) {
    Record("CreateVertexBuffer", {length, usage, fvf, pool});
    if (!buffer) return D3DERR_INVALIDCALL;
    *buffer = Make<CMemVertexBuffer>(this, length);
    calls.back().object = *buffer;
    return D3D_OK;
}

HRESULT CRecordingDevice::GetRenderTarget(IDirect3DSurface8** surface) {
    Record("GetRenderTarget");
    if (!surface) return D3DERR_INVALIDCALL;
    m_state.target->AddRef();
    *surface = m_state.target;
    calls.back().object = m_state.target;
    return D3D_OK;
}

HRESULT CRecordingDevice::SetRenderTarget(IDirect3DSurface8* target, IDirect3DSurface8* depthStencil) {
    Record("SetRenderTarget").object = target;
    calls.back().object2 = depthStencil;
    if (target) m_state.target = target;
    return D3D_OK;
}

HRESULT CRecordingDevice::CopyRects(IDirect3DSurface8* source, const RECT* sourceRects, UINT count,
                                    IDirect3DSurface8* dest, const POINT* destPoints) {
    SRecordedCall& call = Record("CopyRects", {count, sourceRects == nullptr, destPoints == nullptr});
    call.object = source;
    call.object2 = dest;
    auto* from = dynamic_cast<CMemSurface*>(source);
    auto* to = dynamic_cast<CMemSurface*>(dest);
    if (from && to && from->owner && to->owner && from->owner->width == to->owner->width &&
        from->owner->height == to->owner->height) {
        const CMemTexture& a = *from->owner;
        CMemTexture& b = *to->owner;
        for (UINT row = 0; row < a.height; ++row)
            std::memcpy(&b.pixels[row * static_cast<size_t>(b.pitch)],
                        &a.pixels[row * static_cast<size_t>(a.pitch)], a.width * 4u);
    }
    return D3D_OK;
}

HRESULT CRecordingDevice::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    SRecordedCall& call = Record("SetTransform", {state});
    if (matrix) {
        call.matrix = *matrix;
        m_state.transforms[state] = *matrix;
    }
    return D3D_OK;
}

HRESULT CRecordingDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    Record("SetRenderState", {state, value});
    m_state.renderStates[state] = value;
    return D3D_OK;
}

HRESULT CRecordingDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
    Record("SetTextureStageState", {stage, type, value});
    m_state.stageStates[{stage, type}] = value;
    return D3D_OK;
}

HRESULT CRecordingDevice::SetTexture(DWORD stage, IDirect3DTexture8* texture) {
    Record("SetTexture", {stage}).object = texture;
    m_state.textures[stage] = texture;
    return D3D_OK;
}

HRESULT CRecordingDevice::SetMaterial(const D3DMATERIAL8* material) {
    SRecordedCall& call = Record("SetMaterial");
    if (material) call.material = *material;
    return D3D_OK;
}

HRESULT CRecordingDevice::SetLight(DWORD index, const D3DLIGHT8* light) {
    SRecordedCall& call = Record("SetLight", {index});
    if (light) call.light = *light;
    return D3D_OK;
}

HRESULT CRecordingDevice::LightEnable(DWORD index, BOOL enable) {
    Record("LightEnable", {index, enable});
    return D3D_OK;
}

HRESULT CRecordingDevice::SetStreamSource(UINT stream, IDirect3DVertexBuffer8* buffer, UINT stride) {
    Record("SetStreamSource", {stream, stride}).object = buffer;
    if (stream == 0) {
        m_state.stream = buffer;
        m_state.stride = stride;
    }
    return D3D_OK;
}

HRESULT CRecordingDevice::SetVertexShader(DWORD fvf) {
    Record("SetVertexShader", {fvf});
    m_state.fvf = fvf;
    return D3D_OK;
}

HRESULT CRecordingDevice::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) {
    SRecordedCall& call = Record("DrawPrimitive", {type, startVertex, primitiveCount});
    call.object = m_state.stream;
    call.state = m_state;
    auto* buffer = dynamic_cast<CMemVertexBuffer*>(m_state.stream);
    if (!buffer) return D3DERR_INVALIDCALL;
    const size_t first = static_cast<size_t>(startVertex) * m_state.stride;
    const size_t size = static_cast<size_t>(VerticesFor(type, primitiveCount)) * m_state.stride;
    if (first > buffer->bytes.size() || size > buffer->bytes.size() - first) return D3DERR_INVALIDCALL;
    call.vertices.assign(buffer->bytes.begin() + static_cast<std::ptrdiff_t>(first),
                         buffer->bytes.begin() + static_cast<std::ptrdiff_t>(first + size));
    return D3D_OK;
}

const std::vector<uint8_t>& CRecordingDevice::Pixels(IDirect3DTexture8* texture) {
    return dynamic_cast<CMemTexture&>(*texture).pixels;
}

int CRecordingDevice::Pitch(IDirect3DTexture8* texture) {
    return dynamic_cast<CMemTexture&>(*texture).pitch;
}

int CRecordingDevice::LiveObjects() { return g_liveObjects; }
