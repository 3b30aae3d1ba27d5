// Creates the process-wide Direct3D object and the 1024 x 768 device without
// a depth buffer, drawing with the chosen raster backend: OpenGL on the GL
// context current on this thread, or the CPU.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "shell/renderer_choice.h"

// What the CPU backend shows at Present: BGRA rows top first (null: nothing).
using CpuShowFn = std::function<void(const uint8_t* bgra, int width, int height)>;

// Sets g_direct3d and g_device. False, with the reason in *error, when the
// backend cannot carry the device (then neither is set).
// ReleaseDisplayDevice (shell_globals.h) undoes it.
bool CreateDisplayDevice(void* focusWindow, const SRendererChoice& choice, int threads, CpuShowFn show,
                         std::string* error);

// The backend for the user: "cpu (AVX2, 2 threads)" or "gpu (OpenGL 3.3 core)".
std::string DescribeRenderer(const SRendererChoice& choice, int threads);
