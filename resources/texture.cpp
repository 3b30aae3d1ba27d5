#include "resources/texture.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "resources/file_system.h"
#include "resources/picture_reload.h"
#include "resources/report.h"

namespace {

// The trace names these lines as where creation failed.
constexpr long kCreateLine = 38;
constexpr long kRenderTargetLine = 55;
constexpr const char* kCreateMessage = "Couldn't create texture...";

// Larger textures than this are refused before the device is asked, so a
// hostile header cannot make us allocate gigabytes.
constexpr int kMaxTextureSize = 8192;

// The fixed TGA header: 12 bytes the loader skips, then size and depth.
constexpr int32_t kHeaderBytes = 18;

// Size of an open file, or 0 when it cannot be told.
int32_t FileSize(IFile* file) {
    file->Seek(0, SEEK_END);
    const int32_t size = file->Tell();
    file->Seek(0, SEEK_SET);
    return size > 0 ? size : 0;
}

bool SizeSupported(int width, int height) {
    return width > 0 && height > 0 && width <= kMaxTextureSize && height <= kMaxTextureSize;
}

IDirect3DTexture8* CreateLevel0(int width, int height, DWORD usage, D3DPOOL pool, long line) {
    if (!SizeSupported(width, height)) {
        std::fprintf(stderr, "texture: %d x %d is not a size a texture can have (1 to %d each way)\n",
                     width, height, kMaxTextureSize);
        return nullptr;
    }
    IDirect3DTexture8* texture = nullptr;
    HRESULT hr = g_device->CreateTexture(static_cast<UINT>(width), static_cast<UINT>(height), 0, usage,
                                         D3DFMT_A8R8G8B8, pool, &texture);
    if (hr != D3D_OK) {
        TraceError(__FILE__, line, hr, kCreateMessage, true);
        return nullptr;
    }
    return texture;
}

// Reads the whole file's header and pixels; returns false when it is not an
// image this loader takes. A file shorter than its header says leaves the
// missing pixels zero.
struct STgaImage {
    int width = 0;
    int height = 0;
    int depth = 0;
    std::vector<uint8_t> pixels;  // width * height * 4 bytes, B G R A
};

void ExpandRgbToRgba(std::vector<uint8_t>& pixels, size_t count) {
    // From the last pixel back, so no pixel is overwritten before it moves.
    for (size_t k = count; k-- > 0;) {
        const uint8_t b = pixels[3 * k], g = pixels[3 * k + 1], r = pixels[3 * k + 2];
        pixels[4 * k] = b;
        pixels[4 * k + 1] = g;
        pixels[4 * k + 2] = r;
        pixels[4 * k + 3] = 0;
    }
}

}  // namespace

void CTexture::Create(int w, int h, D3DFORMAT f) {
    width = w;
    height = h;
    format = f;
    texture = CreateLevel0(w, h, 0, D3DPOOL_MANAGED, kCreateLine);
}

void CTexture::CreateRenderTarget(int w, int h) {
    width = w;
    height = h;
    texture = CreateLevel0(w, h, D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT, kRenderTargetLine);
}

