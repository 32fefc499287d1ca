#include "fft/fft_kernels.h"

#include "fft/fft_template.h"

// The double case of the one FFT code in fft_template.h.

void first_pass_plus(int n, double* a, const double* w) {
    fft_template::first_pass<double, false>(n, a, w);
}

void first_pass_minus(int n, double* a, const double* w) {
    fft_template::first_pass<double, true>(n, a, w);
}

void middle_pass_a(int m, double* a, const double* w) {
    fft_template::middle_pass_a(m, a, w);
}

void middle_pass_b(int m, double* a, const double* w) {
    fft_template::middle_pass_b(m, a, w);
}

void quad_kernel(int n, double* a, int nw, const double* w) {
    fft_template::quad_kernel(n, a, nw, w);
}

void leaf_kernel(int n, int split, double* a, int nw, const double* w) {
    fft_template::leaf_kernel(n, split, a, nw, w);
}

void recursive_pass(int n, double* a, int nw, const double* w) {
    fft_template::recursive_pass(n, a, nw, w);
}

int tree_step(int m, int j, int k, double* a, int nw, const double* w) {
    return fft_template::tree_step(m, j, k, a, nw, w);
}

void kernel8_a(double* a, const double* w) {
    fft_template::kernel8_a(a, w);
}

void kernel8_b(double* a, const double* w) {
    fft_template::kernel8_b(a, w);
}

void kernel16_a(double* a, const double* w) {
    fft_template::kernel16_a(a, w);
}

void kernel16_b(double* a, const double* w) {
    fft_template::kernel16_b(a, w);
}

void dft4_plus(double* a) {
    fft_template::dft4_plus(a);
}

void dft4_minus(double* a) {
    fft_template::dft4_minus(a);
}

void dft2(double* a) {
    fft_template::dft2(a);
}

void bitrev8(double* a) {
    fft_template::bitrev8(a);
}

void bitrev8_neg(double* a) {
    fft_template::bitrev8_neg(a);
}

void bitrev16(double* a) {
    fft_template::bitrev16(a);
}

void bitrev16_neg(double* a) {
    fft_template::bitrev16_neg(a);
}

void bitrev_permute(int n, const int* ip, double* a) {
    fft_template::permute<double, false>(n, ip, a);
}

void bitrev_permute_conj(int n, const int* ip, double* a) {
    fft_template::permute<double, true>(n, ip, a);
}
