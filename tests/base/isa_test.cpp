#include "base/isa.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>
#include <string>

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

// Sets ENLARGE3_LANE_ISA for one test (unset for nullptr) and restores it afterwards.
class LaneIsaVariable {
public:
    explicit LaneIsaVariable(const char* value) {
        if (const char* old = std::getenv(kName)) old_ = old, had_ = true;
        set(value);
    }
    ~LaneIsaVariable() { set(had_ ? old_.c_str() : nullptr); }
    LaneIsaVariable(const LaneIsaVariable&) = delete;
    LaneIsaVariable& operator=(const LaneIsaVariable&) = delete;

private:
    static constexpr const char* kName = "ENLARGE3_LANE_ISA";
    static void set(const char* value) {
        if (value == nullptr) {
            unsetenv(kName);
        } else {
            setenv(kName, value, 1);
        }
    }
    std::string old_;
    bool had_ = false;
};

TEST(LaneIsaSetting, UnsetOrASetOfThisBuildIsTaken) {
    {
        LaneIsaVariable unset(nullptr);
        EXPECT_TRUE(lane_isa_setting().ok());
    }
    // Every set the build has, whether or not this processor runs it.
    const std::string names = built_isa_names();
    for (Isa isa : {Isa::generic, Isa::avx2, Isa::avx512}) {
        LaneIsaVariable set(isa_name(isa));
        const bool in_build = names.find(isa_name(isa)) != std::string::npos;
        EXPECT_EQ(lane_isa_setting().ok(), in_build) << isa_name(isa);
    }
    EXPECT_EQ(names.substr(0, 7), "generic");
}

TEST(LaneIsaSetting, AnyOtherValueIsRefusedWithTheSetsThereAre) {
    for (const char* value : {"avx", "AVX2", "", "sse2", "avx512 "}) {
        LaneIsaVariable set(value);
        const Status s = lane_isa_setting();
        EXPECT_EQ(s.code, StatusCode::bad_setting) << "'" << value << "'";
        EXPECT_NE(s.message.find(std::string("ENLARGE3_LANE_ISA=") + value + " "),
                  std::string::npos)
            << s.message;
        EXPECT_NE(s.message.find(built_isa_names()), std::string::npos) << s.message;
    }
}

}  // namespace
