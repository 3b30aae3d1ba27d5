// The row kernels for AVX2, built with -mavx2 (and no FMA); chosen only
// where the processor has AVX2.
#include "render/cpu/span_kernels.h"

#include "render/cpu/span_kernels.inc"

const SKernelTable& Avx2Kernels() {
    static const SKernelTable table = MakeKernelTable();
    return table;
}
