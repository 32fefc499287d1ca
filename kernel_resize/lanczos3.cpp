#include "kernel_resize/lanczos3.h"

#include <cmath>
#include <cstddef>

#include "image/alloc.h"
#include "image/bmp.h"

namespace {
const double kPi = 4.0 * std::atan(1.0);
}

double source_position(int k, int N, int M) {
    // k * N is exact in 64 bits; the original's running int sum overflowed for long lines.
    long long kn = static_cast<long long>(k) * N;
    long long diff = static_cast<long long>(N) - M;
    return static_cast<double>(kn) / M + (static_cast<double>(diff) * 0.5) / M;
}

double lanczos3_kernel(double x) {
    double m = x * kPi;
    if (m == 0.0) return 1.0;
    if (x < -3.0 || x > 3.0) return 0.0;
    // Left to right exactly; any other grouping changes the last bits of the weights.
    return std::sin(m / 3) / m * 3.0 * std::sin(m) / m;
}

void lanczos3_weights(double h, double w[8]) {
    for (int j = 0; j < 4; ++j) w[3 - j] = lanczos3_kernel(j + h);
    double g = 1.0 - h;
    for (int j = 0; j < 4; ++j) w[4 + j] = lanczos3_kernel(j + g);
    double s = w[0];
    for (int j = 1; j < 8; ++j) s = s + w[j];
    for (int j = 0; j < 8; ++j) w[j] = w[j] / s;
}

int mirror_index(int i, int N) {
    if (i < 0) i = -i;
    if (i >= N) i = 2 * N - i - 2;
    if (i >= 0 && i < N) return i;
    // Only lines shorter than five samples get here.
    if (N == 1) return 0;
    int period = 2 * N - 2;
    i %= period;
    if (i < 0) i += period;
    return i < N ? i : period - i;
}

std::uint8_t clamp_to_byte(double v) {
    if (!(v > 0.0)) return 0;  // also NaN, which no finite input produces
    if (v > 255.0) return 255;
    return static_cast<std::uint8_t>(static_cast<int>(v));
}

void line_taps(int N, int M, OutputTaps* taps) {
    for (int k = 0; k < M; ++k) {
        OutputTaps& tp = taps[k];
        tp.f = source_position(k, N, M);
        tp.t = static_cast<int>(tp.f);
        if (tp.f >= 0) {
            tp.h = tp.f - tp.t;
            tp.b = tp.t;
        } else {
            tp.h = tp.f - tp.t + 1;
            tp.b = tp.t - 1;
        }
        lanczos3_weights(tp.h, tp.weight);
        for (int j = 0; j < 8; ++j) tp.index[j] = mirror_index(tp.b - 3 + j, N);
        tp.left = mirror_index(tp.b, N);
        tp.right = mirror_index(tp.b + 1, N);
    }
}

void lanczos3_rows(int lines, int N, int M, const double* in, double* out) {
    HeapArray<OutputTaps> taps(static_cast<std::size_t>(M), "lanczos3 taps");
    line_taps(N, M, taps.get());
    const std::size_t nl = static_cast<std::size_t>(lines);
    // Output index, then tap, then line: every access runs along a contiguous column, and each
    // sample still adds its taps in the order j = 0..7.
    for (int k = 0; k < M; ++k) {
        const OutputTaps& tp = taps[static_cast<std::size_t>(k)];
        double* o = out + static_cast<std::size_t>(k) * nl;
        for (std::size_t l = 0; l < nl; ++l) o[l] = 0.0;
        for (int j = 0; j < 8; ++j) {
            const double* src = in + static_cast<std::size_t>(tp.index[j]) * nl;
            const double w = tp.weight[j];
            for (std::size_t l = 0; l < nl; ++l) o[l] = src[l] * w + o[l];
        }
    }
}

void lanczos3_columns(int lines, int N, int M, const double* in, double* out) {
    HeapArray<OutputTaps> taps(static_cast<std::size_t>(M), "lanczos3 taps");
    line_taps(N, M, taps.get());
    for (int l = 0; l < lines; ++l) {
        const double* v = in + static_cast<std::size_t>(l) * static_cast<std::size_t>(N);
        double* o = out + static_cast<std::size_t>(l) * static_cast<std::size_t>(M);
        for (int k = 0; k < M; ++k) o[k] = lanczos3_sum(v, 1, taps[static_cast<std::size_t>(k)]);
    }
}

void lanczos3_resize_plane(int W, int H, int W2, int H2, const std::uint8_t* in,
                           std::uint8_t* out) {
    const std::size_t w = static_cast<std::size_t>(W), h = static_cast<std::size_t>(H);
    const std::size_t w2 = static_cast<std::size_t>(W2), h2 = static_cast<std::size_t>(H2);
    HeapArray<double> src(w * h, "lanczos3 input");
    for (std::size_t i = 0; i < w * h; ++i) src[i] = in[i];
    HeapArray<double> rows(w2 * h, "lanczos3 rows");
    lanczos3_rows(H, W, W2, src.get(), rows.get());
    src.reset();
    HeapArray<double> cols(w2 * h2, "lanczos3 columns");
    lanczos3_columns(W2, H, H2, rows.get(), cols.get());
    for (std::size_t i = 0; i < w2 * h2; ++i) out[i] = clamp_to_byte(cols[i]);
}

Status lanczos3_resize(const std::string& path, int W, int H, int W2, int H2,
                       const std::uint8_t* red, const std::uint8_t* green,
                       const std::uint8_t* blue) {
    const std::size_t n = static_cast<std::size_t>(W2) * static_cast<std::size_t>(H2);
    HeapArray<std::uint8_t> r(n, "lanczos3 red"), g(n, "lanczos3 green"), b(n, "lanczos3 blue");
    lanczos3_resize_plane(W, H, W2, H2, red, r.get());
    lanczos3_resize_plane(W, H, W2, H2, green, g.get());
    lanczos3_resize_plane(W, H, W2, H2, blue, b.get());
    return write_result_bmp(path, "%s_lanczos3.bmp", W2, H2, r.get(), g.get(), b.get());
}
