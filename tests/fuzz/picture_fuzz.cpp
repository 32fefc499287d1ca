// Arbitrary bytes as a dropped picture. Every reader decodes them from memory (BMP of every
// kind, PNG, JPEG, and their metadata) and again from disk, and the two must agree to the byte
// and the word; the EXIF and zlib readers take them as they are; a picture that decodes goes
// through the PNG writer and must come back unchanged, its profile with it; the windows
// must take exactly what decodes and draw its samples; and the bytes go through the resize run
// and every resizer at small output sizes, with BMP and PNG results in turn. Built with libFuzzer,
// AddressSanitizer and UndefinedBehaviorSanitizer; bench/fuzz.sh runs it.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/resize_run.h"
#include "app/window_picture.h"
#include "image/codecs.h"
#include "image/picture.h"
#include "image/picture_meta.h"
#include "image/zlib_stream.h"

namespace {

// Results are synced to the disk, which on a disk costs milliseconds per input; a folder in
// memory makes the syncs free and leaves the fuzzer its speed.
std::string scratch_path() {
    const char* tmp = std::getenv("TMPDIR");
    const char* folder = tmp != nullptr ? tmp : access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return std::string(folder) + "/enlarge3-fuzz-" + std::to_string(getpid()) + ".bmp";
}

// Inputs are at most a few KiB, but a header may claim far more: decoding stays within this,
// so that each input runs quickly and the memory refusal is exercised.
constexpr std::uint64_t kFuzzMemory = 32u << 20;

bool same_plane(const HeapArray<std::uint8_t>& a, const HeapArray<std::uint8_t>& b, std::size_t n) {
    return (a.get() == nullptr) == (b.get() == nullptr) &&
           (a.get() == nullptr || std::memcmp(a.get(), b.get(), n) == 0);
}

bool same_picture(const PlanarPicture& a, const PlanarPicture& b) {
    const std::size_t n = static_cast<std::size_t>(a.width) * static_cast<std::size_t>(a.height);
    return a.width == b.width && a.height == b.height && same_plane(a.red, b.red, n) &&
           same_plane(a.green, b.green, n) && same_plane(a.blue, b.blue, n) &&
           same_plane(a.alpha, b.alpha, n);
}

// Whether shown's rows are pic's samples, drawn over the window's grey where transparent.
bool same_as_drawn(const PlanarPicture& pic, const BmpPicture& shown) {
    if (shown.width != pic.width || shown.height != pic.height) return false;
    const std::size_t w = static_cast<std::size_t>(pic.width);
    const std::size_t h = static_cast<std::size_t>(pic.height);
    const std::size_t stride = (3 * w + 3) / 4 * 4;
    const std::uint8_t* planes[3] = {pic.blue.get(), pic.green.get(), pic.red.get()};
    for (std::size_t x = 0; x < w; ++x)
        for (std::size_t t = 0; t < h; ++t) {
            const unsigned char* px = shown.rows() + (h - 1 - t) * stride + 3 * x;
            const int a = pic.has_alpha() ? pic.alpha[x * h + t] : 255;
            for (int c = 0; c < 3; ++c) {
                const int v = planes[c][x * h + t];
                if (px[c] != (v * a + 0xC0 * (255 - a) + 127) / 255) return false;
            }
        }
    return true;
}

void fail(const char* what) {
    std::fprintf(stderr, "picture_fuzz: %s\n", what);
    std::abort();
}

}  // namespace

