#include "image/picture.h"

#include <cctype>
#include <cstring>

#include "base/machine.h"
#include "image/bmp_decode.h"
#include "image/codecs.h"
#include "image/jpeg_markers.h"
#include "image/png_chunks.h"

PictureKind picture_kind(const unsigned char* head, std::size_t size) {
    if (size >= 2 && head[0] == 'B' && head[1] == 'M') return PictureKind::bmp;
    if (size >= sizeof kPngSignature && std::memcmp(head, kPngSignature, sizeof kPngSignature) == 0)
        return PictureKind::png;
    if (size >= sizeof kJpegStart && std::memcmp(head, kJpegStart, sizeof kJpegStart) == 0)
        return PictureKind::jpeg;
    return PictureKind::unknown;
}

namespace {

Status not_a_picture(const std::string& name) {
    return Status::failure(StatusCode::wrong_kind,
                           "'" + name + "' is not a picture the tool reads (BMP, PNG or JPEG)");
}

}  // namespace

Status decode_picture(const unsigned char* data, std::size_t size, const std::string& display_name,
                      const DecodeLimits& limits, PlanarPicture* out) {
    switch (picture_kind(data, size)) {
        case PictureKind::bmp:
            return decode_bmp(data, size, display_name, limits, out);
        case PictureKind::png:
            return decode_png(data, size, display_name, limits, out);
        case PictureKind::jpeg:
            return decode_jpeg(data, size, display_name, limits, out);
        case PictureKind::unknown:
            break;
    }
    return not_a_picture(display_name);
}

namespace {

Status read_picture_file(const std::string& path, PlanarPicture* out, const DecodeLimits& limits,
                         PictureKind* kind_read) {
    FILE* f = nullptr;
    std::uint64_t length = 0;
    Status st = open_picture_file(path, &f, &length);
    if (!st.ok()) return st;
    unsigned char head[kBmpHeaderBytes];
    const std::size_t got = std::fread(head, 1, sizeof head, f);
    const PictureKind kind = picture_kind(head, got);
    *kind_read = kind;
    if (kind == PictureKind::bmp &&
        (got < sizeof head || bmp_is_plain_24_bit(bmp_header_fields(head)))) {
        std::rewind(f);
        st = read_bmp_planes_from(f, length, path, out);
        std::fclose(f);
        return st;
    }
    if (kind == PictureKind::unknown) {
        std::fclose(f);
        return not_a_picture(path);
    }
    if (length > SIZE_MAX || (limits.memory_bytes != 0 && length > limits.memory_bytes)) {
        std::fclose(f);
        return Status::failure(StatusCode::too_large,
                               "'" + path + "' is " + format_bytes(length) +
                                   ", more than the memory available to read it (" +
                                   format_bytes(limits.memory_bytes) + ")");
    }
    const std::size_t size = static_cast<std::size_t>(length);
    HeapArray<unsigned char> bytes(size, "picture file");
    std::rewind(f);
    const bool whole = std::fread(bytes.get(), 1, size, f) == size;
    std::fclose(f);
    if (!whole)
        return Status::failure(StatusCode::short_file,
                               "cannot read '" + path + "': it is shorter than its length of " +
                                   std::to_string(length) + " bytes");
    return decode_picture(bytes.get(), size, path, limits, out);
}

}  // namespace

Status read_picture(const std::string& path, PlanarPicture* out, const DecodeLimits& limits,
                    PictureKind* kind_read) {
    PictureKind kind = PictureKind::unknown;
    Status st = read_picture_file(path, out, limits, &kind);
    if (st.ok() && kind_read != nullptr) *kind_read = kind;
    return st;
}

namespace {

bool ends_in_bmp(const std::string& path) {
    if (path.size() < 4) return false;
    const char* ext = path.c_str() + path.size() - 4;
    return ext[0] == '.' && std::tolower(static_cast<unsigned char>(ext[1])) == 'b' &&
           std::tolower(static_cast<unsigned char>(ext[2])) == 'm' &&
           std::tolower(static_cast<unsigned char>(ext[3])) == 'p';
}

}  // namespace

std::string picture_result_name(const std::string& input_path, const char* name_format) {
    if (ends_in_bmp(input_path)) return result_name(input_path, name_format);
#ifdef _WIN32
    const std::size_t folder = input_path.find_last_of("/\\");
#else
    const std::size_t folder = input_path.find_last_of('/');
#endif
    const std::size_t dot = input_path.find_last_of('.');
    const bool has_extension = dot != std::string::npos && (folder == std::string::npos || dot > folder);
    return name_from_stem(has_extension ? input_path.substr(0, dot) : input_path, name_format);
}
