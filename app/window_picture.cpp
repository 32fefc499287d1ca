#include "app/window_picture.h"

#include <climits>
#include <cstdio>
#include <new>

#include "base/file_io.h"
#include "image/bmp.h"

namespace {

// A BMP's size field is a signed 32-bit number, so no byte past this offset is ever read.
constexpr std::uint64_t kMaxHeldBytes = INT32_MAX;

// Sample c drawn with alpha a over background sample g, rounded to the nearest.
std::uint8_t over(std::uint8_t c, std::uint8_t a, std::uint8_t g) {
    return static_cast<std::uint8_t>((c * a + g * (255 - a) + 127) / 255);
}

}  // namespace

bool read_whole_file(const std::string& path, FileBytes* out) {
    std::uint64_t length = 0;
    int err = 0;
    if (file_kind(path, &length, &err) != FileKind::regular) return false;
    const std::size_t n = static_cast<std::size_t>(length < kMaxHeldBytes ? length : kMaxHeldBytes);
    // A block of 0 bytes would be no block at all; keep one so data is never null.
    std::shared_ptr<unsigned char> data(new (std::nothrow) unsigned char[n ? n : 1](),
                                        std::default_delete<unsigned char[]>());
    if (!data) return false;
    FILE* f = open_file(path, "rb");
    if (f == nullptr) return false;
    const bool complete = std::fread(data.get(), 1, n, f) == n;
    std::fclose(f);
    if (!complete) return false;
    out->data = std::move(data);
    out->size = n;
    out->file_length = length;
    return true;
}

bool bmp_of_picture(const PlanarPicture& pic, std::uint32_t background_rgb, BmpPicture* out) {
    if (!bmp_size_fits(pic.width, pic.height)) return false;
    const std::size_t w = static_cast<std::size_t>(pic.width);
    const std::size_t h = static_cast<std::size_t>(pic.height);
    const std::size_t stride = static_cast<std::size_t>(bmp_row_stride(w));
    const std::size_t size = kBmpHeaderBytes + stride * h;
    // Zeroed, so the rows' padding is too.
    std::shared_ptr<unsigned char> bytes(new (std::nothrow) unsigned char[size](),
                                         std::default_delete<unsigned char[]>());
    if (!bytes) return false;
    put_bmp_header(bmp_result_header(pic.width, pic.height), bytes.get());
    const std::uint8_t background[3] = {static_cast<std::uint8_t>(background_rgb),
                                        static_cast<std::uint8_t>(background_rgb >> 8),
                                        static_cast<std::uint8_t>(background_rgb >> 16)};
    const std::uint8_t* planes[3] = {pic.blue.get(), pic.green.get(), pic.red.get()};
    const std::uint8_t* alpha = pic.alpha.get();
    unsigned char* rows = bytes.get() + kBmpHeaderBytes;
    for (std::size_t x = 0; x < w; ++x) {
        // Column x of the planes, top row first, into the bottom-up rows.
        const std::size_t at = x * h;
        for (std::size_t t = 0; t < h; ++t) {
            unsigned char* px = rows + (h - 1 - t) * stride + 3 * x;
            for (int c = 0; c < 3; ++c) {
                const std::uint8_t v = planes[c][at + t];
                px[c] = alpha != nullptr ? over(v, alpha[at + t], background[c]) : v;
            }
        }
    }
    out->bytes = std::move(bytes);
    out->width = pic.width;
    out->height = pic.height;
    out->header_offset = kBmpFileHeaderBytes;
    out->pixel_offset = kBmpHeaderBytes;
    return true;
}

Status window_picture(FileBytes bytes, const std::string& path, const DecodeLimits& limits,
                      BmpPicture* out, PictureKind* kind) {
    BmpHeader h;
    if (bmp_check(bytes.data.get(), bytes.size, bytes.file_length, path, &h).ok()) {
        out->bytes = std::move(bytes.data);
        out->width = h.width;
        out->height = h.height;
        out->header_offset = kBmpFileHeaderBytes;
        out->pixel_offset = h.pixel_offset;
        if (kind != nullptr) *kind = PictureKind::bmp;
        return Status::success();
    }
    PlanarPicture pic;
    Status st = decode_picture(bytes.data.get(), bytes.size, path, limits, &pic);
    if (!st.ok()) return st;
    const PictureKind read_as = picture_kind(bytes.data.get(), bytes.size);
    bytes = FileBytes{};
    if (!bmp_of_picture(pic, kTransparencyRgb, out))
        return Status::failure(StatusCode::too_large,
                               "'" + path + "' (" + std::to_string(pic.width) + " x " +
                                   std::to_string(pic.height) +
                                   " pixels) is too large to show: no memory for it");
    if (kind != nullptr) *kind = read_as;
    return Status::success();
}

Status load_window_picture(const std::string& path, BmpPicture* out) {
    FileBytes bytes;
    if (!read_whole_file(path, &bytes))
        return Status::failure(StatusCode::cannot_open, "'" + path + "' cannot be read");
    return window_picture(std::move(bytes), path, machine_decode_limits(), out);
}
