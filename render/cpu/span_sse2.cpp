// The row kernels for SSE2, which every x86-64 processor has.
#include "render/cpu/span_kernels.h"

#include "render/cpu/span_kernels.inc"

const SKernelTable& Sse2Kernels() {
    static const SKernelTable table = MakeKernelTable();
    return table;
}
