#include "dft_resize/dft_resize.h"

#include <cstdio>
#include <string>

#include "base/alloc.h"
#include "base/numeric.h"
#include "dft_resize/dft_interpolate.h"

bool dft_resize_size_ok(int W, int H, int W2, int H2) {
    return W >= 1 && H >= 1 && W2 >= W && H2 >= H && W2 <= kMaxDftResizeSide &&
           H2 <= kMaxDftResizeSide;
}

namespace {

void colour_line(const char* line) {
    std::fputs(line, stdout);
    // The stage lines go to unbuffered standard error; flushing keeps both streams in the
    // order they were written when they share one file.
    std::fflush(stdout);
}

}  // namespace

Status dft_resize_image(const PlaneSet& in, int W2, int H2, ResizedPlanes* out,
                        RunProgress* progress) {
    const int W = in.width, H = in.height;
    if (!dft_resize_size_ok(W, H, W2, H2))
        return Status::failure(
            StatusCode::bad_size,
            "dct: cannot make " + std::to_string(W2) + " x " + std::to_string(H2) + " from " +
                std::to_string(W) + " x " + std::to_string(H) +
                ": the DCT method only enlarges, each side from the picture's up to " +
                std::to_string(kMaxDftResizeSide) + " pixels");
    const char* names[4] = {"RUPOUT", "GUPOUT", "BUPOUT", "AUPOUT"};
    out->make(W2, H2, in.count(), PlaneOrder::by_column, names);
    DftPlaneWork work(W, H, W2, H2);
    set_units(progress, static_cast<std::uint64_t>(in.count()) * dft_interpolate_units(work));
    const char* lines[4] = {"RED START\n", "GREEN START\n", "BLUE START\n", "ALPHA START\n"};
    if (!in.has_alpha()) {
        const bool done = for_each_plane(3, progress, [&](int c) {
            colour_line(lines[c]);
            dft_interpolate_with(work, in.plane[c], out->plane[c].get(), progress);
        });
        return done ? Status::success() : stopped_status("dct");
    }
    // Alpha first: its values, kept unclamped, are what the weighted colours are divided by.
    const WeightedColours weighted = weight_by_alpha(in);
    HeapArray<double> alpha(to_size(W2) * to_size(H2), "alpha values");
    const int order[4] = {3, 0, 1, 2};
    const bool done = for_each_plane(4, progress, [&](int i) {
        const int c = order[i];
        colour_line(lines[c]);
        DftResults results;
        results.bytes = out->plane[c].get();
        if (c == 3) {
            results.keep = alpha.get();
            dft_interpolate_with(work, in.plane[3], results, progress);
        } else {
            results.unweight_by = alpha.get();
            dft_interpolate_with(work, weighted.plane[c].get(), results, progress);
        }
    });
    return done ? Status::success() : stopped_status("dct");
}

std::uint64_t dft_resize_memory_needed(int W, int H, int W2, int H2, bool alpha) {
    if (!dft_resize_size_ok(W, H, W2, H2)) return 0;
    const std::uint64_t px = static_cast<std::uint64_t>(W2) * static_cast<std::uint64_t>(H2);
    // With alpha, the weighted colours and alpha's values beside the four result planes.
    if (alpha)
        return dft_interpolate_memory(W, H, W2, H2) + weighted_colours_bytes(W, H) +
               (4 + sizeof(double)) * px;
    return dft_interpolate_memory(W, H, W2, H2) + 3 * px;
}
