/* The yardstick for the DCT method's speed: the same enlargement by DCT zero padding, done the
 * way a user would with FFTW's real-to-real transforms, as one small program.
 *
 *   dct_fftw PICTURE.bmp WIDTH HEIGHT   writes PICTURE_fftw.bmp
 *
 * Per colour plane: REDFT10 (DCT-II) of the W x H plane, its coefficients placed in the
 * corner of a W2 x H2 array of zeros, REDFT01 (DCT-III) back, divided by 4 W H, clamped to
 * 0..255 and truncated: the cosine series the DCT method evaluates, to rounding. FFTW_ESTIMATE
 * plans, one thread. Reads only uncompressed 24-bit bottom-up BMPs with a 54-byte header; a
 * benchmark, not a tool: it checks only what it needs not to misread. */

#include <fftw3.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static uint32_t le32(const unsigned char* p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

static void put32(unsigned char* p, uint32_t v) {
    p[0] = (unsigned char)v;
    p[1] = (unsigned char)(v >> 8);
    p[2] = (unsigned char)(v >> 16);
    p[3] = (unsigned char)(v >> 24);
}

static long stride_of(long w) { return (3 * w + 3) / 4 * 4; }

static void* must(void* p) {
    if (p == NULL) {
        fputs("dct_fftw: out of memory\n", stderr);
        exit(1);
    }
    return p;
}

int main(int argc, char** argv) {
    if (argc != 4) {
        fputs("usage: dct_fftw PICTURE.bmp WIDTH HEIGHT\n", stderr);
        return 2;
    }
    const long W2 = atol(argv[2]), H2 = atol(argv[3]);
    FILE* f = fopen(argv[1], "rb");
    if (f == NULL) {
        perror(argv[1]);
        return 1;
    }
    unsigned char head[54];
    if (fread(head, 1, 54, f) != 54 || head[0] != 'B' || head[1] != 'M' || le32(head + 10) != 54 ||
        head[28] != 24 || le32(head + 30) != 0) {
        fputs("dct_fftw: not an uncompressed 24-bit BMP with a 54-byte header\n", stderr);
        return 1;
    }
    const long W = (long)(int32_t)le32(head + 18), H = (long)(int32_t)le32(head + 22);
    if (W < 1 || H < 1 || W2 < W || H2 < H || W2 > 65536 || H2 > 65536) {
        fputs("dct_fftw: sizes must be positive and the output at least the input\n", stderr);
        return 1;
    }
    const long in_stride = stride_of(W), out_stride = stride_of(W2);
    unsigned char* rows = must(malloc((size_t)(in_stride * H)));
    if (fread(rows, 1, (size_t)(in_stride * H), f) != (size_t)(in_stride * H)) {
        fputs("dct_fftw: picture shorter than its header says\n", stderr);
        return 1;
    }
    fclose(f);

    /* Row-major planes, top row first: element (x, y) at y * width + x. */
    double* in = must(fftw_malloc(sizeof(double) * (size_t)(W * H)));
    double* out = must(fftw_malloc(sizeof(double) * (size_t)(W2 * H2)));
    fftw_plan forward = fftw_plan_r2r_2d((int)H, (int)W, in, in, FFTW_REDFT10, FFTW_REDFT10,
                                         FFTW_ESTIMATE);
    fftw_plan inverse = fftw_plan_r2r_2d((int)H2, (int)W2, out, out, FFTW_REDFT01, FFTW_REDFT01,
                                         FFTW_ESTIMATE);
    unsigned char* result = must(calloc((size_t)(out_stride * H2), 1));
    const double scale = 1.0 / (4.0 * (double)W * (double)H);

    for (int c = 0; c < 3; ++c) { /* blue, green, red: the order of the bytes in a pixel */
        for (long y = 0; y < H; ++y) {
            const unsigned char* row = rows + (H - 1 - y) * in_stride;
            for (long x = 0; x < W; ++x) in[y * W + x] = row[3 * x + c];
        }
        fftw_execute(forward);
        memset(out, 0, sizeof(double) * (size_t)(W2 * H2));
        for (long y = 0; y < H; ++y) memcpy(out + y * W2, in + y * W, sizeof(double) * (size_t)W);
        fftw_execute(inverse);
        for (long y = 0; y < H2; ++y) {
            unsigned char* row = result + (H2 - 1 - y) * out_stride;
            for (long x = 0; x < W2; ++x) {
                const double v = out[y * W2 + x] * scale;
                row[3 * x + c] = v >= 255.0 ? 255 : v > 0.0 ? (unsigned char)v : 0;
            }
        }
    }

    const size_t len = strlen(argv[1]);
    char* name = must(malloc(len + 16));
    memcpy(name, argv[1], len > 4 ? len - 4 : 0);
    strcpy(name + (len > 4 ? len - 4 : 0), "_fftw.bmp");
    unsigned char oh[54];
    memcpy(oh, head, 54);
    put32(oh + 2, (uint32_t)(54 + out_stride * H2));
    put32(oh + 18, (uint32_t)W2);
    put32(oh + 22, (uint32_t)H2);
    put32(oh + 34, 0);
    FILE* o = fopen(name, "wb");
    if (o == NULL || fwrite(oh, 1, 54, o) != 54 ||
        fwrite(result, 1, (size_t)(out_stride * H2), o) != (size_t)(out_stride * H2) ||
        fclose(o) != 0) {
        perror(name);
        return 1;
    }
    fftw_destroy_plan(forward);
    fftw_destroy_plan(inverse);
    fftw_free(in);
    fftw_free(out);
    free(rows);
    free(result);
    free(name);
    return 0;
}
