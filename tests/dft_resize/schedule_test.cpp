// The library's schedule (plans per length, lanes, threads, no stored zero insertion) against
// the step-by-step procedure of reference_procedure.cpp: the same bytes, whatever the
// instruction set of the lanes.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "dft_resize/dft_interpolate.h"
#include "tests/dft_resize/dft_reference.h"
#include "tests/dft_resize/reference_procedure.h"
#include "tests/support/each_isa.h"

namespace {

using dft_test::Plane;
using dft_test::random_plane;

struct Size {
    int W, H, W2, H2;
};

std::string size_name(const Size& s) {
    return std::to_string(s.W) + "x" + std::to_string(s.H) + "_to_" + std::to_string(s.W2) + "x" +
           std::to_string(s.H2);
}

std::vector<std::uint8_t> run_reference(const Plane& in, int W2, int H2) {
    std::vector<std::uint8_t> out(static_cast<std::size_t>(W2) * H2, 0xA5);
    reference_interpolate_plane(in.W, in.H, W2 - in.W, H2 - in.H, in.s.data(), out.data());
    return out;
}

std::vector<std::uint8_t> run_library(const Plane& in, int W2, int H2) {
    std::vector<std::uint8_t> out(static_cast<std::size_t>(W2) * H2, 0x5A);
    ::testing::internal::CaptureStderr();  // the stage lines
    dft_interpolate_plane(in.W, in.H, W2 - in.W, H2 - in.H, in.s.data(), out.data());
    ::testing::internal::GetCapturedStderr();
    return out;
}

class ScheduleBySize : public ::testing::TestWithParam<Size> {};

TEST_P(ScheduleBySize, GivesTheBytesOfTheStepByStepProcedureWithEveryInstructionSet) {
    const Size s = GetParam();
    // A photo-like plane (smooth with a hard edge) and noise: different roundings.
    Plane smooth{s.W, s.H, {}};
    for (int x = 0; x < s.W; ++x)
        for (int y = 0; y < s.H; ++y)
            smooth.s.push_back(
                static_cast<std::uint8_t>(x * 3 > s.W ? 40 + (x * 7 + y * 5) % 90 : 230));
    for (const Plane& in :
         {smooth, random_plane(s.W, s.H, static_cast<unsigned>(s.W + 13 * s.H))}) {
        const std::vector<std::uint8_t> want = run_reference(in, s.W2, s.H2);
        for_each_isa([&] {
            const std::vector<std::uint8_t> got = run_library(in, s.W2, s.H2);
            for (std::size_t i = 0; i < want.size(); ++i)
                ASSERT_EQ(int(got[i]), int(want[i]))
                    << "sample (" << i / static_cast<std::size_t>(s.H2) << ", "
                    << i % static_cast<std::size_t>(s.H2) << ")";
        });
    }
}

// Line counts below, at and above multiples of the lane count, growth along one or both
// directions or none, width or height 1, odd and prime sides, one output side of 4096 (the
// original tool's longest) and sides beyond it, up to lines of 32768 points.
INSTANTIATE_TEST_SUITE_P(Sizes, ScheduleBySize,
                         ::testing::Values(Size{1, 1, 1, 1}, Size{1, 1, 7, 5}, Size{2, 3, 5, 7},
                                           Size{9, 8, 9, 8}, Size{13, 7, 40, 7}, Size{7, 13, 7, 40},
                                           Size{8, 8, 16, 16}, Size{17, 9, 33, 25},
                                           Size{1, 23, 3, 301}, Size{37, 29, 101, 67},
                                           Size{64, 3, 4096, 4}, Size{70, 3, 4097, 5},
                                           Size{3, 41, 4, 16384}),
                         [](const auto& p) { return size_name(p.param); });

}  // namespace