void CTexture::LoadTGA(const char* path) {
    std::unique_ptr<IFile> file(g_fileSystem.OpenFile(path));
    if (!file->IsOpen()) {
        // Nothing else tells the user why a picture is missing from the screen.
        std::fprintf(stderr, "%s: cannot open the picture: %s\n", path, std::strerror(errno));
        return;
    }
    const int32_t fileSize = FileSize(file.get());
    if (fileSize < kHeaderBytes) {
        std::fprintf(stderr, "%s: %d bytes is too short for a TGA picture (the header alone is %d)\n", path,
                     static_cast<int>(fileSize), static_cast<int>(kHeaderBytes));
        return;
    }

    uint8_t skipped[12] = {};
    uint8_t header[6] = {};
    file->Read(sizeof skipped, skipped);
    file->Read(sizeof header, header);
    width = header[0] + 256 * header[1];
    height = header[2] + 256 * header[3];
    bitsPerPixel = header[4];
    if (bitsPerPixel != 24 && bitsPerPixel != 32) {
        std::fprintf(stderr, "%s: %d bits per pixel; only uncompressed 24- and 32-bit TGA pictures are shown\n",
                     path, bitsPerPixel);
        return;
    }
    if (!SizeSupported(width, height)) {
        std::fprintf(stderr, "%s: %d x %d pixels is not an image size this program can show\n", path,
                     width, height);
        return;
    }

    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    const size_t expected = kHeaderBytes + count * static_cast<size_t>(bitsPerPixel / 8);
    if (static_cast<size_t>(fileSize) < expected) {
        std::fprintf(stderr, "%s: the file ends before its last pixel (%d of %zu bytes); the rest stays black\n",
                     path, static_cast<int>(fileSize), expected);
    }
    std::vector<uint8_t> pixels;
    try {
        pixels.assign(count * 4, 0);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "%s: not enough memory for a %d x %d image\n", path, width, height);
        return;
    }
    file->Read(static_cast<int32_t>(count * 4), pixels.data());
    if (bitsPerPixel == 24) {
        // Only the pixels the file holds (a last partial one included) need
        // moving; the rest are zero already. A tiny file declaring a huge
        // image so costs no more than its bytes.
        const size_t stored = (static_cast<size_t>(fileSize - kHeaderBytes) + 2) / 3;
        ExpandRgbToRgba(pixels, stored < count ? stored : count);
    }
    format = D3DFMT_A8R8G8B8;
    bitsPerPixel = 32;
    file->Close();

    texture = CreateLevel0(width, height, 0, D3DPOOL_MANAGED, kCreateLine);
    if (!texture) return;
    NotePictureLoaded(this, path);
    D3DLOCKED_RECT locked{};
    if (texture->LockRect(0, &locked, nullptr, 0) != D3D_OK || !locked.pBits) return;
    const uint32_t rowSize = static_cast<uint32_t>(width) * 4;
    auto* bits = static_cast<uint8_t*>(locked.pBits);
    for (int row = 0; row < height; ++row)
        BlockCopy(bits + static_cast<size_t>(row) * locked.Pitch, &pixels[row * static_cast<size_t>(rowSize)],
                  rowSize);
    texture->UnlockRect(0);
}

void BlockCopy(void* dest, const void* source, uint32_t count) {
    auto* to = static_cast<uint8_t*>(dest);
    const auto* from = static_cast<const uint8_t*>(source);
    for (uint32_t block = 0; block < count / 64; ++block, to += 64, from += 64)
        for (int part = 0; part < 64; part += 8) std::memcpy(to + part, from + part, 8);
    for (uint32_t rest = 0; rest < count % 64; ++rest) to[rest] = from[rest];
}

HRESULT TraceError(const char* path, long line, HRESULT code, const char* message, bool showBox) {
    // The limits keep the trace within the 3000-byte buffer it was made for.
    constexpr size_t kBufferSize = 3000;
    char lineText[32];
    std::snprintf(lineText, sizeof lineText, "%ld", line);
    char codeText[128];
    std::snprintf(codeText, sizeof codeText, "%s (0x%08x)", ErrorName(code), static_cast<unsigned>(code));

    std::string debugLine;
    if (path && std::strlen(path) + 200 < kBufferSize) debugLine += std::string(path) + "(" + lineText + "): ";
    if (message) debugLine += message;
    debugLine += std::string(" (hr=") + codeText + ")\n";
    std::fputs(debugLine.c_str(), stderr);

    const size_t pathLength = path ? std::strlen(path) : 0;
    const size_t messageLength = message ? std::strlen(message) : 0;
    if (showBox && pathLength + messageLength + std::strlen(codeText) + std::strlen(lineText) + 200 < kBufferSize) {
        std::string text = std::string("File: ") + (path ? path : "") + "\nLine: " + lineText +
                           "\nError Code: " + codeText + "\nCalling: " + (message ? message : "");
        ShowMessageBox("Unexpected error encountered", text.c_str());
    }
    return code;
}
