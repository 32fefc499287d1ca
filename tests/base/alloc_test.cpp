#include "base/alloc.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>

namespace {

TEST(BigArray, BlocksOfAnySizeFitVectorsAndMovesLeaveNothingBehind) {
    for (std::size_t count : {std::size_t{1}, std::size_t{100}, std::size_t{262143},
                              std::size_t{1} << 18}) {
        BigArray a(count, "test");
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(a.get()) % 64, 0u) << count;
        a.get()[count - 1] = 1.0;  // the whole block is usable (a sanitizer build checks)
    }
    BigArray big(std::size_t{1} << 18, "test");  // 2 MiB
    BigArray moved = std::move(big);
    EXPECT_EQ(big.get(), nullptr);
    EXPECT_NE(moved.get(), nullptr);
}


TEST(HeapArray, EmptyRequestStillGivesABlockAndMovesLeaveNothingBehind) {
    HeapArray<int> none(0, "test");
    EXPECT_NE(none.get(), nullptr);
    HeapArray<int> a(3, "test");
    a[2] = 7;
    HeapArray<int> b = std::move(a);
    EXPECT_EQ(a.get(), nullptr);
    EXPECT_EQ(a.size(), 0u);
    EXPECT_EQ(b[2], 7);
}

TEST(CheckedMalloc, OverflowingRequestEndsTheProcessNamingTheArray) {
    EXPECT_EXIT(checked_malloc(SIZE_MAX / 2, 4, "VINR"), testing::ExitedWithCode(1),
                "");
}

}  // namespace
