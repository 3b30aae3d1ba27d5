// The raster backend that draws on the processor: every core (a pool of
// workers over bands of rows) and SIMD (SSE2, or AVX2 where the processor
// has it), with the same bytes out whatever the worker count or SIMD path.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "render/core/raster_backend.h"

enum class ECpuSimd { kAuto, kSse2, kAvx2 };

struct SCpuRasterOptions {
    // Workers drawing at once, the calling thread among them; 0 takes one
    // per core.
    int threads = 0;
    // kAuto takes AVX2 where the processor has it. The others exist so that
    // tests can check that both paths give the same bytes.
    ECpuSimd simd = ECpuSimd::kAuto;
    // False draws every pixel the plain way, without the shortcuts the
    // kernels take where a block allows them; it exists so that tests can
    // check that both give the same bytes.
    bool shortcuts = true;
};

// Null, with the reason in *error, when the options ask for a SIMD path the
// processor lacks.
std::unique_ptr<IRasterBackend> CreateCpuRasterBackend(const SCpuRasterOptions& options,
                                                       std::string* error);

bool CpuSimdAvailable(ECpuSimd simd);
// The path kAuto takes on this processor.
ECpuSimd CpuSimdBest();
const char* CpuSimdName(ECpuSimd simd);
// Workers a backend made with `threads` runs.
int CpuRasterWorkers(int threads);
