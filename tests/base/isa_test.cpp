#include "base/isa.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace {

TEST(Isa, NamesRoundTripAndUnknownNamesAreRefused) {
    for (Isa isa : {Isa::generic, Isa::avx2, Isa::avx512}) {
        Isa back = Isa::generic;
        ASSERT_TRUE(isa_from_name(isa_name(isa), &back)) << isa_name(isa);
        EXPECT_EQ(back, isa);
    }
    Isa untouched = Isa::avx2;
    EXPECT_FALSE(isa_from_name("avx", &untouched));
    EXPECT_FALSE(isa_from_name("", &untouched));
    EXPECT_FALSE(isa_from_name("AVX2", &untouched));
    EXPECT_EQ(untouched, Isa::avx2);
}

TEST(Isa, GenericIsAlwaysThereAndOnlySupportedSetsCanBeChosen) {
    EXPECT_TRUE(isa_supported(Isa::generic));
    const Isa before = active_isa();
    EXPECT_TRUE(isa_supported(before));
    for (Isa isa : {Isa::generic, Isa::avx2, Isa::avx512}) {
        set_active_isa(isa);
        EXPECT_EQ(active_isa() == isa, isa_supported(isa)) << isa_name(isa);
        set_active_isa(before);
    }
    EXPECT_EQ(active_isa(), before);
}

}  // namespace
