#pragma once
// Slow, plainly written references for the transform tests, in long double.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <random>
#include <vector>

#include "fft/complex_fft.h"
#include "tests/support/tolerances.h"

namespace fft_test {

// Tables big enough for the transforms of a line of 8192 points, n = 32768 doubles.
constexpr int kMaxN = 32768;
constexpr int kIpLength = 64;
constexpr int kWLength = kMaxN / 4;

// Relative error allowed for an FFT of this many points (tol::kFftRoundoffsPerLevel).
inline double error_bound(int points) {
    return tol::kFftRoundoffsPerLevel * tol::kUnitRoundoff * std::log2(static_cast<double>(points));
}

// The padded length of the chirp-z DFT of N points: the smallest power of two >= 2N.
inline int padded_length(int N) {
    int L = 1;
    while (L < 2 * N) L *= 2;
    return L;
}

// Relative error allowed for the chirp-z DFT of N points (tol::kChirpRoundoffsPerLevel).
inline double dft_error_bound(int N) {
    return tol::kChirpRoundoffsPerLevel * tol::kUnitRoundoff *
           std::log2(static_cast<double>(padded_length(N)));
}

// Relative error allowed for a line transform of n points: the DFT's and the rotation's
// (tol::kRotationLevels).
inline double line_error_bound(int n) {
    return tol::kChirpRoundoffsPerLevel * tol::kUnitRoundoff *
           (std::log2(static_cast<double>(padded_length(n))) + tol::kRotationLevels);
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

// Same bits, zeros' signs included: for code that must do the very operations of another.
inline bool same_bits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

inline std::vector<double> random_points(int n, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    std::vector<double> x(static_cast<std::size_t>(n));
    for (double& v : x) v = dist(gen);
    return x;
}

// Tables of complex_fft for transforms of up to n doubles (by default those of a line of 8192
// points): exactly the sizes complex_fft states, so that a sanitizer build catches any use
// beyond them.
struct FftTables {
    explicit FftTables(int n = kMaxN)
        : ip(static_cast<std::size_t>(fft_ip_length(n)), 0),
          w(static_cast<std::size_t>(fft_w_length(n)), 0.0) {}
    std::vector<int> ip;
    std::vector<double> w;
};

// Tables for the chirp-z DFT of a line of N points (n = 2L doubles), and for any shorter line.
inline FftTables tables_for_line(int N) {
    return FftTables(std::max(kMaxN, 2 * padded_length(N)));
}

// A line of complex values in split arrays, as the DFT and the line transforms take them.
struct Line {
    std::vector<double> re, im;
};

struct LongLine {
    std::vector<long double> re, im;
};

inline Line random_line(int n, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    Line x{std::vector<double>(static_cast<std::size_t>(n)),
           std::vector<double>(static_cast<std::size_t>(n))};
    for (int i = 0; i < n; ++i) {
        x.re[static_cast<std::size_t>(i)] = dist(gen);
        x.im[static_cast<std::size_t>(i)] = dist(gen);
    }
    return x;
}

// X[k] = scale * sum_j x[j] exp(sign 2 pi i j k / N) of a split line.
inline LongLine direct_dft(const Line& x, int sign, long double scale) {
    const std::size_t N = x.re.size();
    std::vector<double> interleaved(2 * N);
    for (std::size_t j = 0; j < N; ++j) {
        interleaved[2 * j] = x.re[j];
        interleaved[2 * j + 1] = x.im[j];
    }
    const std::vector<long double> d = direct_dft(interleaved, sign);
    LongLine out{std::vector<long double>(N), std::vector<long double>(N)};
    for (std::size_t k = 0; k < N; ++k) {
        out.re[k] = scale * d[2 * k];
        out.im[k] = scale * d[2 * k + 1];
    }
    return out;
}

// ||got - want|| / ||want|| over real and imaginary parts.
inline double relative_error(const std::vector<double>& got_re, const std::vector<double>& got_im,
                             const LongLine& want) {
    long double err = 0, norm = 0;
    for (std::size_t i = 0; i < got_re.size(); ++i) {
        const long double dr = got_re[i] - want.re[i], di = got_im[i] - want.im[i];
        err += dr * dr + di * di;
        norm += want.re[i] * want.re[i] + want.im[i] * want.im[i];
    }
    return static_cast<double>(std::sqrt(err / norm));
}

}  // namespace fft_test
