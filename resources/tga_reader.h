// A TGA picture read from an open file: the header first, then only as many
// bytes as that header can use, so a refused picture costs its 18 bytes and
// a file far larger than its picture costs no more than the picture.
#pragma once

#include <cstdint>

#include "resources/file_system.h"
#include "resources/tga_image.h"

// As DecodeTga on the file's bytes; *fileSize is the file's size.
ETgaStatus ReadTga(IFile* file, STgaImage* image, uint64_t* fileSize);
