#include "image/jpeg_markers.h"

#include <cstring>

#include "image/byte_order.h"

namespace {

constexpr unsigned char kSoi = 0xD8;
constexpr unsigned char kEoi = 0xD9;
constexpr unsigned char kSos = 0xDA;
constexpr unsigned char kTem = 0x01;

bool is_frame(unsigned char m) {
    // C4 (Huffman tables), C8 (reserved) and CC (arithmetic conditioning) share the range.
    return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
}

// Frames the codecs decode: baseline, extended and progressive, Huffman or arithmetic coded.
// The others are lossless (C3, CB) or hierarchical (C5 to C7, CD to CF).
bool frame_read(unsigned char m) {
    return m == 0xC0 || m == 0xC1 || m == 0xC2 || m == 0xC9 || m == 0xCA;
}

// Where the marker after entropy-coded data at `at` begins (its first FF), or size when there
// is none. In the data FF 00 stands for a byte FF and FF D0 to FF D7 are restart markers.
std::size_t next_marker(const unsigned char* data, std::size_t size, std::size_t at) {
    while (at < size) {
        const void* hit = std::memchr(data + at, 0xFF, size - at);
        if (hit == nullptr) return size;
        const std::size_t p = static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - data);
        std::size_t q = p + 1;
        while (q < size && data[q] == 0xFF) ++q;  // fill bytes
        if (q >= size) return size;
        if (data[q] != 0x00 && !(data[q] >= 0xD0 && data[q] <= 0xD7)) return p;
        at = q + 1;
    }
    return size;
}

}  // namespace

Status check_jpeg_markers(const unsigned char* data, std::size_t size,
                          const std::string& display_name, JpegFacts* facts) {
    const std::string& n = display_name;
    if (size < sizeof kJpegStart || std::memcmp(data, kJpegStart, sizeof kJpegStart) != 0)
        return file_failure(StatusCode::wrong_kind, n, "is not a JPEG picture");
    JpegFacts f;
    bool have_frame = false;
    int scans = 0;
    std::size_t at = 2;
    for (;;) {
        // After a scan's header come its entropy-coded data, then a marker.
        if (scans > 0) at = next_marker(data, size, at);
        if (at >= size)
            return file_failure(StatusCode::short_file, n,
                                scans == 0 ? "is cut short: it ends before its first scan"
                                           : "is cut short: it has no end-of-image marker");
        const Status cut =
            file_failure(StatusCode::short_file, n, "is cut short inside a marker segment");
        // A marker: FF, any number of fill FFs, then its code.
        if (data[at] != 0xFF)
            return file_failure(StatusCode::bad_header, n,
                                "is damaged: a marker is missing at byte " + std::to_string(at));
        while (at < size && data[at] == 0xFF) ++at;
        if (at >= size) return cut;
        const unsigned char m = data[at++];
        if (m == kSoi || m == kTem || (m >= 0xD0 && m <= 0xD7)) continue;  // no length
        if (m == kEoi) {
            if (scans == 0)
                return file_failure(StatusCode::bad_header, n,
                                    "is damaged: it ends before any scan");
            break;
        }
        if (size - at < 2) return cut;
        const std::size_t length = get_be16(data + at);
        if (length < 2)
            return file_failure(StatusCode::bad_header, n,
                                "is damaged: a marker segment is too short");
        if (size - at < length) return cut;
        const unsigned char* body = data + at + 2;
        if (is_frame(m)) {
            if (have_frame)
                return file_failure(StatusCode::bad_header, n,
                                    "is damaged: it has two frame headers");
            if (!frame_read(m))
                return file_failure(StatusCode::unsupported, n,
                                    "is a lossless or hierarchical JPEG, which is not read");
            if (length < 8)
                return file_failure(StatusCode::bad_header, n,
                                    "is damaged: its frame header is too short");
            if (body[0] != 8)
                return file_failure(StatusCode::unsupported, n,
                                    "has " + std::to_string(body[0]) +
                                        "-bit samples; JPEG pictures of 8-bit samples are read");
            f.height = get_be16(body + 1);
            f.width = get_be16(body + 3);
            f.components = body[5];
            f.progressive = m == 0xC2 || m == 0xCA;
            if (f.components == 4)
                return file_failure(StatusCode::unsupported, n,
                                    "is a CMYK JPEG, which is not read (save it as RGB first)");
            if (f.components != 1 && f.components != 3)
                return file_failure(
                    StatusCode::unsupported, n,
                    "has " + std::to_string(f.components) +
                        " colour components; greyscale and colour JPEG pictures are read");
            if (f.width == 0 || f.height == 0)
                return file_failure(StatusCode::bad_header, n,
                                    "has an invalid size of " + std::to_string(f.width) + " x " +
                                        std::to_string(f.height) + " pixels");
            have_frame = true;
        }
        if (m == kSos) {
            if (!have_frame)
                return file_failure(StatusCode::bad_header, n,
                                    "is damaged: a scan comes before its frame header");
            if (++scans > kMostJpegScans)
                return file_failure(StatusCode::unsupported, n,
                                    "has more than " + std::to_string(kMostJpegScans) +
                                        " scans, far more than encoders write");
        }
        at += length;
    }
    *facts = f;
    return Status::success();
}
