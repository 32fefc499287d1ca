// Writing a 3840 x 2160 RGB result as PNG: the tool's writer (encode_png) beside the
// candidates it was chosen from, libpng with zlib's fastest settings and libdeflate's fastest
// levels on whole filtered pictures, and beside the Lanczos-3 method's own time on the input.
// The picture is the 24-bit BMP named by ENLARGE3_PNG_BENCH_BMP (a real enlargement, e.g.
// input B's Lanczos-3 result from bench/compare.sh), or else a smooth synthetic one with
// sensor-like noise; ENLARGE3_PNG_BENCH_INPUT names the input the method enlarges to the
// picture's size (input B). Run a Release build with ENLARGE3_THREADS=1 to compare the work:
// build-bench/bench/png_bench

#include <benchmark/benchmark.h>
#include <libdeflate.h>
#include <png.h>
#include <zlib.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "image/codecs.h"
#include "image/picture.h"
#include "kernel_resize/lanczos3.h"

namespace {

struct Picture {
    PlanarPicture planes;
    std::vector<png_byte> rows;  // the same, interleaved RGB from the top
    std::vector<std::uint8_t> by_row[3];  // the planes row by row, as the kernel methods give them
};

const Picture& picture() {
    static const Picture pic = [] {
        Picture p;
        const char* path = std::getenv("ENLARGE3_PNG_BENCH_BMP");
        if (path == nullptr || !read_picture(path, &p.planes).ok()) {
            const int w = 3840, h = 2160;
            take_planes(w, h, false, &p.planes);
            std::mt19937 rng(1);
            std::normal_distribution<double> noise(0.0, 2.0);
            for (int x = 0; x < w; ++x)
                for (int y = 0; y < h; ++y) {
                    const double u = x / 300.0, v = y / 200.0;
                    const double base = 128 + 60 * std::sin(u) * std::cos(v) + 30 * std::sin(3.1 * u + v);
                    const std::size_t i = static_cast<std::size_t>(x) * h + static_cast<std::size_t>(y);
                    p.planes.red[i] = static_cast<std::uint8_t>(std::lround(base + noise(rng)));
                    p.planes.green[i] = static_cast<std::uint8_t>(std::lround(0.8 * base + noise(rng)));
                    p.planes.blue[i] = static_cast<std::uint8_t>(std::lround(0.6 * base + 40 + noise(rng)));
                }
        }
        const std::uint8_t* planes[3] = {p.planes.red.get(), p.planes.green.get(), p.planes.blue.get()};
        p.rows.resize(3 * static_cast<std::size_t>(p.planes.width) * static_cast<std::size_t>(p.planes.height));
        interleave_rows(planes, 3, p.planes.width, p.planes.height, PlaneOrder::by_column, 0,
                        static_cast<std::size_t>(p.planes.height), p.rows.data(),
                        3 * static_cast<std::ptrdiff_t>(p.planes.width));
        for (std::size_t c = 0; c < 3; ++c)
            for (std::size_t i = c; i < p.rows.size(); i += 3) p.by_row[c].push_back(p.rows[i]);
        return p;
    }();
    return pic;
}

void report(benchmark::State& state, std::size_t bytes) {
    const Picture& p = picture();
    state.counters["MB"] = static_cast<double>(bytes) / 1e6;
    state.counters["of_raw"] = static_cast<double>(bytes) / static_cast<double>(p.rows.size());
}

// The tool's writer from planes by column (as the DCT method gives them) or by row (the kernel
// methods).
void ToolWriter(benchmark::State& state, PlaneOrder order) {
    const Picture& p = picture();
    const bool by_row = order == PlaneOrder::by_row;
    const std::uint8_t* red = by_row ? p.by_row[0].data() : p.planes.red.get();
    const std::uint8_t* green = by_row ? p.by_row[1].data() : p.planes.green.get();
    const std::uint8_t* blue = by_row ? p.by_row[2].data() : p.planes.blue.get();
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::vector<unsigned char> out;
        out.reserve(p.rows.size() + (1u << 20));
        const Status st = encode_png("bench.png", p.planes.width, p.planes.height, red, green, blue,
                                     nullptr, order, [&out](const unsigned char* b, std::size_t n) {
                                         out.insert(out.end(), b, b + n);
                                         return true;
                                     });
        if (!st.ok()) state.SkipWithError(st.message.c_str());
        bytes = out.size();
    }
    report(state, bytes);
}
BENCHMARK_CAPTURE(ToolWriter, ByColumn, PlaneOrder::by_column)
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(ToolWriter, ByRow, PlaneOrder::by_row)->Unit(benchmark::kMillisecond)->UseRealTime();

