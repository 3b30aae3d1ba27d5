// Text set with FreeType from the DejaVu fonts of the Debian package
// fonts-dejavu-core, as grey coverage masks.
#pragma once

#include <string>
#include <vector>

struct FT_LibraryRec_;
struct FT_FaceRec_;

struct STextMask {
    int width = 0;
    int height = 0;
    // Rows of the mask below the baseline (the descent).
    int baseline = 0;
    // width * height coverage values 0..1; row 0 is the bottom row.
    std::vector<float> coverage;

    float At(int x, int y) const {
        return coverage[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    }
};

class CFont {
public:
    // Throws std::runtime_error naming the file when it cannot be opened.
    explicit CFont(const std::string& path);
    ~CFont();
    CFont(const CFont&) = delete;
    CFont& operator=(const CFont&) = delete;

    // Sets printable ASCII text at an em size of pixelHeight pixels, each
    // glyph widened by stretchX (pictures shown squeezed on screen are set
    // pre-stretched), with trackingPixels of extra space between letters.
    STextMask Render(const std::string& text, float pixelHeight, float stretchX, float trackingPixels) const;

private:
    FT_LibraryRec_* m_library = nullptr;
    FT_FaceRec_* m_face = nullptr;
};
