#include "fft/complex_fft.h"

#include "base/numeric.h"
#include "base/trig.h"
#include "fft/fft_template.h"

void complex_fft(int n, int sign, double* a, int* ip, double* w) {
    const int nw = prepare_fft_tables(n, ip, w);
    if (sign >= 0) {
        fft_plus(n, a, ip, nw, w);
    } else {
        fft_minus(n, a, ip, nw, w);
    }
}

int prepare_fft_tables(int n, int* ip, double* w) {
    if (n > 4 * ip[0]) make_twiddle_table(n >> 2, ip, w);
    return ip[0];
}

int fft_ip_length(int n) {
    int length = 2;
    for (long long m = 32; m < n; m *= 4) length *= 2;
    return length;
}

int fft_w_length(int n) {
    return n < 8 ? 1 : n / 4;
}

void make_twiddle_table(int nw, int* ip, double* w) {
    ip[0] = nw;
    ip[1] = 1;
    if (nw <= 2) return;
    int h = nw >> 1;
    const double d = (kPi / 4) / h;
    const double c4 = cosine(d * h);
    w[0] = 1.0;
    w[1] = c4;
    if (h == 4) {
        w[2] = cosine(2 * d);
        w[3] = sine(2 * d);
    } else if (h > 4) {
        make_bitrev_table(nw, ip);
        w[2] = 0.5 / cosine(2 * d);
        w[3] = 0.5 / cosine(d * 6.0);
        // The factor 3 goes onto d before j; the other order rounds differently.
        const double d3 = d * 3.0;
        for (int j = 4; j < h; j += 4) {
            w[j] = cosine(j * d);
            w[j + 1] = sine(j * d);
            w[j + 2] = cosine(d3 * j);
            w[j + 3] = -sine(d3 * j);
        }
    }
    // Every smaller block reuses the values above it, so a twiddle has one value whichever
    // block a pass reads it from.
    int b0 = 0;
    while (h > 2) {
        const int b1 = b0 + h;
        h >>= 1;
        w[b1] = 1.0;
        w[b1 + 1] = c4;
        if (h == 4) {
            w[b1 + 2] = w[b0 + 4];
            w[b1 + 3] = w[b0 + 5];
        } else if (h > 4) {
            w[b1 + 2] = 0.5 / w[b0 + 4];
            w[b1 + 3] = 0.5 / w[b0 + 6];
            for (int j = 4; j < h; j += 4) {
                w[b1 + j] = w[b0 + 2 * j];
                w[b1 + j + 1] = w[b0 + 2 * j + 1];
                w[b1 + j + 2] = w[b0 + 2 * j + 2];
                w[b1 + j + 3] = w[b0 + 2 * j + 3];
            }
        }
        b0 = b1;
    }
}

void make_bitrev_table(int nw, int* ip) {
    ip[2] = 0;
    ip[3] = 16;
    int m = 2;
    for (int l = nw; l > 32; l >>= 2) {
        // Group 2m from group m: a reversed index of one more bit is twice the shorter one,
        // plus one when the new top bit is set.
        for (int k = m; k < 2 * m; ++k) {
            const int p = 4 * ip[k];
            ip[k + m] = p;
            ip[k + 2 * m] = p + 16 * m;
        }
        m *= 2;
    }
}

void fft_plus(int n, double* a, const int* ip, int nw, const double* w) {
    fft_template::fft_plus(n, a, ip, nw, w);
}

void fft_minus(int n, double* a, const int* ip, int nw, const double* w) {
    fft_template::fft_minus(n, a, ip, nw, w);
}
