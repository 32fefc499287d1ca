// sin_rounded and cos_rounded: the double nearest the exact value, the same bits on every
// platform. This program runs in the Windows build too, where the C library rounds otherwise.

#include "tests/support/rounded_trig.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "base/numeric.h"

namespace {

std::string hex(double x) {
    char text[40];
    std::snprintf(text, sizeof text, "%a", x);
    return text;
}

struct Known {
    bool cosine;
    double x, nearest;
    const char* note;
};

// Each value is the double nearest the exact one (checked with 300-bit arithmetic). The notes
// name the C libraries that round it otherwise, which is what made results differ.
const Known kKnown[] = {
    {false, kPi, 0x1.1a62633145c07p-53, "sin of the double nearest pi"},
    {true, kPi / 2, 0x1.1a62633145c07p-54, "a chirp and rotation angle of every length"},
    {true, 0x1.921fb54442d19p+0, -0x1.72cece675d1fdp-53, "glibc (either variant): ...fcp-53"},
    {false, 0x1.534ac0f19860cp-3, 0x1.51bdf8597c5f1p-3, "a twiddle; glibc: ...f2p-3"},
    {false, 0x1.4bc08f251d867p+2, -0x1.c83201d3d2c6dp-1, "Lanczos-3; glibc with FMA: ...6ep-1"},
    {false, 0x1.69173f8136c69p+0, 0x1.f96fe405f1ac7p-1, "a chirp; glibc: ...ac6p-1"},
    // Chirp and rotation angles whose sines lie within 5e-8 ulp of the middle between two
    // doubles: the table cannot decide them, the double-double series must.
    {false, 0x1.d82d7c2038dfdp+1, -0x1.0a6f324a8e496p-1, "1.2e-8 ulp from the middle"},
    {false, 0x1.d290356417321p-1, 0x1.949ed450f0cb9p-1, "3e-8 ulp; glibc: ...cb8p-1"},
    {false, 0x1.0ebecdf490e1bp+0, 0x1.be0b31e6d374ep-1, "4.5e-8 ulp; glibc without FMA: ...74fp-1"},
    {false, 1e22, -0x1.b453ab76bf397p-1, "far beyond the fast reduction"},
    {true, 1e22, 0x1.0be2cef01c8f4p-1, "far beyond the fast reduction"},
    {false, 0x1.fffffffffffffp+1023, 0x1.452fc98b34e97p-8, "the largest double"},
    {true, 0x1.fffffffffffffp+1023, -0x1.fffe62ecfab75p-1, "the largest double"},
    {false, 0x1.921fb54442d18p+20, -0x1.1a62633145c07p-34, "2^20 pi: the reduction cancels"},
    {true, 0x1p+20, 0x1.e33ada92fe2aep-1, "the first argument past the fast path"},
    {false, -0x1p-30, -0x1p-30, "tiny: sin x rounds to x"},
    {true, 0x1p-28, 1.0, "tiny: cos x rounds to 1"},
};

TEST(SinCosRounded, KnownValuesToTheLastBit) {
    for (const Known& k : kKnown) {
        const double got = k.cosine ? cos_rounded(k.x) : sin_rounded(k.x);
        EXPECT_EQ(hex(got), hex(k.nearest))
            << (k.cosine ? "cos(" : "sin(") << hex(k.x) << "), " << k.note;
    }
}

TEST(SinCosRounded, SignsOfZeroAndNotFiniteArguments) {
    EXPECT_TRUE(std::signbit(sin_rounded(-0.0)));
    EXPECT_FALSE(std::signbit(sin_rounded(0.0)));
    EXPECT_EQ(cos_rounded(-0.0), 1.0);
    for (double x : {std::numeric_limits<double>::infinity(),
                     -std::numeric_limits<double>::infinity(), std::nan("")}) {
        EXPECT_TRUE(std::isnan(sin_rounded(x))) << x;
        EXPECT_TRUE(std::isnan(cos_rounded(x))) << x;
    }
}

// Arguments of the kinds the methods take, a sample of each (the chirps' and the rotations'
// angles of some line lengths, the twiddles of the longest table), the multiples of pi/2 and
// their neighbours, where the reduction cancels most, and any doubles up to 2^40.
std::vector<double> sample_arguments() {
    std::vector<double> xs;
    for (int n : {2, 3, 7, 406, 602, 1110, 1554, 8192, 20000}) {
        for (int k = 0; k < n; k += n / 64 + 1) {
            xs.push_back((static_cast<double>(k) * kPi) / n);
            xs.push_back(static_cast<double>(1LL * k * k % (2LL * n)) * (kPi / n));
        }
    }
    const double d = (kPi / 4) / 4096;
    for (int j = 4; j < 4096; j += 52) {
        xs.push_back(j * d);
        xs.push_back(d * 3.0 * j);
    }
    for (int k = 1; k <= 64; ++k) {
        const double m = k * (kPi / 2);
        xs.insert(xs.end(), {m, std::nextafter(m, 0.0), std::nextafter(m, 2 * m)});
    }
    std::mt19937_64 rng(26);
    for (double range : {1e-6, 1.0, 3 * kPi, 100.0, 0x1p20, 0x1p40}) {
        std::uniform_real_distribution<double> any(-range, range);
        for (int i = 0; i < 300; ++i) xs.push_back(any(rng));
    }
    return xs;
}

// The fast path's rounding decisions against the arbitrary-precision path, which works to as
// many bits as the rounding takes; and sin odd, cos even, which the rounded values must keep.
TEST(SinCosRounded, FastPathAgreesWithArbitraryPrecision) {
    int failures = 0;
    for (double x : sample_arguments()) {
        const double s = sin_rounded(x), c = cos_rounded(x);
        const bool same = s == sin_rounded_slowly(x) && c == cos_rounded_slowly(x) &&
                          sin_rounded(-x) == -s && cos_rounded(-x) == c;
        EXPECT_TRUE(same) << "x = " << hex(x) << ": sin " << hex(s) << " / "
                          << hex(sin_rounded_slowly(x)) << ", cos " << hex(c) << " / "
                          << hex(cos_rounded_slowly(x));
        if (!same && ++failures == 10) break;
    }
}

}  // namespace
