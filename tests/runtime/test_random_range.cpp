#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "random_range.h"

namespace kivo::runtime {
namespace {

// Runs `f` on a thread of its own, whose generator starts at state 1 like a new program's.
template <class F>
void onFreshThread(F f) {
    std::thread t(f);
    t.join();
}

TEST(RandomTest, SequenceFromStateOneIsFixed) {
    std::vector<int32_t> first, second;
    auto draw = [](std::vector<int32_t>& out) {
        for (int i = 0; i < 10; ++i) out.push_back(nextCrtRandom());
    };
    onFreshThread([&] { draw(first); });
    onFreshThread([&] { draw(second); });
    EXPECT_EQ(first, (std::vector<int32_t>{41, 18467, 6334, 26500, 19169, 15724, 11478, 29358,
                                           26962, 24464}));
    EXPECT_EQ(first, second);  // every run draws the same
}

TEST(RandomTest, RangeTakesTheOutputModuloTheSpan) {
    onFreshThread([] {
        EXPECT_EQ(randomInRange(0, 8), 41 % 9);
        EXPECT_EQ(randomInRange(20, 1000), 20 + 18467 % 981);
        EXPECT_EQ(randomInRange(1000, 20), 20 + 6334 % 981);  // ends in either order
    });
}

TEST(RandomTest, EqualEndsDrawNothing) {
    onFreshThread([] {
        EXPECT_EQ(randomInRange(7, 7), 7);
        EXPECT_EQ(randomInRange(-3, -9), 0);  // both count as 0
        EXPECT_EQ(nextCrtRandom(), 41);       // still the first output
    });
}

TEST(RandomTest, NegativeEndsCountAsZero) {
    onFreshThread([] {
        EXPECT_EQ(randomInRange(-10, 8), 41 % 9);
        EXPECT_EQ(randomInRange(8, -10), 18467 % 9);
    });
}

TEST(RandomTest, BothEndsAreReached) {
    onFreshThread([] {
        bool low = false, high = false;
        for (int i = 0; i < 200000 && !(low && high); ++i) {
            int32_t n = randomInRange(20, 1000);
            ASSERT_GE(n, 20);
            ASSERT_LE(n, 1000);
            low |= n == 20;
            high |= n == 1000;
        }
        EXPECT_TRUE(low);
        EXPECT_TRUE(high);
    });
}

TEST(RandomTest, WideRangesNeverYieldTheirUpperPart) {
    onFreshThread([] {
        for (int i = 0; i < 100000; ++i) {
            ASSERT_LE(randomInRange(0, 100000), 32767);
            ASSERT_LE(randomInRange(), 32767);  // the default range 0..2147483647
        }
    });
}

}  // namespace
}  // namespace kivo::runtime