// The yardstick: the Lanczos-3 method making the picture's size from the input.
void Lanczos3Method(benchmark::State& state) {
    const char* path = std::getenv("ENLARGE3_PNG_BENCH_INPUT");
    PlanarPicture in;
    if (path == nullptr || !read_picture(path, &in).ok()) {
        state.SkipWithError("ENLARGE3_PNG_BENCH_INPUT names no picture");
        return;
    }
    const Picture& p = picture();
    for (auto _ : state) {
        ResizedPlanes out;
        const Status st =
            lanczos3_resize(planes_of(in), p.planes.width, p.planes.height, &out, nullptr);
        if (!st.ok()) state.SkipWithError(st.message.c_str());
        benchmark::DoNotOptimize(out.plane[0].get());
    }
}
BENCHMARK(Lanczos3Method)->Unit(benchmark::kMillisecond)->UseRealTime();

// libdeflate on the whole picture at once (it has no streaming), filtered by one filter: the
// zlib stream only, as the file's image data would hold it.
void Libdeflate(benchmark::State& state, int level, int filter) {
    const Picture& p = picture();
    const std::size_t stride = 3 * static_cast<std::size_t>(p.planes.width);
    const std::size_t h = static_cast<std::size_t>(p.planes.height);
    libdeflate_compressor* c = libdeflate_alloc_compressor(level);
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::vector<unsigned char> filtered((stride + 1) * h);
        for (std::size_t t = 0; t < h; ++t) {
            const unsigned char* r = p.rows.data() + t * stride;
            unsigned char* f = filtered.data() + t * (stride + 1);
            *f++ = static_cast<unsigned char>(filter);
            for (std::size_t k = 0; k < stride; ++k)
                f[k] = static_cast<unsigned char>(
                    r[k] - (filter == 1 ? (k >= 3 ? r[k - 3] : 0) : (t > 0 ? r[k - stride] : 0)));
        }
        std::vector<unsigned char> out(libdeflate_zlib_compress_bound(c, filtered.size()));
        bytes =
            libdeflate_zlib_compress(c, filtered.data(), filtered.size(), out.data(), out.size());
    }
    libdeflate_free_compressor(c);
    report(state, bytes);
}
BENCHMARK_CAPTURE(Libdeflate, Level1Sub, 1, 1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Libdeflate, Level1Up, 1, 2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Libdeflate, Level2Sub, 2, 1)->Unit(benchmark::kMillisecond)->UseRealTime();

void on_write(png_structp png, png_bytep data, png_size_t n) {
    auto* out = static_cast<std::vector<unsigned char>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}

void on_flush(png_structp) {}

// libpng from interleaved rows with one zlib level, strategy and filter.
void Libpng(benchmark::State& state, int level, int strategy, int filter) {
    const Picture& p = picture();
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::vector<unsigned char> out;
        out.reserve(p.rows.size() + (1u << 20));
        png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        png_set_write_fn(png, &out, on_write, on_flush);
        png_set_IHDR(png, info, static_cast<png_uint_32>(p.planes.width),
                     static_cast<png_uint_32>(p.planes.height), 8, PNG_COLOR_TYPE_RGB,
                     PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_set_compression_level(png, level);
        png_set_compression_strategy(png, strategy);
        png_set_filter(png, PNG_FILTER_TYPE_BASE, filter);
        png_write_info(png, info);
        const std::size_t stride = 3 * static_cast<std::size_t>(p.planes.width);
        for (int t = 0; t < p.planes.height; ++t)
            png_write_row(png, p.rows.data() + static_cast<std::size_t>(t) * stride);
        png_write_end(png, info);
        png_destroy_write_struct(&png, &info);
        bytes = out.size();
    }
    report(state, bytes);
}
// zlib's fastest settings: level 1 with its default strategy, run-length matches only
// (Z_RLE: distance 1, which after the Up or Sub filter is where a photo's repeats are), and
// no matches at all (Z_HUFFMAN_ONLY: entropy coding of the filtered bytes alone).
BENCHMARK_CAPTURE(Libpng, Level1None, 1, Z_DEFAULT_STRATEGY, PNG_FILTER_NONE)
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Libpng, Level1Sub, 1, Z_DEFAULT_STRATEGY, PNG_FILTER_SUB)
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Libpng, Level1Up, 1, Z_DEFAULT_STRATEGY, PNG_FILTER_UP)
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Libpng, Level1RleNone, 1, Z_RLE, PNG_FILTER_NONE)
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Libpng, Level1RleSub, 1, Z_RLE, PNG_FILTER_SUB)
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Libpng, Level1RleUp, 1, Z_RLE, PNG_FILTER_UP)
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Libpng, HuffmanOnlyNone, 1, Z_HUFFMAN_ONLY, PNG_FILTER_NONE)
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Libpng, HuffmanOnlySub, 1, Z_HUFFMAN_ONLY, PNG_FILTER_SUB)
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Libpng, HuffmanOnlyUp, 1, Z_HUFFMAN_ONLY, PNG_FILTER_UP)
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Libpng, HuffmanOnlyAverage, 1, Z_HUFFMAN_ONLY, PNG_FILTER_AVG)
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Libpng, LibpngDefault, 6, Z_FILTERED, PNG_ALL_FILTERS)
    ->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
