// Writes the demo's pictures and music under a directory.
#pragma once

#include <string>

struct SContentPaths {
    std::string outputDir;  // the directory the demo runs in; Data/ goes under it
    std::string fontDir;    // where fonts-dejavu-core put its TrueType files
};

// Writes every "Data/*.tga" and "Data/song.mp3". The bytes depend only on
// this program and the fonts, never on the time or the machine's state.
// Throws std::exception with a message naming what failed.
void GenerateContent(const SContentPaths& paths);

// Writes the program's icon, kIconSize pixels square, as a PNG with alpha;
// the same bytes on every run too. Throws as GenerateContent does.
void GenerateIcon(const std::string& pngPath);
