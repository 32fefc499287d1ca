#include "image/picture_meta.h"

#include <algorithm>
#include <cstring>

#include "image/byte_order.h"
#include "image/png_chunks.h"
#include "image/zlib_stream.h"

namespace {

constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr std::uint16_t kTiffShort = 3;
constexpr std::size_t kIccHeaderBytes = 128;

void note_exif(const std::string& name, const std::string& why, PictureMeta* meta) {
    meta->notes.push_back("'" + name + "': " + why + ", so its orientation is not applied");
}

void note_profile(const std::string& name, const std::string& why, PictureMeta* meta) {
    meta->notes.push_back("'" + name + "': its colour profile is " + why +
                          ", so its results carry none");
}

void take_exif(const std::uint8_t* tiff, std::size_t size, const std::string& name,
               PictureMeta* meta) {
    std::string problem;
    const int o = exif_orientation(tiff, size, &problem);
    if (o > 0) meta->orientation = o;
    if (o < 0) note_exif(name, problem, meta);
}

// A profile as read (after inflating, or its pieces joined), taken when whole.
void take_profile(std::vector<std::uint8_t> profile, const std::string& name, PictureMeta* meta) {
    std::string problem;
    if (!icc_profile_whole(profile.data(), profile.size(), &problem)) {
        note_profile(name, problem, meta);
        return;
    }
    meta->icc = std::move(profile);
}

void take_iccp(const std::uint8_t* body, std::size_t size, const std::string& name,
               PictureMeta* meta) {
    const std::uint8_t* end = static_cast<const std::uint8_t*>(std::memchr(body, 0, size));
    const std::size_t name_bytes = end == nullptr ? size : static_cast<std::size_t>(end - body);
    if (end == nullptr || name_bytes < 1 || name_bytes > 79 || size - name_bytes < 2 ||
        body[name_bytes + 1] != 0) {
        note_profile(name, "damaged (its iCCP chunk's name or compression is invalid)", meta);
        return;
    }
    std::vector<std::uint8_t> profile;
    const std::size_t at = name_bytes + 2;
    switch (zlib_inflate(body + at, size - at, kMostProfileBytes, &profile)) {
        case InflateResult::ok:
            break;
        case InflateResult::cut_short:
            return note_profile(name, "cut short (its compressed data end early)", meta);
        case InflateResult::too_large:
            return note_profile(name, "larger than a profile can be", meta);
        case InflateResult::damaged:
            return note_profile(name, "damaged (its compressed data do not decompress)", meta);
    }
    take_profile(std::move(profile), name, meta);
    if (!meta->icc.empty()) meta->icc_name.assign(reinterpret_cast<const char*>(body), name_bytes);
}

// One piece of a profile in JPEG APP2 markers.
struct ProfilePiece {
    int number;
    int count;
    const std::uint8_t* bytes;
    std::size_t size;
};

void take_jpeg_profile(std::vector<ProfilePiece> pieces, const std::string& name,
                       PictureMeta* meta) {
    std::sort(pieces.begin(), pieces.end(),
              [](const ProfilePiece& a, const ProfilePiece& b) { return a.number < b.number; });
    const int count = pieces.front().count;
    bool numbered = static_cast<int>(pieces.size()) == count;
    for (std::size_t i = 0; i < pieces.size() && numbered; ++i)
        numbered = pieces[i].count == count && pieces[i].number == static_cast<int>(i) + 1;
    if (!numbered) {
        note_profile(name,
                     "damaged (its " + std::to_string(pieces.size()) +
                         " markers are not numbered 1 to " + std::to_string(count) + ")",
                     meta);
        return;
    }
    std::vector<std::uint8_t> profile;
    for (const ProfilePiece& p : pieces) profile.insert(profile.end(), p.bytes, p.bytes + p.size);
    take_profile(std::move(profile), name, meta);
}

void put_chunk(const char* type, const std::uint8_t* body, std::size_t size,
               std::vector<std::uint8_t>* out) {
    const std::size_t at = out->size();
    for (int shift = 24; shift >= 0; shift -= 8)
        out->push_back(static_cast<std::uint8_t>(size >> shift));
    out->insert(out->end(), type, type + 4);
    out->insert(out->end(), body, body + size);
    const std::uint32_t crc = png_crc32(out->data() + at + 4, 4 + size);
    for (int shift = 24; shift >= 0; shift -= 8)
        out->push_back(static_cast<std::uint8_t>(crc >> shift));
}

// The planes of a picture, each to be made upright.
template <class Fn>
void each_plane(PlanarPicture* pic, Fn fn) {
    for (HeapArray<std::uint8_t>* p : {&pic->red, &pic->green, &pic->blue, &pic->alpha})
        if (p->get() != nullptr) fn(p);
}

// Orientations 5 to 8: the upright picture's column X (of W samples) is the stored picture's
// row y = X or H - 1 - X, read from left or right. Tiles of kTile columns keep the reads of
// each stored column in short runs.
void transpose_plane(HeapArray<std::uint8_t>* plane, std::size_t w, std::size_t h, bool from_bottom,
                     bool from_right) {
    constexpr std::size_t kTile = 16;
    HeapArray<std::uint8_t> upright(w * h, "upright");
    const std::uint8_t* src = plane->get();
    std::uint8_t* dst = upright.get();
    for (std::size_t x0 = 0; x0 < h; x0 += kTile) {
        const std::size_t x1 = std::min(h, x0 + kTile);
        for (std::size_t y = 0; y < w; ++y) {
            const std::uint8_t* column = src + (from_right ? w - 1 - y : y) * h;
            for (std::size_t x = x0; x < x1; ++x)
                dst[x * w + y] = column[from_bottom ? h - 1 - x : x];
        }
    }
    *plane = std::move(upright);
}

}  // namespace

