// The Direct3D 8 subset this program draws with: types, constants with their
// numeric values, and the object interfaces. Effects and the runtime see
// only this header; the implementations live behind it: the raster device
// of render/core over its OpenGL or CPU backend, and the recording device
// used by tests, fuzzers and --check.
#pragma once

#include <cstdint>

typedef int32_t HRESULT;
typedef uint32_t DWORD;
typedef uint32_t UINT;
typedef int32_t INT;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef int32_t BOOL;
typedef uint8_t BYTE;
typedef uint32_t D3DCOLOR;

#ifndef FALSE
#define FALSE 0
#endif
#ifndef TRUE
#define TRUE 1
#endif

// ---- Result codes -------------------------------------------------------
constexpr HRESULT D3D_OK = 0;
constexpr HRESULT S_OK = 0;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT D3DERR_WRONGTEXTUREFORMAT = static_cast<HRESULT>(0x88760818u);
constexpr HRESULT D3DERR_NOTAVAILABLE = static_cast<HRESULT>(0x8876086Au);
constexpr HRESULT D3DERR_OUTOFVIDEOMEMORY = static_cast<HRESULT>(0x8876017Cu);
constexpr HRESULT D3DERR_INVALIDCALL = static_cast<HRESULT>(0x8876086Cu);
constexpr HRESULT D3DERR_DEVICELOST = static_cast<HRESULT>(0x88760868u);

constexpr UINT D3D_SDK_VERSION = 120;

// ---- Enumerations (plain DWORD-sized values, as the API passes them) ----
typedef DWORD D3DFORMAT;
constexpr D3DFORMAT D3DFMT_UNKNOWN = 0;
constexpr D3DFORMAT D3DFMT_A8R8G8B8 = 21;
constexpr D3DFORMAT D3DFMT_X8R8G8B8 = 22;
constexpr D3DFORMAT D3DFMT_R5G6B5 = 23;

typedef DWORD D3DPOOL;
constexpr D3DPOOL D3DPOOL_DEFAULT = 0;
constexpr D3DPOOL D3DPOOL_MANAGED = 1;
constexpr D3DPOOL D3DPOOL_SYSTEMMEM = 2;

constexpr DWORD D3DUSAGE_RENDERTARGET = 1;

constexpr DWORD D3DCLEAR_TARGET = 1;
constexpr DWORD D3DCLEAR_ZBUFFER = 2;
constexpr DWORD D3DCLEAR_STENCIL = 4;

typedef DWORD D3DTRANSFORMSTATETYPE;
constexpr D3DTRANSFORMSTATETYPE D3DTS_VIEW = 2;
constexpr D3DTRANSFORMSTATETYPE D3DTS_PROJECTION = 3;
constexpr D3DTRANSFORMSTATETYPE D3DTS_WORLD = 256;

typedef DWORD D3DRENDERSTATETYPE;
constexpr D3DRENDERSTATETYPE D3DRS_ZENABLE = 7;
constexpr D3DRENDERSTATETYPE D3DRS_SRCBLEND = 19;
constexpr D3DRENDERSTATETYPE D3DRS_DESTBLEND = 20;
constexpr D3DRENDERSTATETYPE D3DRS_CULLMODE = 22;
constexpr D3DRENDERSTATETYPE D3DRS_ZFUNC = 23;
constexpr D3DRENDERSTATETYPE D3DRS_ALPHABLENDENABLE = 27;
constexpr D3DRENDERSTATETYPE D3DRS_LIGHTING = 137;
constexpr D3DRENDERSTATETYPE D3DRS_AMBIENT = 139;

typedef DWORD D3DBLEND;
constexpr D3DBLEND D3DBLEND_ZERO = 1;
constexpr D3DBLEND D3DBLEND_ONE = 2;
constexpr D3DBLEND D3DBLEND_SRCCOLOR = 3;
constexpr D3DBLEND D3DBLEND_INVSRCCOLOR = 4;
constexpr D3DBLEND D3DBLEND_SRCALPHA = 5;
constexpr D3DBLEND D3DBLEND_INVSRCALPHA = 6;
constexpr D3DBLEND D3DBLEND_DESTALPHA = 7;
constexpr D3DBLEND D3DBLEND_INVDESTALPHA = 8;
constexpr D3DBLEND D3DBLEND_DESTCOLOR = 9;
constexpr D3DBLEND D3DBLEND_INVDESTCOLOR = 10;

typedef DWORD D3DCULL;
constexpr D3DCULL D3DCULL_NONE = 1;
constexpr D3DCULL D3DCULL_CW = 2;
constexpr D3DCULL D3DCULL_CCW = 3;

