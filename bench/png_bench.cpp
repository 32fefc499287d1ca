// Writing a 3840 x 2160 RGB result as PNG: the tool's writer (encode_png) beside libpng with
// zlib's fastest compressing settings, to show what the stored (level 0) rows cost and save.
// The picture is the 24-bit BMP named by ENLARGE3_PNG_BENCH_BMP (a real enlargement, e.g.
// input B's Lanczos-3 result from bench/compare.sh), or else a smooth synthetic one with
// sensor-like noise. Run a Release build: build-bench/bench/png_bench

#include <benchmark/benchmark.h>
#include <png.h>
#include <zlib.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "image/codecs.h"
#include "image/picture.h"

namespace {

struct Picture {
    PlanarPicture planes;
    std::vector<png_byte> rows;  // the same, interleaved RGB from the top
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
        return p;
    }();
    return pic;
}

void report(benchmark::State& state, std::size_t bytes) {
    const Picture& p = picture();
    state.counters["MB"] = static_cast<double>(bytes) / 1e6;
    state.counters["of_raw"] = static_cast<double>(bytes) / static_cast<double>(p.rows.size());
}

void ToolWriter(benchmark::State& state) {
    const Picture& p = picture();
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::vector<unsigned char> out;
        out.reserve(p.rows.size() + (1u << 20));
        const Status st = encode_png("bench.png", p.planes.width, p.planes.height, p.planes.red.get(),
                                     p.planes.green.get(), p.planes.blue.get(), nullptr,
                                     PlaneOrder::by_column, [&out](const unsigned char* b, std::size_t n) {
                                         out.insert(out.end(), b, b + n);
                                         return true;
                                     });
        if (!st.ok()) state.SkipWithError(st.message.c_str());
        bytes = out.size();
    }
    report(state, bytes);
}
BENCHMARK(ToolWriter)->Unit(benchmark::kMillisecond)->UseRealTime();

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