int exif_orientation(const std::uint8_t* tiff, std::size_t size, std::string* problem) {
    if (size < 8) {
        *problem = "its EXIF block is cut short";
        return -1;
    }
    const bool little = tiff[0] == 'I' && tiff[1] == 'I';
    if (!little && !(tiff[0] == 'M' && tiff[1] == 'M')) {
        *problem = "its EXIF block is damaged (no byte order)";
        return -1;
    }
    auto u16 = [&](std::size_t at) { return little ? get_le16(tiff + at) : get_be16(tiff + at); };
    auto u32 = [&](std::size_t at) { return little ? get_le32(tiff + at) : get_be32(tiff + at); };
    if (u16(2) != 42) {
        *problem = "its EXIF block is damaged (no TIFF header)";
        return -1;
    }
    const std::uint64_t ifd = u32(4);
    if (ifd < 8 || ifd > size - 2) {
        *problem = "its EXIF block is damaged (its first directory lies outside it)";
        return -1;
    }
    const std::uint64_t entries = u16(static_cast<std::size_t>(ifd));
    if (entries * 12 > size - ifd - 2) {
        *problem = "its EXIF block is damaged (its first directory runs past its end)";
        return -1;
    }
    for (std::uint64_t i = 0; i < entries; ++i) {
        const std::size_t e = static_cast<std::size_t>(ifd + 2 + 12 * i);
        if (u16(e) != kOrientationTag) continue;
        const int value = u16(e + 8);
        if (u16(e + 2) != kTiffShort || u32(e + 4) != 1) {
            *problem = "its EXIF orientation is damaged (not one number)";
            return -1;
        }
        if (value < 1 || value > 8) {
            *problem = "its EXIF orientation of " + std::to_string(value) + " is not one of 1 to 8";
            return -1;
        }
        return value;
    }
    return 0;
}

bool icc_profile_whole(const std::uint8_t* profile, std::size_t size, std::string* problem) {
    if (size < kIccHeaderBytes + 4) {
        *problem = "cut short (" + std::to_string(size) + " bytes, shorter than its header)";
        return false;
    }
    const std::uint32_t claimed = get_be32(profile);
    if (claimed > size) {
        *problem = "cut short (it claims " + std::to_string(claimed) + " bytes and holds " +
                   std::to_string(size) + ")";
        return false;
    }
    if (claimed < size) {
        *problem = "damaged (it claims " + std::to_string(claimed) +
                   " bytes but its markers hold " + std::to_string(size) + ")";
        return false;
    }
    if (std::memcmp(profile + 36, "acsp", 4) != 0) {
        *problem = "damaged (no profile signature)";
        return false;
    }
    return true;
}

