#include "kernel_resize/taps.h"

#include <cmath>
#include <cstddef>

#include "base/numeric.h"
#include "base/trig.h"

double source_position(int k, int N, int M) {
    // k * N is exact in 64 bits, also on long lines where a 32-bit running sum would overflow.
    long long kn = static_cast<long long>(k) * N;
    long long diff = static_cast<long long>(N) - M;
    return static_cast<double>(kn) / M + (static_cast<double>(diff) * 0.5) / M;
}

double lanczos3_kernel(double x) {
    double m = x * kPi;
    if (m == 0.0) return 1.0;
    if (x < -3.0 || x > 3.0) return 0.0;
    // Left to right exactly; any other grouping changes the last bits of the weights.
    return sine(m / 3) / m * 3.0 * sine(m) / m;
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

HeapArray<OutputTaps> taps_of(int N, int M) {
    HeapArray<OutputTaps> taps(static_cast<std::size_t>(M), "taps");
    line_taps(N, M, taps.get());
    return taps;
}
