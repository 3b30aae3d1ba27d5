// A Direct3D 8-shaped device that does its vertex work on the CPU and hands
// screen-space triangles to a raster backend. Textures keep a system-memory
// copy of level 0 for locking; vertex buffers live in system memory, as
// with software vertex processing.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "render/d3d8.h"
#include "render/core/deferred_commands.h"
#include "render/core/raster_backend.h"
#include "render/core/vertex_pipeline.h"

class CRasterDevice;
class CRasterTexture;

// Where presented frames go (a window, a capture). Present hands the device
// over once its back buffer holds the finished frame; the sink shows the
// picture (PictureImage) or reads it (ReadPicture). A hidden device
// presents nothing.
class IPresentSink {
public:
    virtual ~IPresentSink() = default;
    virtual void OnPresent(CRasterDevice& device) = 0;
};

// Level 0 of a texture, or the back buffer. A texture's surface shares the
// texture's reference count, as Direct3D's child surfaces do.
class CRasterSurface : public IDirect3DSurface8 {
public:
    CRasterSurface(CRasterDevice* device, CRasterTexture* texture, uint32_t image, int width,
                   int height, bool renderTarget);
    // A texture's surface is deleted with its texture, the back buffer at
    // its last Release.
    ~CRasterSurface() override = default;
    ULONG AddRef() override;
    ULONG Release() override;
    UINT Width() const override { return static_cast<UINT>(m_width); }
    UINT Height() const override { return static_cast<UINT>(m_height); }

    CRasterDevice* device() const { return m_device; }
    CRasterTexture* texture() const { return m_texture; }
    uint32_t image() const { return m_image; }
    bool renderTarget() const { return m_renderTarget; }
    void Orphan() { m_device = nullptr; }

private:
    CRasterDevice* m_device;
    CRasterTexture* m_texture;
    uint32_t m_image;
    int m_width;
    int m_height;
    bool m_renderTarget;
    ULONG m_refs = 1;  // used by the back buffer only
};

class CRasterTexture : public IDirect3DTexture8 {
public:
    CRasterTexture(CRasterDevice* device, uint32_t image, int width, int height, bool renderTarget);
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface8** surface) override;
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect(UINT level) override;

    CRasterSurface* surface() { return m_surface.get(); }
    uint32_t image() const { return m_surface->image(); }
    // The image was written on the rasteriser side (a copy into it), so the
    // system-memory copy must be refreshed before it is next locked.
    void MarkRasterNewer() { m_rasterNewer = true; }
    // The device is gone: its images went with it.
    void Orphan();

private:
    ~CRasterTexture() override;

    CRasterDevice* m_device;
    std::unique_ptr<CRasterSurface> m_surface;
    std::vector<uint8_t> m_pixels;  // level 0, BGRA, rows top first
    ULONG m_refs = 1;
    bool m_locked = false;
    bool m_rasterNewer = false;
};

class CSystemVertexBuffer : public IDirect3DVertexBuffer8 {
public:
    explicit CSystemVertexBuffer(std::vector<uint8_t> bytes) : m_bytes(std::move(bytes)) {}
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override;
    HRESULT Lock(UINT offset, UINT size, BYTE** data, DWORD flags) override;
    HRESULT Unlock() override;

    const std::vector<uint8_t>& bytes() const { return m_bytes; }
    bool locked() const { return m_locked; }

private:
    ~CSystemVertexBuffer() override = default;

    std::vector<uint8_t> m_bytes;
    ULONG m_refs = 1;
    bool m_locked = false;
};

// Everything about a device that drawing changes: render and stage states,
// transforms, material and lights, the bound texture and stream, the target,
// the pixels of the back buffer, of render targets and of textures copied
// into, and what a hidden device holds back. Taken and put back to return a
// run to an earlier moment; the textures and buffers it names must outlive it.
struct SRasterDeviceState {
    SFixedFunctionState fixed;
    SRasterState raster;
    CRasterTexture* texture = nullptr;
    CSystemVertexBuffer* stream = nullptr;
    UINT streamStride = 0;
    DWORD fvf = 0;
    CRasterSurface* target = nullptr;
    bool inScene = false;
    CDeferredCommands deferred;
    // Images whose pixels drawing changes, as the backend holds them now.
    struct SImage {
        uint32_t image = 0;
        CRasterTexture* texture = nullptr;  // null for the back buffer
        int width = 0;
        std::vector<uint8_t> bgra;
    };
    std::vector<SImage> images;
};

class CRasterDevice : public IDirect3DDevice8 {
public:
    // A back buffer of width x height; the picture it presents is that
    // filtered down by `supersample` (1: the back buffer itself). Null, with
    // the reason in *error, when the backend cannot make the back buffer.
    static CRasterDevice* Create(std::unique_ptr<IRasterBackend> backend, int width, int height,
                                 std::string* error, int supersample = 1);

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