void read_png_meta(const std::uint8_t* data, std::size_t size, const std::string& name,
                   PictureMeta* meta) {
    bool have_exif = false, have_iccp = false;
    std::size_t at = sizeof kPngSignature;
    while (at <= size && size - at >= 12) {
        const std::uint32_t length = get_be32(data + at);
        if (length > size - at - 12) break;
        const char* type = reinterpret_cast<const char*>(data + at + 4);
        const std::uint8_t* body = data + at + 8;
        at += 12 + std::size_t{length};
        if (std::memcmp(type, "IEND", 4) == 0) break;
        if (std::memcmp(type, "eXIf", 4) == 0 && !have_exif) {
            have_exif = true;
            take_exif(body, length, name, meta);
        } else if (std::memcmp(type, "iCCP", 4) == 0 && !have_iccp) {
            have_iccp = true;
            take_iccp(body, length, name, meta);
        } else if (std::memcmp(type, "sRGB", 4) == 0 && meta->srgb_intent < 0) {
            if (length == 1 && body[0] <= 3) meta->srgb_intent = body[0];
        } else if (std::memcmp(type, "gAMA", 4) == 0 && !meta->has_gamma) {
            if (length == 4 && get_be32(body) != 0) {
                meta->has_gamma = true;
                meta->gamma = get_be32(body);
            }
        } else if (std::memcmp(type, "cHRM", 4) == 0 && !meta->has_chromaticities) {
            if (length == 32) {
                meta->has_chromaticities = true;
                std::memcpy(meta->chromaticities, body, 32);
            }
        }
    }
}

void read_jpeg_meta(const std::uint8_t* data, std::size_t size, const std::string& name,
                    PictureMeta* meta) {
    static constexpr char kExif[6] = {'E', 'x', 'i', 'f', 0, 0};
    static constexpr char kIcc[12] = "ICC_PROFILE";  // with its terminating zero
    bool have_exif = false;
    std::vector<ProfilePiece> pieces;
    std::size_t at = 2;
    while (at < size) {
        // Stray bytes before a marker are passed over, as the decoders do.
        if (data[at] != 0xFF) {
            const void* next = std::memchr(data + at, 0xFF, size - at);
            if (next == nullptr) break;
            at = static_cast<std::size_t>(static_cast<const std::uint8_t*>(next) - data);
        }
        while (at < size && data[at] == 0xFF) ++at;
        if (at >= size) break;
        const std::uint8_t m = data[at++];
        if (m == 0xD8 || m == 0x01 || (m >= 0xD0 && m <= 0xD7)) continue;
        if (m == 0xDA || m == 0xD9 || size - at < 2) break;  // the scans: metadata come before
        const std::size_t length = get_be16(data + at);
        if (length < 2 || size - at < length) break;
        const std::uint8_t* body = data + at + 2;
        const std::size_t n = length - 2;
        at += length;
        if (m == 0xE1 && !have_exif && n >= sizeof kExif &&
            std::memcmp(body, kExif, sizeof kExif) == 0) {
            have_exif = true;
            take_exif(body + sizeof kExif, n - sizeof kExif, name, meta);
        } else if (m == 0xE2 && n >= sizeof kIcc + 2 && std::memcmp(body, kIcc, sizeof kIcc) == 0) {
            pieces.push_back(ProfilePiece{body[sizeof kIcc], body[sizeof kIcc + 1],
                                          body + sizeof kIcc + 2, n - sizeof kIcc - 2});
        }
    }
    if (!pieces.empty()) take_jpeg_profile(std::move(pieces), name, meta);
}

