#include "dft_resize/dft_resize.h"

#include <cstddef>
#include <cstdio>

#include "base/alloc.h"
#include "dft_resize/dft_interpolate.h"
#include "image/bmp.h"

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

Status dft_resize_image(const std::string& path, int W, int H, int W2, int H2,
                        const std::uint8_t* red, const std::uint8_t* green,
                        const std::uint8_t* blue, const std::uint8_t* alpha, ResultFormat format,
                        RunProgress* progress) {
    if (!dft_resize_size_ok(W, H, W2, H2))
        return Status::failure(
            StatusCode::bad_size,
            "dct: cannot make " + std::to_string(W2) + " x " + std::to_string(H2) + " from " +
                std::to_string(W) + " x " + std::to_string(H) +
                ": the DCT method only enlarges, each side from the picture's up to " +
                std::to_string(kMaxDftResizeSide) + " pixels");
    const std::size_t n = static_cast<std::size_t>(W2) * static_cast<std::size_t>(H2);
    const int planes = alpha != nullptr ? 4 : 3;
    HeapArray<std::uint8_t> r(n, "RUPOUT");
    HeapArray<std::uint8_t> g(n, "GUPOUT");
    HeapArray<std::uint8_t> b(n, "BUPOUT");
    HeapArray<std::uint8_t> a;
    if (alpha != nullptr) a = HeapArray<std::uint8_t>(n, "AUPOUT");
    {
        DftPlaneWork work(W, H, W2, H2);
        set_units(progress, static_cast<std::uint64_t>(planes) * dft_interpolate_units(work));
        const char* lines[4] = {"RED START\n", "GREEN START\n", "BLUE START\n", "ALPHA START\n"};
        const std::uint8_t* in[4] = {red, green, blue, alpha};
        std::uint8_t* out[4] = {r.get(), g.get(), b.get(), a.get()};
        for (int c = 0; c < planes; ++c) {
            if (stop_requested(progress)) break;
            colour_line(lines[c]);
            dft_interpolate_with(work, in[c], out[c], progress);
        }
    }
    if (stop_requested(progress)) return stopped_status("dct");
    Status written = write_result(path, "dct", format, W2, H2, r.get(), g.get(), b.get(), a.get());
    a.reset();
    b.reset();
    g.reset();
    r.reset();
    return written;
}

std::uint64_t dft_resize_memory_needed(int W, int H, int W2, int H2, bool alpha) {
    if (!dft_resize_size_ok(W, H, W2, H2)) return 0;
    const std::uint64_t px = static_cast<std::uint64_t>(W2) * static_cast<std::uint64_t>(H2);
    return dft_interpolate_memory(W, H, W2, H2) + (alpha ? 4 : 3) * px;
}
