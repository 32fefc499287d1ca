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

// Where the next marker at or after `at` begins (its first FF), or size when there is none:
// an FF followed, after any fill FFs, by a code other than 00. Entropy-coded data hold FF 00
// for a byte FF, and restart markers (FF D0 to FF D7), which are part of them; bytes that
// belong to no segment are skipped as the decoders skip them, FF 00 with them, up to any
// marker, a restart marker too.
std::size_t next_marker(const unsigned char* data, std::size_t size, std::size_t at,
                        bool in_entropy_coded_data) {
    while (at < size) {
        const void* hit = std::memchr(data + at, 0xFF, size - at);
        if (hit == nullptr) return size;
        const std::size_t p = static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - data);
        std::size_t q = p + 1;
        while (q < size && data[q] == 0xFF) ++q;  // fill bytes
        if (q >= size) return size;
        const bool restart = data[q] >= 0xD0 && data[q] <= 0xD7;
        if (data[q] != 0x00 && !(restart && in_entropy_coded_data)) return p;
        at = q + 1;
    }
    return size;
}

// A frame's colour component: its identifier and its 8 x 8 blocks.
struct Component {
    int id = 0;
    std::uint64_t blocks = 0;
};

// Blocks the scans may pass over beyond kMostJpegScanPasses times the frame's: about 0.1 s of
// work, so that a small picture may have as many scans as kMostJpegScans.
constexpr std::uint64_t kFreeBlockVisits = 1u << 22;

std::string number(std::uint64_t v) {
    return std::to_string(v);
}

}  // namespace

Status check_jpeg_markers(const unsigned char* data, std::size_t size,
                          const std::string& display_name, JpegFacts* facts,
                          std::vector<unsigned char>* without_stray) {
    const std::string& n = display_name;
    if (size < sizeof kJpegStart || std::memcmp(data, kJpegStart, sizeof kJpegStart) != 0)
        return file_failure(StatusCode::wrong_kind, n, "is not a JPEG picture");
    JpegFacts f;
    bool have_frame = false;
    int scans = 0;
    std::vector<Component> components;
    std::uint64_t frame_blocks = 0, visits = 0;
    std::vector<std::pair<std::size_t, std::size_t>> stray;  // [from, to), kept when asked for
    bool in_scan = false;  // the last segment was a scan header: entropy-coded data follow
    std::size_t at = 2;
    for (;;) {
        if (in_scan) {
            at = next_marker(data, size, at, true);
        } else if (at < size && data[at] != 0xFF) {
            const std::size_t marker = next_marker(data, size, at, false);
            if (f.stray_bytes == 0) f.first_stray = at;
            f.stray_bytes += marker - at;
            if (without_stray != nullptr) stray.emplace_back(at, marker);
            at = marker;
        }
        in_scan = false;
        if (at >= size)
            return file_failure(StatusCode::short_file, n,
                                scans == 0 ? "is cut short: it ends before its first scan"
                                           : "is cut short: it has no end-of-image marker");
        const Status cut =
            file_failure(StatusCode::short_file, n, "is cut short inside a marker segment");
        // A marker: FF, any number of fill FFs, then its code.
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
            if (f.width > kMostJpegSide || f.height > kMostJpegSide)
                return file_failure(StatusCode::unsupported, n,
                                    "is " + std::to_string(f.width) + " x " +
                                        std::to_string(f.height) +
                                        " pixels; JPEG pictures of at most " +
                                        std::to_string(kMostJpegSide) + " pixels a side are read");
            if (length < 8 + 3 * std::size_t(f.components))
                return file_failure(StatusCode::bad_header, n,
                                    "is damaged: its frame header is too short");
            // Each component's blocks: its samples, fewer where it is subsampled, in 8 x 8s.
            int h_most = 1, v_most = 1;
            for (int c = 0; c < f.components; ++c) {
                const int sampling = body[7 + 3 * c];
                const int h = sampling >> 4, v = sampling & 15;
                if (h < 1 || h > 4 || v < 1 || v > 4)
                    return file_failure(StatusCode::bad_header, n,
                                        "is damaged: its frame header gives a sampling factor "
                                        "of " +
                                            std::to_string(h) + " x " + std::to_string(v));
                h_most = h > h_most ? h : h_most;
                v_most = v > v_most ? v : v_most;
            }
            for (int c = 0; c < f.components; ++c) {
                const int h = body[7 + 3 * c] >> 4, v = body[7 + 3 * c] & 15;
                const std::uint64_t w = (std::uint64_t(f.width) * h + h_most - 1) / h_most;
                const std::uint64_t t = (std::uint64_t(f.height) * v + v_most - 1) / v_most;
                components.push_back({body[6 + 3 * c], ((w + 7) / 8) * ((t + 7) / 8)});
                frame_blocks += components.back().blocks;
            }
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
            const std::size_t in_this_scan = length >= 3 ? body[0] : 0;
            if (in_this_scan < 1 || in_this_scan > 4 || length != 6 + 2 * in_this_scan)
                return file_failure(StatusCode::bad_header, n,
                                    "is damaged: a scan header is malformed");
            for (std::size_t i = 0; i < in_this_scan; ++i) {
                const Component* c = nullptr;
                for (const Component& k : components)
                    if (k.id == body[1 + 2 * i]) c = &k;
                if (c == nullptr)
                    return file_failure(StatusCode::bad_header, n,
                                        "is damaged: a scan names a colour component its frame "
                                        "lacks");
                visits += c->blocks;
            }
            if (scans > 1 || in_this_scan < components.size()) f.multi_scan = true;
            in_scan = true;
        }
        at += length;
    }
    if (visits > kMostJpegScanPasses * frame_blocks + kFreeBlockVisits)
        return file_failure(
            StatusCode::unsupported, n,
            "has " + number(static_cast<std::uint64_t>(scans)) + " scans that pass over its " +
                std::to_string(f.width) + " x " + std::to_string(f.height) + " pixels " +
                number(visits / frame_blocks) + " times, far more than encoders write (at most " +
                number(kMostJpegScanPasses) + " are read)");
    if (without_stray != nullptr && !stray.empty()) {
        without_stray->clear();
        std::size_t from = 0;
        for (const auto& s : stray) {
            without_stray->insert(without_stray->end(), data + from, data + s.first);
            from = s.second;
        }
        without_stray->insert(without_stray->end(), data + from, data + size);
    }
    *facts = f;
    return Status::success();
}

std::string jpeg_stray_bytes_notice(const std::string& display_name, const JpegFacts& facts) {
    return "'" + display_name + "' has " + number(facts.stray_bytes) + " stray byte" +
           (facts.stray_bytes == 1 ? "" : "s") + " between its markers (the first at byte " +
           number(facts.first_stray) + "), which were skipped";
}