bool bmp_profile_place(const std::uint8_t* head, std::size_t head_size, std::uint64_t length,
                       const std::string& name, std::uint64_t* offset, std::uint64_t* size,
                       PictureMeta* meta) {
    constexpr std::size_t kFileHeader = 14, kV5Header = 124;
    constexpr std::uint32_t kEmbedded = 0x4D424544;  // 'MBED'
    if (head_size < kFileHeader + kV5Header || get_le32(head + kFileHeader) < kV5Header ||
        get_le32(head + kFileHeader + 56) != kEmbedded)
        return false;
    // The profile's offset counts from the start of the information header.
    const std::uint64_t at = kFileHeader + std::uint64_t{get_le32(head + kFileHeader + 112)};
    const std::uint64_t bytes = get_le32(head + kFileHeader + 116);
    if (bytes > kMostProfileBytes) {
        note_profile(name, "larger than a profile can be", meta);
        return false;
    }
    if (at > length || bytes > length - at) {
        note_profile(name, "cut short (it lies past the end of the file)", meta);
        return false;
    }
    *offset = at;
    *size = bytes;
    return true;
}

void take_bmp_profile(std::vector<std::uint8_t> profile, const std::string& name,
                      PictureMeta* meta) {
    take_profile(std::move(profile), name, meta);
}

void orient_planes(int orientation, PlanarPicture* pic) {
    const std::size_t w = static_cast<std::size_t>(pic->width);
    const std::size_t h = static_cast<std::size_t>(pic->height);
    switch (orientation) {
        case kOrientMirrored:
            // Column x changes places with column w - 1 - x.
            each_plane(pic, [&](HeapArray<std::uint8_t>* p) {
                for (std::size_t x = 0; x < w / 2; ++x)
                    std::swap_ranges(p->get() + x * h, p->get() + (x + 1) * h,
                                     p->get() + (w - 1 - x) * h);
            });
            break;
        case kOrientTurned180:
            // Sample x * h + y goes to (w - 1 - x) * h + (h - 1 - y): the plane reversed.
            each_plane(
                pic, [&](HeapArray<std::uint8_t>* p) { std::reverse(p->get(), p->get() + w * h); });
            break;
        case kOrientFlipped:
            each_plane(pic, [&](HeapArray<std::uint8_t>* p) {
                for (std::size_t x = 0; x < w; ++x)
                    std::reverse(p->get() + x * h, p->get() + (x + 1) * h);
            });
            break;
        case kOrientTransposed:
        case kOrientTurnedRight:
        case kOrientTransverse:
        case kOrientTurnedLeft: {
            const bool from_bottom =
                orientation == kOrientTurnedRight || orientation == kOrientTransverse;
            const bool from_right =
                orientation == kOrientTransverse || orientation == kOrientTurnedLeft;
            each_plane(pic, [&](HeapArray<std::uint8_t>* p) {
                transpose_plane(p, w, h, from_bottom, from_right);
            });
            pic->width = static_cast<int>(h);
            pic->height = static_cast<int>(w);
            break;
        }
        default:
            break;
    }
}

std::vector<std::uint8_t> png_colour_chunks(const PictureMeta& meta) {
    std::vector<std::uint8_t> chunks;
    if (!meta.icc.empty()) {
        const std::string name = meta.icc_name.empty() ? "ICC profile" : meta.icc_name;
        std::vector<std::uint8_t> body(name.begin(), name.end());
        body.push_back(0);  // the name's end
        body.push_back(0);  // compressed with deflate
        const std::vector<std::uint8_t> z = zlib_huffman_only(meta.icc.data(), meta.icc.size());
        body.insert(body.end(), z.begin(), z.end());
        put_chunk("iCCP", body.data(), body.size(), &chunks);
        return chunks;
    }
    if (meta.srgb_intent >= 0) {
        const std::uint8_t intent = static_cast<std::uint8_t>(meta.srgb_intent);
        put_chunk("sRGB", &intent, 1, &chunks);
    }
    if (meta.has_gamma) {
        const std::uint8_t g[4] = {static_cast<std::uint8_t>(meta.gamma >> 24),
                                   static_cast<std::uint8_t>(meta.gamma >> 16),
                                   static_cast<std::uint8_t>(meta.gamma >> 8),
                                   static_cast<std::uint8_t>(meta.gamma)};
        put_chunk("gAMA", g, 4, &chunks);
    }
    if (meta.has_chromaticities) put_chunk("cHRM", meta.chromaticities, 32, &chunks);
    return chunks;
}
