#include "content/pictures.h"

std::vector<SPicture> PaintAllPictures(const SFonts& fonts) {
    std::vector<SPicture> pictures;
    PaintTitlePictures(fonts, &pictures);
    PaintCreditPictures(fonts, &pictures);
    PaintGlowPictures(&pictures);
    PaintFramePictures(&pictures);
    return pictures;
}
