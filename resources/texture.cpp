#include "resources/texture.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "resources/file_system.h"
#include "resources/picture_reload.h"
#include "resources/report.h"
#include "resources/tga_image.h"
#include "resources/tga_reader.h"

namespace {

// The trace names these lines as where creation failed.
constexpr long kCreateLine = 38;
constexpr long kRenderTargetLine = 55;
constexpr const char* kCreateMessage = "Couldn't create texture...";

// Larger textures than this are refused before the device is asked, so a
// hostile header cannot make us allocate gigabytes.
bool SizeSupported(int width, int height) {
    return width > 0 && height > 0 && width <= kMaxTgaSize && height <= kMaxTgaSize;
}

IDirect3DTexture8* CreateLevel0(int width, int height, DWORD usage, D3DPOOL pool, long line) {
    if (!SizeSupported(width, height)) {
        ReportF("texture", 0, "%d x %d is not a size a texture can have (1 to %d each way)", width, height,
               kMaxTgaSize);
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

// Says why a picture is not shown, or not whole; false when it is not shown.
bool Explain(const char* path, ETgaStatus status, const STgaImage& image, uint64_t fileSize) {
    switch (status) {
        case ETgaStatus::kOk:
            return true;
        case ETgaStatus::kTooShort:
            ReportF(path, 0, "%llu bytes is too short for a TGA picture (the header alone is %d)",
                    static_cast<unsigned long long>(fileSize), kTgaHeaderBytes);
            return false;
        case ETgaStatus::kUnsupported:
            ReportF(path, 0, "%d bits per pixel; only uncompressed 24- and 32-bit TGA pictures are shown", image.depth);
            return false;
        case ETgaStatus::kBadSize:
            ReportF(path, 0, "%d x %d pixels is not an image size this program can show", image.width, image.height);
            return false;
        case ETgaStatus::kNoMemory:
            ReportF(path, 0, "not enough memory for a %d x %d image", image.width, image.height);
            return false;
        case ETgaStatus::kCutShort:
            ReportF(path, 0, "the file ends before its last pixel (%zu of %zu %s); the rest stays black", image.have,
                   image.needed, image.runLength ? "pixels" : "bytes");
            return true;
    }
    return false;
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
    SInputError why;
    std::unique_ptr<IFile> file(g_fileSystem.OpenFile(path, &why));
    if (!file->IsOpen()) {
        // Nothing else tells the user why a picture is missing from the screen.
        Report(path, 0, InputErrorText(why, "the picture"));
        return;
    }
    STgaImage image;
    uint64_t fileSize = 0;
    const ETgaStatus status = ReadTga(file.get(), &image, &fileSize);
    file->Close();
    if (status != ETgaStatus::kTooShort) {
        // Kept even for a picture that is refused, as the header gave them.
        width = image.width;
        height = image.height;
        bitsPerPixel = image.depth;
    }
    if (!Explain(path, status, image, fileSize)) return;
    format = D3DFMT_A8R8G8B8;
    bitsPerPixel = 32;

    texture = CreateLevel0(width, height, 0, D3DPOOL_MANAGED, kCreateLine);
    if (!texture) return;
    NotePictureLoaded(this, path);
    D3DLOCKED_RECT locked{};
    if (texture->LockRect(0, &locked, nullptr, 0) != D3D_OK || !locked.pBits) return;
    // The file's first row (a bottom-left file's bottom row) is the
    // texture's top row.
    const uint32_t rowSize = static_cast<uint32_t>(width) * 4;
    auto* bits = static_cast<uint8_t*>(locked.pBits);
    for (int row = 0; row < height; ++row)
        BlockCopy(bits + static_cast<size_t>(row) * locked.Pitch, &image.pixels[row * static_cast<size_t>(rowSize)],
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

    // The trace's own form, "path(line): message (hr=...)", as a debugger shows it.
    std::string debugLine;
    if (path && std::strlen(path) + 200 < kBufferSize) debugLine += std::string(path) + "(" + lineText + "): ";
    if (message) debugLine += message;
    debugLine += std::string(" (hr=") + codeText + ")";
    Report("", 0, debugLine);

    const size_t pathLength = path ? std::strlen(path) : 0;
    const size_t messageLength = message ? std::strlen(message) : 0;
    if (showBox && pathLength + messageLength + std::strlen(codeText) + std::strlen(lineText) + 200 < kBufferSize) {
        std::string text = std::string("File: ") + (path ? path : "") + "\nLine: " + lineText +
                           "\nError Code: " + codeText + "\nCalling: " + (message ? message : "");
        ShowMessageBox("Unexpected error encountered", text.c_str());
    }
    return code;
}
