// The program's icon for desktop menus.
#pragma once

#include "content/image.h"

constexpr int kIconSize = 256;

// A rounded night-blue tile with a glowing ring whose tail is a brook: a
// Q. Premultiplied, transparent outside the tile.
CImage PaintIcon();
