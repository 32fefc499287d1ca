#include "image/jpeg_markers.h"

#include <cstring>

#include "image/byte_order.h"

namespace {

constexpr unsigned char kSoi = 0xD8;
constexpr unsigned char kEoi = 0xD9;
constexpr unsigned char kSos = 0xDA;
constexpr unsigned char kTem = 0x01;

Status fail(StatusCode code, const std::string& name, const std::string& what) {
    return Status::failure(code, "'" + name + "' " + what);
}

bool is_frame(unsigned char m) {
    // C4 (Huffman tables), C8 (reserved) and CC (arithmetic conditioning) share the range.
    return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
}

// Frames the codecs decode: baseline, extended and progressive, Huffman or arithmetic coded.
// The others are lossless (C3, CB) or hierarchical (C5 to C7, CD to CF).
bool frame_read(unsigned char m) {
    return m == 0xC0 || m == 0xC1 || m == 0xC2 || m == 0xC9 || m == 0xCA;
}

bool has_end_marker(const unsigned char* p, std::size_t n) {
    const unsigned char* end = p + n;
    while (n >= 2) {
        const void* hit = std::memchr(p, 0xFF, n - 1);
        if (hit == nullptr) return false;
        p = static_cast<const unsigned char*>(hit);
        if (p[1] == kEoi) return true;
        ++p;
        n = static_cast<std::size_t>(end - p);
    }
    return false;
}

}  // namespace

Status check_jpeg_markers(const unsigned char* data, std::size_t size,
                          const std::string& display_name, JpegFacts* facts) {
    const std::string& n = display_name;
    if (size < sizeof kJpegStart || std::memcmp(data, kJpegStart, sizeof kJpegStart) != 0)
        return fail(StatusCode::not_bmp, n, "is not a JPEG picture");
    const Status cut = fail(StatusCode::short_file, n, "is cut short: it ends before its first scan");
    JpegFacts f;
    bool have_frame = false;
    std::size_t at = 2;
    for (;;) {
        // A marker: FF, any number of fill FFs, then its code.
        if (at >= size) return cut;
        if (data[at] != 0xFF)
            return fail(StatusCode::bad_header, n, "is damaged: a marker is missing at byte " +
                                                       std::to_string(at));
        while (at < size && data[at] == 0xFF) ++at;
        if (at >= size) return cut;
        const unsigned char m = data[at++];
        if (m == kSoi || m == kTem || (m >= 0xD0 && m <= 0xD7)) continue;  // no length
        if (m == kEoi) return fail(StatusCode::bad_header, n, "is damaged: it ends before any scan");
        if (size - at < 2) return cut;
        const std::size_t length = get_be16(data + at);
        if (length < 2) return fail(StatusCode::bad_header, n, "is damaged: a marker segment is too short");
        if (size - at < length) return cut;
        const unsigned char* body = data + at + 2;
        if (is_frame(m)) {
            if (!frame_read(m))
                return fail(StatusCode::unsupported, n,
                            "is a lossless or hierarchical JPEG, which is not read");
            if (length < 8) return fail(StatusCode::bad_header, n, "is damaged: its frame header is too short");
            if (body[0] != 8)
                return fail(StatusCode::unsupported, n,
                            "has " + std::to_string(body[0]) +
                                "-bit samples; JPEG pictures of 8-bit samples are read");
            f.height = get_be16(body + 1);
            f.width = get_be16(body + 3);
            f.components = body[5];
            f.progressive = m == 0xC2 || m == 0xCA;
            if (f.components == 4)
                return fail(StatusCode::unsupported, n,
                            "is a CMYK JPEG, which is not read (save it as RGB first)");
            if (f.components != 1 && f.components != 3)
                return fail(StatusCode::unsupported, n,
                            "has " + std::to_string(f.components) +
                                " colour components; greyscale and colour JPEG pictures are read");
            if (f.width == 0 || f.height == 0)
                return fail(StatusCode::bad_header, n,
                            "has an invalid size of " + std::to_string(f.width) + " x " +
                                std::to_string(f.height) + " pixels");
            have_frame = true;
        }
        at += length;
        if (m == kSos) break;
    }
    if (!have_frame) return fail(StatusCode::bad_header, n, "is damaged: a scan comes before its frame header");
    if (!has_end_marker(data + at, size - at))
        return fail(StatusCode::short_file, n, "is cut short: it has no end-of-image marker");
    *facts = f;
    return Status::success();
}