// The run reads pictures within the machine's memory; here it is held to the same bound as the
// decoders, so that a tiny file claiming a huge picture is refused rather than read at length.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("ENLARGE3_MEMORY_LIMIT", std::to_string(kFuzzMemory).c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = scratch_path();
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return 0;
    if (size > 0) std::fwrite(data, 1, size, f);
    std::fclose(f);

    // The metadata readers on the bytes themselves, as an EXIF block and as a zlib stream.
    std::string problem;
    const int orientation = exif_orientation(data, size, &problem);
    if (orientation < -1 || orientation > 8 || (orientation == -1) == problem.empty())
        fail("an EXIF block gave an orientation outside its range");
    std::vector<std::uint8_t> inflated;
    if (zlib_inflate(data, size, 1u << 16, &inflated) != InflateResult::ok && !inflated.empty())
        fail("a refused zlib stream left bytes");

    DecodeLimits limits;
    limits.memory_bytes = kFuzzMemory;
    PlanarPicture in_memory, from_disk;
    PictureMeta meta, meta_from_disk;
    const Status decoded = decode_picture(data, size, path, limits, &in_memory, &meta);
    const Status read = read_picture(path, &from_disk, limits, nullptr, &meta_from_disk);
    if (decoded.code != read.code || decoded.message != read.message)
        fail("reading from disk and decoding in memory disagree");
    if (decoded.ok()) {
        if (!same_picture(in_memory, from_disk)) fail("the disk and memory planes differ");
        if (meta.icc != meta_from_disk.icc || meta.notes != meta_from_disk.notes ||
            meta.orientation != meta_from_disk.orientation)
            fail("the disk and memory metadata differ");
        std::vector<unsigned char> png;
        const Status written = encode_png(
            "fuzz.png", in_memory.width, in_memory.height, in_memory.red.get(),
            in_memory.green.get(), in_memory.blue.get(), in_memory.alpha.get(),
            PlaneOrder::by_column,
            [&png](const unsigned char* b, std::size_t n) {
                png.insert(png.end(), b, b + n);
                return true;
            },
            &meta);
        if (!written.ok()) fail("a decoded picture could not be written as PNG");
        PlanarPicture again;
        DecodeLimits unlimited;
        if (!decode_png(png.data(), png.size(), "fuzz.png", unlimited, &again).ok() ||
            !same_picture(in_memory, again))
            fail("a PNG written from decoded planes does not read back the same");
        PictureMeta carried;
        read_png_meta(png.data(), png.size(), "fuzz.png", &carried);
        if (carried.icc != meta.icc || !carried.notes.empty())
            fail("a PNG written with a profile does not carry it unchanged");
    }

    // The windows take exactly the pictures the run reads, and draw their samples.
    FileBytes bytes;
    bytes.data = std::shared_ptr<unsigned char>(new unsigned char[size + 1](),
                                                std::default_delete<unsigned char[]>());
    if (size > 0) std::memcpy(bytes.data.get(), data, size);
    bytes.size = size;
    bytes.file_length = size;
    BmpPicture shown;
    const Status taken = window_picture(bytes, path, limits, &shown);
    if (taken.ok() != decoded.ok()) fail("the window and the run disagree on a picture");
    if (taken.ok() && !same_as_drawn(in_memory, shown)) fail("the window draws other samples");

    // Output sizes near the picture's own, kept small so that every input runs quickly:
    // growth (the DCT method's range), reduction and sizes of 0 all occur.
    int out_w = 5, out_h = 3;
    if (decoded.ok()) {
        const int grow = static_cast<int>(size % 7);
        out_w = in_memory.width <= 40 ? in_memory.width + grow : static_cast<int>(size % 41);
        out_h = in_memory.height <= 40 ? in_memory.height + grow / 2 : static_cast<int>(size % 37);
    }
    // Both formats, alternately: the PNG results carry the alpha plane through every method.
    const FormatChoice format = size % 2 == 0 ? FormatChoice::bmp : FormatChoice::png;
    RunReport report = resize_run(path, out_w, out_h, kAllMethods, nullptr, format);
    (void)report;
    for (int m = 0; m < kMethodCount; ++m)
        for (ResultFormat kind : {ResultFormat::bmp, ResultFormat::png})
            std::remove(method_result_name(path, method_name(m), kind).c_str());
    return 0;
}
