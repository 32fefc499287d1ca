#include "image/png_chunks.h"

#include <array>
#include <cstring>

#include "image/byte_order.h"

namespace {

std::array<std::uint32_t, 256> crc_table() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

// Bit depths each colour type allows.
bool depth_allowed(int colour_type, int depth) {
    switch (colour_type) {
        case kPngGrey:
            return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
        case kPngPalette:
            return depth == 1 || depth == 2 || depth == 4 || depth == 8;
        case kPngRgb:
        case kPngGreyAlpha:
        case kPngRgba:
            return depth == 8 || depth == 16;
        default:
            return false;
    }
}

int samples_per_pixel(int colour_type) {
    switch (colour_type) {
        case kPngRgb:
            return 3;
        case kPngGreyAlpha:
            return 2;
        case kPngRgba:
            return 4;
        default:
            return 1;
    }
}

// The largest chunk length the format allows.
constexpr std::uint32_t kMostChunkBytes = 0x7FFFFFFFu;
constexpr std::uint32_t kIhdrBytes = 13;

}  // namespace

std::uint32_t png_crc32(const unsigned char* bytes, std::size_t count, std::uint32_t crc) {
    static const std::array<std::uint32_t, 256> table = crc_table();
    std::uint32_t c = ~crc;
    for (std::size_t i = 0; i < count; ++i) c = table[(c ^ bytes[i]) & 0xFFu] ^ (c >> 8);
    return ~c;
}

Status check_png_chunks(const unsigned char* data, std::size_t size,
                        const std::string& display_name, PngFacts* facts) {
    const std::string& n = display_name;
    if (size < sizeof kPngSignature || std::memcmp(data, kPngSignature, sizeof kPngSignature) != 0)
        return file_failure(StatusCode::wrong_kind, n, "is not a PNG picture");
    PngFacts f;
    bool have_header = false, have_data = false;
    std::size_t at = sizeof kPngSignature;
    for (;;) {
        if (size - at < 8)
            return file_failure(
                StatusCode::short_file, n,
                "is cut short: it ends " +
                    std::string(have_data ? "before its IEND chunk" : "inside its chunks"));
        const std::uint32_t length = get_be32(data + at);
        const unsigned char* type = data + at + 4;
        const std::string name(reinterpret_cast<const char*>(type), 4);
        if (length > kMostChunkBytes)
            return file_failure(StatusCode::bad_header, n,
                                "is damaged: a chunk claims " + std::to_string(length) + " bytes");
        if (size - at - 8 < std::uint64_t{length} + 4)
            return file_failure(StatusCode::short_file, n, "is cut short inside a chunk");
        const unsigned char* body = data + at + 8;
        if (png_crc32(type, 4 + std::size_t{length}) != get_be32(body + length))
            return file_failure(StatusCode::damaged, n,
                                "is damaged: the checksum (CRC) of a chunk does "
                                "not match its contents");
        at += 12 + std::size_t{length};

        if (!have_header) {
            if (name != "IHDR" || length != kIhdrBytes)
                return file_failure(StatusCode::bad_header, n,
                                    "is damaged: it does not begin with IHDR");
            f.width = get_be32(body);
            f.height = get_be32(body + 4);
            f.bit_depth = body[8];
            f.colour_type = body[9];
            f.interlaced = body[12] == 1;
            // The field at fault, by name.
            std::string fault;
            if (!depth_allowed(f.colour_type, 1) && !depth_allowed(f.colour_type, 8))
                fault =
                    "colour type " + std::to_string(f.colour_type) + ", which PNG does not have";
            else if (!depth_allowed(f.colour_type, f.bit_depth))
                fault = "colour type " + std::to_string(f.colour_type) + " with " +
                        std::to_string(f.bit_depth) + "-bit samples, which it does not allow";
            else if (body[10] != 0)
                fault = "compression method " + std::to_string(body[10]) + " (only 0 exists)";
            else if (body[11] != 0)
                fault = "filter method " + std::to_string(body[11]) + " (only 0 exists)";
            else if (body[12] > 1)
                fault = "interlace method " + std::to_string(body[12]) + " (only 0 and 1 exist)";
            if (!fault.empty())
                return file_failure(StatusCode::bad_header, n,
                                    "has an invalid PNG header: " + fault);
            if (f.width == 0 || f.height == 0 || f.width > kMostChunkBytes ||
                f.height > kMostChunkBytes)
                return file_failure(StatusCode::bad_header, n,
                                    "has an invalid size of " + std::to_string(f.width) + " x " +
                                        std::to_string(f.height) + " pixels");
            f.transparency = f.colour_type == kPngGreyAlpha || f.colour_type == kPngRgba;
            have_header = true;
        } else if (name == "IDAT") {
            f.idat_bytes += length;
            have_data = true;
        } else if (name == "tRNS") {
            f.transparency = true;
        } else if (name == "IEND") {
            break;
        }
    }
    if (!have_data)
        return file_failure(StatusCode::damaged, n, "is damaged: it holds no image data");
    // The image data can hold no more than deflate's best case. The bound is taken on the bits
    // of the pixels alone (every row also has a filter byte), and 64 bytes of the data are
    // allowed for zlib's header, checksum and block headers.
    // Sides below 2^31 keep the pixel count below 2^62; the bits may pass 2^64 and saturate.
    const std::uint64_t pixels = std::uint64_t{f.width} * f.height;
    const std::uint64_t bits_per_pixel =
        static_cast<std::uint64_t>(samples_per_pixel(f.colour_type) * f.bit_depth);
    const std::uint64_t pixel_bytes = pixels > UINT64_MAX / bits_per_pixel
                                          ? UINT64_MAX / 8
                                          : pixels * bits_per_pixel / 8;
    if (pixel_bytes / kDeflateMostBytesPerByte > f.idat_bytes + 64)
        return file_failure(StatusCode::damaged, n,
                            "is damaged or cut short: " + std::to_string(f.idat_bytes) +
                                " bytes of image data cannot hold " + std::to_string(f.width) +
                                " x " + std::to_string(f.height) + " pixels");
    *facts = f;
    return Status::success();
}
