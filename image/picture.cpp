#include "image/picture.h"

#include <cctype>
#include <cerrno>
#include <cstring>

#include "base/file_io.h"
#include "base/path.h"
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

// Opens the regular file at path for reading and gives its length. Refusals, each a line naming
// path: cannot_open (missing, no permission) and not_a_file (a folder or a device).
Status open_picture_file(const std::string& path, FILE** f, std::uint64_t* length) {
    int err = 0;
    switch (file_kind(path, length, &err)) {
        case FileKind::missing:
            return Status::failure(StatusCode::cannot_open,
                                   "cannot open '" + path + "': " + error_text(err));
        case FileKind::directory:
            return file_failure(StatusCode::not_a_file, path, "is a directory, not a picture");
        case FileKind::other:
            return file_failure(StatusCode::not_a_file, path, "is not a regular file");
        case FileKind::regular:
            break;
    }
    *f = open_file(path, "rb");
    if (*f == nullptr)
        return Status::failure(StatusCode::cannot_open,
                               "cannot open '" + path + "': " + error_text(errno));
    return Status::success();
}

Status read_open_picture(FILE* f, std::uint64_t length, const std::string& path, PlanarPicture* out,
                         const DecodeLimits& limits, PictureKind* kind) {
    unsigned char head[8];
    *kind = picture_kind(head, std::fread(head, 1, sizeof head, f));
    std::rewind(f);
    // A BMP reads itself: the plain kind by its header and rows alone.
    if (*kind == PictureKind::bmp) return read_bmp_file(f, length, path, limits, out);
    if (*kind == PictureKind::unknown) return not_a_picture(path);
    HeapArray<unsigned char> bytes;
    Status st = read_file_bytes(f, length, path, limits, &bytes);
    if (!st.ok()) return st;
    return decode_picture(bytes.get(), bytes.size(), path, limits, out);
}

}  // namespace

Status read_picture(const std::string& path, PlanarPicture* out, const DecodeLimits& limits,
                    PictureKind* kind_read) {
    FILE* f = nullptr;
    std::uint64_t length = 0;
    Status st = open_picture_file(path, &f, &length);
    if (!st.ok()) return st;
    PictureKind kind = PictureKind::unknown;
    st = read_open_picture(f, length, path, out, limits, &kind);
    std::fclose(f);
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
    // The path less its file name's extension.
    const std::size_t extension = path_file_name(input_path).size() - path_stem(input_path).size();
    return name_from_stem(input_path.substr(0, input_path.size() - extension), name_format);
}