typedef DWORD D3DCMPFUNC;
constexpr D3DCMPFUNC D3DCMP_NEVER = 1;
constexpr D3DCMPFUNC D3DCMP_LESS = 2;
constexpr D3DCMPFUNC D3DCMP_EQUAL = 3;
constexpr D3DCMPFUNC D3DCMP_LESSEQUAL = 4;
constexpr D3DCMPFUNC D3DCMP_GREATER = 5;
constexpr D3DCMPFUNC D3DCMP_NOTEQUAL = 6;
constexpr D3DCMPFUNC D3DCMP_GREATEREQUAL = 7;
constexpr D3DCMPFUNC D3DCMP_ALWAYS = 8;

typedef DWORD D3DTEXTURESTAGESTATETYPE;
constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_COLOROP = 1;
constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_COLORARG1 = 2;
constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_COLORARG2 = 3;
constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_ALPHAOP = 4;
constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_ALPHAARG1 = 5;
constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_ALPHAARG2 = 6;
constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_ADDRESSU = 13;
constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_ADDRESSV = 14;
constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_MAGFILTER = 16;
constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_MINFILTER = 17;
constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_MIPFILTER = 18;

typedef DWORD D3DTEXTUREOP;
constexpr D3DTEXTUREOP D3DTOP_DISABLE = 1;
constexpr D3DTEXTUREOP D3DTOP_SELECTARG1 = 2;
constexpr D3DTEXTUREOP D3DTOP_SELECTARG2 = 3;
constexpr D3DTEXTUREOP D3DTOP_MODULATE = 4;
constexpr D3DTEXTUREOP D3DTOP_BLENDDIFFUSEALPHA = 12;

constexpr DWORD D3DTA_DIFFUSE = 0;
constexpr DWORD D3DTA_CURRENT = 1;
constexpr DWORD D3DTA_TEXTURE = 2;

typedef DWORD D3DTEXTUREFILTERTYPE;
constexpr D3DTEXTUREFILTERTYPE D3DTEXF_NONE = 0;
constexpr D3DTEXTUREFILTERTYPE D3DTEXF_POINT = 1;
constexpr D3DTEXTUREFILTERTYPE D3DTEXF_LINEAR = 2;

constexpr DWORD D3DTADDRESS_WRAP = 1;
constexpr DWORD D3DTADDRESS_CLAMP = 3;

typedef DWORD D3DPRIMITIVETYPE;
constexpr D3DPRIMITIVETYPE D3DPT_POINTLIST = 1;
constexpr D3DPRIMITIVETYPE D3DPT_LINELIST = 2;
constexpr D3DPRIMITIVETYPE D3DPT_LINESTRIP = 3;
constexpr D3DPRIMITIVETYPE D3DPT_TRIANGLELIST = 4;
constexpr D3DPRIMITIVETYPE D3DPT_TRIANGLESTRIP = 5;
constexpr D3DPRIMITIVETYPE D3DPT_TRIANGLEFAN = 6;

// Flexible vertex format bits.
constexpr DWORD D3DFVF_XYZ = 0x002;
constexpr DWORD D3DFVF_NORMAL = 0x010;
constexpr DWORD D3DFVF_DIFFUSE = 0x040;
constexpr DWORD D3DFVF_TEX1 = 0x100;

typedef DWORD D3DLIGHTTYPE;
constexpr D3DLIGHTTYPE D3DLIGHT_POINT = 1;
constexpr D3DLIGHTTYPE D3DLIGHT_SPOT = 2;
constexpr D3DLIGHTTYPE D3DLIGHT_DIRECTIONAL = 3;

typedef DWORD D3DDEVTYPE;
constexpr D3DDEVTYPE D3DDEVTYPE_HAL = 1;
constexpr DWORD D3DCREATE_SOFTWARE_VERTEXPROCESSING = 0x20;

typedef DWORD D3DSWAPEFFECT;
constexpr D3DSWAPEFFECT D3DSWAPEFFECT_COPY_VSYNC = 4;
constexpr DWORD D3DMULTISAMPLE_NONE = 0;
constexpr UINT D3DPRESENT_RATE_DEFAULT = 0;
constexpr UINT D3DPRESENT_INTERVAL_DEFAULT = 0;

// ---- Structures ---------------------------------------------------------
struct D3DVECTOR {
    float x, y, z;
};

struct D3DCOLORVALUE {
    float r, g, b, a;
};

// Row-major 4x4: _RC is row R, column C; a point p transforms as p * M.
struct D3DMATRIX {
    union {
        struct {
            float _11, _12, _13, _14;
            float _21, _22, _23, _24;
            float _31, _32, _33, _34;
            float _41, _42, _43, _44;
        };
        float m[4][4];
    };
};

