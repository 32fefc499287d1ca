#include "tests/support/naive_resample.h"

#include <cmath>

#include "base/trig.h"

namespace {

double naive_kernel(double x) {
    const double pi = 4.0 * std::atan(1.0);
    double m = x * pi;
    if (m == 0) return 1.0;
    if (x < -3 || x > 3) return 0.0;
    double v = sine(m / 3);
    v = v / m;
    v = v * 3.0;
    v = v * sine(m);
    return v / m;
}

}  // namespace

NaivePosition naive_position(int k, int N, int M) {
    NaivePosition p;
    p.f = static_cast<double>(static_cast<long long>(k) * N) / M +
          (static_cast<double>(N - M) * 0.5) / M;
    p.t = static_cast<int>(p.f);
    p.h = p.f >= 0 ? p.f - p.t : p.f - p.t + 1;
    p.b = p.f >= 0 ? p.t : p.t - 1;
    return p;
}

double naive_lanczos3_sample(const std::vector<double>& line, int k, int M) {
    int N = static_cast<int>(line.size());
    NaivePosition p = naive_position(k, N, M);
    double w[8];
    for (int j = 0; j <= 3; ++j) w[3 - j] = naive_kernel(j + p.h);
    double one_minus_h = 1 - p.h;
    for (int j = 0; j <= 3; ++j) w[4 + j] = naive_kernel(j + one_minus_h);
    double s = w[0] + w[1] + w[2] + w[3] + w[4] + w[5] + w[6] + w[7];
    double acc = 0.0;
    for (int j = 0; j < 8; ++j) {
        int i = p.b - 3 + j;
        if (i < 0) i = -i;
        if (i >= N) i = 2 * N - i - 2;
        acc = line[static_cast<size_t>(i)] * (w[j] / s) + acc;
    }
    return acc;
}

double naive_linear_sample(const std::vector<double>& line, int k, int M) {
    int N = static_cast<int>(line.size());
    NaivePosition p = naive_position(k, N, M);
    int left = p.b < 0 ? -p.b : p.b;
    int right = p.b + 1 > N - 1 ? 2 * N - p.b - 3 : p.b + 1;
    double a = line[static_cast<size_t>(left)] * (1 - p.h);
    return a + line[static_cast<size_t>(right)] * p.h;
}
