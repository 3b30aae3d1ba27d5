// The process-wide random generator: a linear congruential generator that
// starts at state 1 and is never seeded, so every run draws the same values.
#pragma once

// 0 ... 32767
int DemoRand();
// Back to the state at process start (tests only need this).
void DemoRandReset();
