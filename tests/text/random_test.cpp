#include "text/random.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <thread>
#include <vector>

namespace oz::text {
namespace {

TEST(RandomInt, SwapsReversedBoundsAndClampsNegativesToZero) {
    std::set<int> seen;
    for (int i = 0; i < 500; ++i) {
        const int reversed = randomInt(5, 1);
        EXPECT_GE(reversed, 1);
        EXPECT_LE(reversed, 5);
        const int negative = randomInt(-3, 2);
        EXPECT_GE(negative, 0);
        EXPECT_LE(negative, 2);
        seen.insert(negative);
    }
    EXPECT_EQ(seen.size(), 3u);
    EXPECT_EQ(randomInt(7, 7), 7);
    EXPECT_EQ(randomInt(-4, -9), 0);
    const int wide = randomInt(0, 2147483647);
    EXPECT_GE(wide, 0);
}

// Many workers draw at once; each thread owns its generator, so this is race-free under TSan/ASan
// and no thread sees values out of range.
TEST(RandomInt, ManyThreadsDrawAtOnce) {
    std::atomic<int> outOfRange{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                const int v = randomInt(10, 20);
                if (v < 10 || v > 20) ++outOfRange;
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(outOfRange, 0);
}

TEST(NoRepeatPicker, EachRoundIsAPermutationThenANewOneBegins) {
    NoRepeatPicker picker;
    for (int round = 0; round < 3; ++round) {
        std::vector<int> drawn;
        for (int i = 0; i < 6; ++i) drawn.push_back(picker.next(1, 6));
        std::sort(drawn.begin(), drawn.end());
        EXPECT_EQ(drawn, (std::vector<int>{1, 2, 3, 4, 5, 6}));
    }
    EXPECT_EQ(picker.next(4, 4), 4);
}

TEST(NoRepeatPicker, ResetAndNewBoundsStartAFreshOrder) {
    NoRepeatPicker picker;
    picker.next(1, 3);
    picker.reset();
    EXPECT_EQ(picker.remaining(), 0);
    std::set<int> drawn;
    for (int i = 0; i < 3; ++i) drawn.insert(picker.next(1, 3));
    EXPECT_EQ(drawn.size(), 3u);
    // A list that shrank between draws must never yield an index beyond its new end.
    picker.next(1, 100);
    for (int i = 0; i < 10; ++i) EXPECT_LE(picker.next(1, 2), 2);
}

TEST(NoRepeatPicker, HugeRangeCostsOnlyTheDraws) {
    NoRepeatPicker picker;
    std::set<int> drawn;
    for (int i = 0; i < 1000; ++i) drawn.insert(picker.next(1, 2000000000));
    EXPECT_EQ(drawn.size(), 1000u);
    EXPECT_EQ(picker.remaining(), 2000000000LL - 1000);
}

}  // namespace
}  // namespace oz::text