struct D3DMATERIAL8 {
    D3DCOLORVALUE Diffuse;
    D3DCOLORVALUE Ambient;
    D3DCOLORVALUE Specular;
    D3DCOLORVALUE Emissive;
    float Power;
};

struct D3DLIGHT8 {
    D3DLIGHTTYPE Type;
    D3DCOLORVALUE Diffuse;
    D3DCOLORVALUE Specular;
    D3DCOLORVALUE Ambient;
    D3DVECTOR Position;
    D3DVECTOR Direction;
    float Range;
    float Falloff;
    float Attenuation0;
    float Attenuation1;
    float Attenuation2;
    float Theta;
    float Phi;
};

struct RECT {
    LONG left, top, right, bottom;
};

struct POINT {
    LONG x, y;
};

struct D3DRECT {
    LONG x1, y1, x2, y2;
};

struct D3DLOCKED_RECT {
    INT Pitch;
    void* pBits;
};

struct D3DDISPLAYMODE {
    UINT Width;
    UINT Height;
    UINT RefreshRate;
    D3DFORMAT Format;
};

struct D3DPRESENT_PARAMETERS {
    UINT BackBufferWidth;
    UINT BackBufferHeight;
    D3DFORMAT BackBufferFormat;
    UINT BackBufferCount;
    DWORD MultiSampleType;
    D3DSWAPEFFECT SwapEffect;
    void* hDeviceWindow;
    BOOL Windowed;
    BOOL EnableAutoDepthStencil;
    D3DFORMAT AutoDepthStencilFormat;
    DWORD Flags;
    UINT FullScreen_RefreshRateInHz;
    UINT FullScreen_PresentationInterval;
};

// ---- Object interfaces --------------------------------------------------
// Reference counted as COM objects are: the creator holds one reference,
// AddRef adds one, Release drops one and frees the object at zero.
class IUnknown8 {
public:
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    virtual ~IUnknown8() = default;
};

class IDirect3DSurface8 : public IUnknown8 {
public:
    virtual UINT Width() const = 0;
    virtual UINT Height() const = 0;
};

class IDirect3DTexture8 : public IUnknown8 {
public:
    virtual HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface8** surface) = 0;
    virtual HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) = 0;
    virtual HRESULT UnlockRect(UINT level) = 0;
};

class IDirect3DVertexBuffer8 : public IUnknown8 {
public:
    virtual HRESULT Lock(UINT offset, UINT size, BYTE** data, DWORD flags) = 0;
    virtual HRESULT Unlock() = 0;
};

class IDirect3DDevice8 : public IUnknown8 {
public:
    virtual HRESULT BeginScene() = 0;
    virtual HRESULT EndScene() = 0;
    virtual HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                          DWORD stencil) = 0;
    virtual HRESULT Present(const RECT* source, const RECT* dest, void* windowOverride,
                            const void* dirtyRegion) = 0;

    virtual HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                                  D3DPOOL pool, IDirect3DTexture8** texture) = 0;
    virtual HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                       IDirect3DVertexBuffer8** buffer) = 0;

    virtual HRESULT GetRenderTarget(IDirect3DSurface8** surface) = 0;
    virtual HRESULT SetRenderTarget(IDirect3DSurface8* target, IDirect3DSurface8* depthStencil) = 0;
    virtual HRESULT CopyRects(IDirect3DSurface8* source, const RECT* sourceRects, UINT count,
                              IDirect3DSurface8* dest, const POINT* destPoints) = 0;

    virtual HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) = 0;
    virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;
    virtual HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) = 0;
    virtual HRESULT SetTexture(DWORD stage, IDirect3DTexture8* texture) = 0;

    virtual HRESULT SetMaterial(const D3DMATERIAL8* material) = 0;
    virtual HRESULT SetLight(DWORD index, const D3DLIGHT8* light) = 0;
    virtual HRESULT LightEnable(DWORD index, BOOL enable) = 0;

    virtual HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer8* buffer, UINT stride) = 0;
    virtual HRESULT SetVertexShader(DWORD fvf) = 0;
    virtual HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) = 0;
};

class IDirect3D8 : public IUnknown8 {
public:
    virtual HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) = 0;
    virtual HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, void* focusWindow, DWORD behaviour,
                                 D3DPRESENT_PARAMETERS* params, IDirect3DDevice8** device) = 0;
};

// The process-wide device every drawing layer uses. The shell sets it once at
// start-up; tests point it at a device of their own.
extern IDirect3DDevice8* g_device;
