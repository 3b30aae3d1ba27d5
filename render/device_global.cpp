#include "render/d3d8.h"

IDirect3DDevice8* g_device = nullptr;
