#include <gtest/gtest.h>

#include "runtime/random.h"

namespace {

TEST(DemoRandTest, FixedSequenceFromStateOne) {
    DemoRandReset();
    const int expected[] = {41, 18467, 6334, 26500, 19169};
    for (int value : expected) EXPECT_EQ(DemoRand(), value);
    for (int i = 0; i < 10000; ++i) {
        const int value = DemoRand();
        ASSERT_GE(value, 0);
        ASSERT_LE(value, 32767);
    }
    DemoRandReset();
    EXPECT_EQ(DemoRand(), 41);
}

}  // namespace
