// Build step: qb_content_gen OUTPUT_DIR [FONT_DIR] writes the demo's
// pictures and music under OUTPUT_DIR/Data; qb_content_gen --icon FILE.png
// writes the program's icon.
#include <cstdio>
#include <cstring>
#include <exception>

#include "content/content_generator.h"

#ifndef QB_DEFAULT_FONT_DIR
#define QB_DEFAULT_FONT_DIR "/usr/share/fonts/truetype/dejavu"
#endif

int main(int argc, char** argv) {
    const bool icon = argc == 3 && std::strcmp(argv[1], "--icon") == 0;
    if (argc < 2 || argc > 3 || (!icon && argv[1][0] == '-')) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR [FONT_DIR]\n       %s --icon FILE.png\n", argv[0], argv[0]);
        return 2;
    }
    try {
        if (icon) {
            GenerateIcon(argv[2]);
        } else {
            GenerateContent(SContentPaths{argv[1], argc == 3 ? argv[2] : QB_DEFAULT_FONT_DIR});
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "qb_content_gen: %s\n", e.what());
        return 1;
    }
    return 0;
}