    // The sink is not owned; null presents to nothing.
    void SetPresentSink(IPresentSink* sink) { m_presentSink = sink; }
    // The picture: the back buffer as it is shown, filtered down when
    // supersampled.
    int PictureWidth() const { return static_cast<int>(m_backBuffer->Width()) / m_supersample; }
    int PictureHeight() const { return static_cast<int>(m_backBuffer->Height()) / m_supersample; }
    // Blocks until the backend has finished everything submitted so far.
    void Finish();
    // The picture now (after pending draws) as an image, for a backend of
    // the caller's to show.
    uint32_t PictureImage();
    // The picture now: BGRA rows `pitch` bytes apart.
    void ReadPicture(uint8_t* bgra, int pitch);
    // The back buffer now, at its own size.
    void ReadBackBuffer(uint8_t* bgra, int pitch);
    // Frames presented so far, and backend draw calls issued so far.
    uint64_t PresentCount() const { return m_presentCount; }
    uint64_t DrawCallCount() const { return m_backend->DrawCallCount(); }
    // A hidden device shows nothing (Present does nothing) and may drop
    // drawing that reaches only the back buffer, without its vertex work,
    // where a later full clear of the back buffer wipes it; what it kept is
    // drawn when the back buffer is read, shown or copied, when a texture a
    // kept draw samples changes, and when the device is shown again, so the
    // back buffer then holds exactly what it would have. Render targets are
    // drawn as always. For runs that only simulate the frames before the
    // first one shown.
    void SetHidden(bool hidden);
    // Draws now whatever a hidden device has held back; with
    // exceptBackBuffer, what it holds for a back buffer it clears before
    // anything reads it is left held back (a state saved then need not keep
    // the back buffer's pixels).
    void DrawHeldBack(bool exceptBackBuffer);
    std::shared_ptr<const SRasterDeviceState> SaveState();
    void LoadState(const SRasterDeviceState& state);

    // For textures.
    void UploadTexture(uint32_t image, const uint8_t* bgra, int pitch);
    void DownloadTexture(uint32_t image, uint8_t* bgra, int pitch);
    void DestroyTexture(CRasterTexture* texture);

private:
    CRasterDevice(std::unique_ptr<IRasterBackend> backend, uint32_t backBuffer, int width,
                  int height, int supersample, uint32_t picture);
    ~CRasterDevice() override;

    CRasterSurface* OwnSurface(IDirect3DSurface8* surface) const;
    SRasterState CurrentRasterState() const;
    // Vertex work for one draw into the current target, batched.
    void Submit(const SFixedFunctionState& fixed, const SRasterState& state, const uint8_t* vertices,
                int stride, const SVertexLayout& layout, D3DPRIMITIVETYPE type, uint32_t primitiveCount,
                int targetWidth, int targetHeight);
    void Flush();
    // Draws everything held back, in order; one held-back command (into the
    // backend's current target).
    void DrawDeferred();
    // Draws the held-back commands in order, leaving out those into
    // `skipped` (0: none), and binds the current target again.
    void ReplayDeferred(uint32_t skipped);
    void RunDeferred(const CDeferredCommands::SCommand& command);
    // Before the image is read, or written (`whole`: replaced entirely), so
    // that what was held back is drawn first where it matters.
    void BeforeReading(uint32_t image);
    void BeforeWriting(uint32_t image, bool whole);

    std::unique_ptr<IRasterBackend> m_backend;
    ULONG m_refs = 1;
    CRasterSurface* m_backBuffer;
    CRasterSurface* m_target;       // holds a reference
    CRasterTexture* m_texture = nullptr;  // holds a reference
    CSystemVertexBuffer* m_stream = nullptr;  // holds a reference
    UINT m_streamStride = 0;
    DWORD m_fvf = 0;
    SFixedFunctionState m_fixed;
    SRasterState m_raster;  // everything but the texture, which comes from m_texture
    bool m_inScene = false;
    std::unordered_set<CRasterTexture*> m_textures;  // alive, to orphan at destruction
    std::unordered_set<CRasterTexture*> m_copiedInto;  // textures drawing has changed

    std::vector<SRasterVertex> m_batch;
    SPrimitiveScratch m_scratch;
    SRasterState m_batchState;

    IPresentSink* m_presentSink = nullptr;
    int m_supersample = 1;
    uint32_t m_picture = 0;  // the filtered picture's image when supersampled
    std::vector<uint8_t> m_drawn;     // the back buffer, read to be filtered
    std::vector<uint8_t> m_filtered;  // the picture, on its way to m_picture
    uint64_t m_presentCount = 0;

    bool m_hidden = false;
    CDeferredCommands m_deferred;
};
