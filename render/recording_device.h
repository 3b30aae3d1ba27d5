// A device that draws nothing and remembers every call with its arguments,
// in order, and each draw with the state it was made in. Runtime and effect
// tests assert against the list. Textures and vertex buffers are plain
// memory, so loaders and effects can fill them.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "render/d3d8.h"

// What the calls so far have set, the latest value winning. A state that
// was never set is absent, so a test can tell "set to the default" from
// "left as some earlier layer had it".
struct SDeviceState {
    std::map<DWORD, DWORD> renderStates;                   // state -> value
    std::map<std::pair<DWORD, DWORD>, DWORD> stageStates;  // (stage, type) -> value
    std::map<DWORD, IDirect3DTexture8*> textures;          // stage -> texture, null where none was bound
    std::map<DWORD, D3DMATRIX> transforms;                 // transform state -> matrix
    IDirect3DSurface8* target = nullptr;                   // the render target
    IDirect3DVertexBuffer8* stream = nullptr;              // stream 0
    UINT stride = 0;                                       // stream 0's
    DWORD fvf = 0;                                         // the vertex shader, a vertex format
};

struct SRecordedCall {
    std::string op;                  // the device method, e.g. "SetRenderState"
    std::vector<int64_t> args;       // its integer arguments in declaration order
    const void* object = nullptr;    // texture, surface or buffer argument
    const void* object2 = nullptr;   // second object (CopyRects destination)
    float z = 0.0f;                  // Clear's depth
    D3DMATRIX matrix{};              // SetTransform
    D3DMATERIAL8 material{};         // SetMaterial
    D3DLIGHT8 light{};               // SetLight
    // DrawPrimitive: the bytes of the vertices it reads from stream 0, and
    // the state it was drawn in.
    std::vector<uint8_t> vertices;
    SDeviceState state;
};

class CRecordingDevice : public IDirect3DDevice8 {
public:
    CRecordingDevice();
    ~CRecordingDevice() override;

    ULONG AddRef() override;
    ULONG Release() override;

    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                  DWORD stencil) override;
    HRESULT Present(const RECT* source, const RECT* dest, void* windowOverride,
                    const void* dirtyRegion) override;
    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                          D3DPOOL pool, IDirect3DTexture8** texture) override;
    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                               IDirect3DVertexBuffer8** buffer) override;
    HRESULT GetRenderTarget(IDirect3DSurface8** surface) override;
    HRESULT SetRenderTarget(IDirect3DSurface8* target, IDirect3DSurface8* depthStencil) override;
    HRESULT CopyRects(IDirect3DSurface8* source, const RECT* sourceRects, UINT count,
                      IDirect3DSurface8* dest, const POINT* destPoints) override;
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
    HRESULT SetTexture(DWORD stage, IDirect3DTexture8* texture) override;
    HRESULT SetMaterial(const D3DMATERIAL8* material) override;
    HRESULT SetLight(DWORD index, const D3DLIGHT8* light) override;
    HRESULT LightEnable(DWORD index, BOOL enable) override;
    HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer8* buffer, UINT stride) override;
    HRESULT SetVertexShader(DWORD fvf) override;
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) override;

    // ---- For tests ----
    std::vector<SRecordedCall> calls;
    void ClearCalls() { calls.clear(); }
    // The calls whose op matches, in order.
    std::vector<const SRecordedCall*> Find(const std::string& op) const;
    size_t Count(const std::string& op) const;
    // The state in force now.
    const SDeviceState& State() const { return m_state; }
    // Forgets what was set, as for a fresh device; the calls stay. A test
    // forgets between frames to see only what the next frame sets.
    void ForgetState();

    // Failure injection: CreateTexture returns this code (and no texture)
    // when it is not D3D_OK; locked texture rows get this many spare bytes.
    HRESULT createTextureResult = D3D_OK;
    int texturePitchPadding = 0;

    // The bytes behind a texture made by this device (level 0, with pitch).
    static const std::vector<uint8_t>& Pixels(IDirect3DTexture8* texture);
    static int Pitch(IDirect3DTexture8* texture);
    // Objects still alive (created and not fully released), for leak checks.
    static int LiveObjects();

    IDirect3DSurface8* BackBuffer() const { return m_backBuffer; }

private:
    SRecordedCall& Record(const char* op, std::vector<int64_t> args = {});

    ULONG m_refs = 1;
    IDirect3DSurface8* m_backBuffer = nullptr;
    SDeviceState m_state;
};
