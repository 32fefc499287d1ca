#pragma once
// complex_fft on the kLanes lanes of a buffer, the whole transform with its final permutation:
// the tests' check that the FFT template gives every lane the bits of the double code at
// every length, beneath the chirp-z steps built on it. The DFT resize runs whole FFTs on
// lanes only for its shortest lines; from a padded length of 32 on its chirp-z steps fuse the
// first passes and the permutations into their neighbours. So this lives with the tests, one
// translation unit per instruction set (lanes_fft_*.cpp) as base/isa.h describes. Like
// fft/lanes.h, this header holds nothing a wider set could leak through the linker:
// declarations, and templates in an anonymous namespace.

#include <cstddef>

#include "fft/fft_template.h"
#include "fft/lanes.h"

// complex_fft's fft_plus (sign >= 0) or fft_minus on n doubles per lane, in place, with the
// tables already built (nw = ip[0] >= n / 4). The lanes lie in blocks of width lanes (the
// doubles one register of the set holds), each block n * width doubles: double i of lane
// b * width + l at b n width + i width + l.
void lanes_fft_generic(int n, int sign, double* buf, const int* ip, int nw, const double* w);
void lanes_fft_avx2(int n, int sign, double* buf, const int* ip, int nw, const double* w);
void lanes_fft_avx512(int n, int sign, double* buf, const int* ip, int nw, const double* w);

namespace {

// The body of each entry: every block of Width lanes in turn, T a vector of Width doubles.
template <class T, int Width>
void fft_blocks(int n, int sign, double* buf, const int* ip, int nw, const double* w) {
    for (int b = 0; b < kLanes / Width; ++b) {
        T* a = reinterpret_cast<T*>(buf + static_cast<std::size_t>(b) * n * Width);
        if (sign >= 0) {
            fft_template::fft_plus(n, a, ip, nw, w);
        } else {
            fft_template::fft_minus(n, a, ip, nw, w);
        }
    }
}

}  // namespace
