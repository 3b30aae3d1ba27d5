#include "runtime/random.h"

#include <cstdint>

namespace {

// Never seeded: every run draws the same sequence.
uint32_t g_randState = 1;

}  // namespace

int DemoRand() {
    g_randState = g_randState * 214013u + 2531011u;
    return static_cast<int>((g_randState >> 16) & 0x7FFFu);
}

void DemoRandReset() { g_randState = 1; }
