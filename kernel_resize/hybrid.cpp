#include "kernel_resize/hybrid.h"

#include <cstddef>
#include <cstring>

#include "image/bmp.h"
#include "kernel_resize/lanczos3.h"

namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

int iabs(int v) { return v < 0 ? -v : v; }

}  // namespace

EdgeMask::EdgeMask(int w, int h)
    : width(w),
      height(h),
      channel{HeapArray<std::uint8_t>(sz(w) * sz(h), "edge mask red"),
              HeapArray<std::uint8_t>(sz(w) * sz(h), "edge mask green"),
              HeapArray<std::uint8_t>(sz(w) * sz(h), "edge mask blue")},
      combined(sz(w) * sz(h), "edge mask"),
      widened(sz(w) * sz(h), "widened edge mask") {}

void row_edge_mask(const std::uint8_t* red, const std::uint8_t* green, const std::uint8_t* blue,
                   int W, int H, EdgeMask* mask) {
    const std::uint8_t* planes[3] = {red, green, blue};
    const std::size_t h = sz(H);
    for (int x = 0; x < W; ++x) {
        // A picture one pixel wide compares its only column with itself.
        const std::size_t left = sz(mirror_index(x - 1, W)) * h;
        const std::size_t right = sz(mirror_index(x + 1, W)) * h;
        const std::size_t at = sz(x) * h;
        for (std::size_t y = 0; y < h; ++y) {
            std::uint8_t any = 0;
            for (int c = 0; c < 3; ++c) {
                int d = planes[c][left + y] - planes[c][right + y];
                std::uint8_t flag = iabs(d) >= kEdgeThreshold;
                mask->channel[c][at + y] = flag;
                any |= flag;
            }
            mask->combined[at + y] = any;
        }
    }
}

void column_edge_mask(const double* red, const double* green, const double* blue, int W2, int H,
                      EdgeMask* mask) {
    const double* planes[3] = {red, green, blue};
    const std::size_t h = sz(H);
    for (std::size_t x = 0; x < sz(W2); ++x) {
        for (int y = 0; y < H; ++y) {
            const std::size_t lower = x * h + sz(mirror_index(y - 1, H));
            const std::size_t upper = x * h + sz(mirror_index(y + 1, H));
            const std::size_t at = x * h + sz(y);
            std::uint8_t any = 0;
            for (int c = 0; c < 3; ++c) {
                // Truncated toward zero before the comparison: 12.9 is no edge, -13.4 is.
                int d = static_cast<int>(planes[c][upper] - planes[c][lower]);
                std::uint8_t flag = iabs(d) >= kEdgeThreshold;
                mask->channel[c][at] = flag;
                any |= flag;
            }
            mask->combined[at] = any;
        }
    }
}

void dilate_mask(EdgeMask* mask, MaskDirection direction) {
    const int W = mask->width, H = mask->height;
    const std::size_t n = sz(W) * sz(H);
    const std::uint8_t* src = mask->combined.get();
    std::uint8_t* dst = mask->widened.get();
    std::memcpy(dst, src, n);
    if (direction == MaskDirection::along_rows) {
        // Neighbours along a row are whole columns apart.
        for (int x = 0; x < W; ++x) {
            const std::uint8_t* col = src + sz(x) * sz(H);
            for (int d = -2; d <= 2; ++d) {
                int nx = x + d;
                if (d == 0 || nx < 0 || nx >= W) continue;
                std::uint8_t* to = dst + sz(nx) * sz(H);
                for (std::size_t y = 0; y < sz(H); ++y) to[y] |= col[y];
            }
        }
    } else {
        for (std::size_t x = 0; x < sz(W); ++x) {
            const std::uint8_t* col = src + x * sz(H);
            std::uint8_t* to = dst + x * sz(H);
            for (int y = 0; y < H; ++y) {
                if (!col[y]) continue;
                for (int ny = y - 2; ny <= y + 2; ++ny)
                    if (ny >= 0 && ny < H) to[ny] = 1;
            }
        }
    }
}

void hybrid_rows(int lines, int N, int M, const std::uint8_t* in, const std::uint8_t* mask,
                 double* out) {
    const std::size_t nl = sz(lines);
    HeapArray<double> src(sz(N) * nl, "hybrid input");
    for (std::size_t i = 0; i < sz(N) * nl; ++i) src[i] = in[i];
    // Every sample first takes the Lanczos3 resize's own value; the flagged ones are then
    // replaced, so the unflagged ones cannot differ from that resize.
    lanczos3_rows(lines, N, M, src.get(), out);
    HeapArray<OutputTaps> taps(sz(M), "hybrid taps");
    line_taps(N, M, taps.get());
    for (int k = 0; k < M; ++k) {
        const OutputTaps& tp = taps[sz(k)];
        const std::uint8_t* flags = mask + sz(tp.t) * nl;
        double* o = out + sz(k) * nl;
        for (std::size_t l = 0; l < nl; ++l)
            if (flags[l]) o[l] = linear_sum(src.get() + l, lines, tp);
    }
}

void hybrid_columns(int lines, int N, int M, const double* in, const std::uint8_t* mask,
                    std::uint8_t* out) {
    HeapArray<OutputTaps> taps(sz(M), "hybrid taps");
    line_taps(N, M, taps.get());
    for (std::size_t l = 0; l < sz(lines); ++l) {
        const double* v = in + l * sz(N);
        const std::uint8_t* flags = mask + l * sz(N);
        std::uint8_t* o = out + l * sz(M);
        for (int k = 0; k < M; ++k) {
            const OutputTaps& tp = taps[sz(k)];
            o[k] = clamp_to_byte(flags[tp.t] ? linear_sum(v, 1, tp) : lanczos3_sum(v, 1, tp));
        }
    }
}

Status hybrid_resize(const std::string& path, int W, int H, int W2, int H2,
                     const std::uint8_t* red, const std::uint8_t* green,
                     const std::uint8_t* blue) {
    const std::uint8_t* planes[3] = {red, green, blue};
    const char* row_names[3] = {"hybrid red rows", "hybrid green rows", "hybrid blue rows"};
    HeapArray<double> rows[3];
    {
        EdgeMask row_mask(W, H);
        row_edge_mask(red, green, blue, W, H, &row_mask);
        dilate_mask(&row_mask, MaskDirection::along_rows);
        for (int c = 0; c < 3; ++c) {
            rows[c] = HeapArray<double>(sz(W2) * sz(H), row_names[c]);
            hybrid_rows(H, W, W2, planes[c], row_mask.widened.get(), rows[c].get());
        }
    }
    const std::size_t n = sz(W2) * sz(H2);
    HeapArray<std::uint8_t> out[3] = {HeapArray<std::uint8_t>(n, "hybrid red"),
                                      HeapArray<std::uint8_t>(n, "hybrid green"),
                                      HeapArray<std::uint8_t>(n, "hybrid blue")};
    {
        EdgeMask column_mask(W2, H);
        column_edge_mask(rows[0].get(), rows[1].get(), rows[2].get(), W2, H, &column_mask);
        dilate_mask(&column_mask, MaskDirection::along_columns);
        for (int c = 0; c < 3; ++c) {
            hybrid_columns(W2, H, H2, rows[c].get(), column_mask.widened.get(), out[c].get());
            rows[c].reset();
        }
    }
    return write_result_bmp(path, "%s_hybrid.bmp", W2, H2, out[0].get(), out[1].get(),
                            out[2].get());
}
