#include "resources/picture_reload.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "resources/report.h"
#include "resources/texture.h"

namespace {

struct SPicture {
    CTexture* texture;
    std::string path;
};

std::vector<SPicture>& Pictures() {
    static auto* pictures = new std::vector<SPicture>;
    return *pictures;
}

bool g_keep = false;
bool g_reloading = false;

// Copies level 0 of `from` into `to`, both width x height, where they differ.
bool CopyPixels(IDirect3DTexture8* from, IDirect3DTexture8* to, int width, int height, bool* changed) {
    D3DLOCKED_RECT source{}, dest{};
    if (from->LockRect(0, &source, nullptr, 0) != D3D_OK) return false;
    if (to->LockRect(0, &dest, nullptr, 0) != D3D_OK) {
        from->UnlockRect(0);
        return false;
    }
    for (int row = 0; row < height; ++row) {
        uint8_t* to = static_cast<uint8_t*>(dest.pBits) + static_cast<size_t>(row) * dest.Pitch;
        const uint8_t* from = static_cast<const uint8_t*>(source.pBits) + static_cast<size_t>(row) * source.Pitch;
        if (std::memcmp(to, from, static_cast<size_t>(width) * 4) == 0) continue;
        std::memcpy(to, from, static_cast<size_t>(width) * 4);
        *changed = true;
    }
    to->UnlockRect(0);
    from->UnlockRect(0);
    return true;
}

}  // namespace

void KeepPicturesForReload(bool keep) {
    g_keep = keep;
    if (!keep) Pictures().clear();
}

void NotePictureLoaded(CTexture* texture, const char* path) {
    if (g_keep && !g_reloading) Pictures().push_back({texture, path});
}

std::vector<std::string> NotedPicturePaths() {
    std::vector<std::string> paths;
    for (const SPicture& picture : Pictures()) {
        if (std::find(paths.begin(), paths.end(), picture.path) == paths.end()) paths.push_back(picture.path);
    }
    return paths;
}

bool ReloadPictures(bool* changed) {
    *changed = false;
    bool whole = true;
    g_reloading = true;
    for (const SPicture& picture : Pictures()) {
        // The loader says why a picture cannot be read; this says what is shown instead.
        CTexture fresh;
        fresh.LoadTGA(picture.path.c_str());
        const char* problem = nullptr;
        if (!fresh.texture) {
            problem = "the picture shown before is kept";
        } else if (fresh.width != picture.texture->width || fresh.height != picture.texture->height) {
            problem = "its size changed, which a running effect cannot follow; the picture shown before is kept";
        } else if (!CopyPixels(fresh.texture, picture.texture->texture, fresh.width, fresh.height, changed)) {
            problem = "cannot be replaced; the picture shown before is kept";
        }
        if (fresh.texture) fresh.texture->Release();
        if (problem) {
            Report(picture.path, 0, problem);
            whole = false;
        }
    }
    g_reloading = false;
    return whole;
}
