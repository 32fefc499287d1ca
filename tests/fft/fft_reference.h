#pragma once
// Slow, plainly written references for the FFT tests.

#include <cmath>
#include <cstddef>
#include <random>
#include <vector>

namespace fft_test {

// Tables big enough for the longest transform, n = 32768 doubles.
constexpr int kMaxN = 32768;
constexpr int kIpLength = 64;
constexpr int kWLength = kMaxN / 4;

// Rounding of one double operation is 2^-53; a radix-4 transform of N points does about
// log2(N) / 2 rounds of butterflies, each adding a few roundings to every output relative to
// the output's norm, and the twiddles carry their own few ulps. Two unit roundoffs per
// binary level stay far above what is measured (under half a roundoff per level, 2.7e-16
// at N = 16384) while a single wrong or single-precision twiddle (1e-8 or worse) fails.
constexpr double kUnitRoundoff = 1.1102230246251565e-16;
constexpr double kRoundoffsPerLevel = 2.0;

inline double error_bound(int points) {
    return kRoundoffsPerLevel * kUnitRoundoff * std::log2(static_cast<double>(points));
}

inline const long double kPi = 3.141592653589793238462643383279502884L;

// X[k] = sum over j of x[j] exp(sign 2 pi i j k / N) over interleaved points, in long double.
// The angle is taken of j k mod N, so every root is accurate whatever the length.
inline std::vector<long double> direct_dft(const std::vector<double>& x, int sign) {
    const std::size_t N = x.size() / 2;
    std::vector<long double> cs(N), sn(N);
    for (std::size_t r = 0; r < N; ++r) {
        const long double angle =
            2 * kPi * static_cast<long double>(r) / static_cast<long double>(N);
        cs[r] = std::cos(angle);
        sn[r] = sign * std::sin(angle);
    }
    std::vector<long double> out(2 * N, 0.0L);
    for (std::size_t k = 0; k < N; ++k) {
        long double re = 0, im = 0;
        for (std::size_t j = 0; j < N; ++j) {
            const std::size_t r = j * k % N;
            re += x[2 * j] * cs[r] - x[2 * j + 1] * sn[r];
            im += x[2 * j] * sn[r] + x[2 * j + 1] * cs[r];
        }
        out[2 * k] = re;
        out[2 * k + 1] = im;
    }
    return out;
}

// ||got - want|| / ||want|| over all doubles.
inline double relative_error(const std::vector<double>& got, const std::vector<long double>& want) {
    long double err = 0, norm = 0;
    for (std::size_t i = 0; i < got.size(); ++i) {
        const long double d = got[i] - want[i];
        err += d * d;
        norm += want[i] * want[i];
    }
    return static_cast<double>(std::sqrt(err / norm));
}

inline std::vector<double> random_points(int n, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    std::vector<double> x(static_cast<std::size_t>(n));
    for (double& v : x) v = dist(gen);
    return x;
}

}  // namespace fft_test
