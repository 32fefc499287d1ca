#include "image/picture.h"

#include <cctype>
#include <cerrno>
#include <climits>
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

namespace {

// The profile a BMP held in memory embeds, if any.
void read_bmp_meta(const unsigned char* data, std::size_t size, const std::string& name,
                   PictureMeta* meta) {
    std::uint64_t at = 0, bytes = 0;
    if (bmp_profile_place(data, size, size, name, &at, &bytes, meta))
        take_bmp_profile(std::vector<std::uint8_t>(data + at, data + at + bytes), name, meta);
}

// Turns a picture read from size bytes of a file upright. Orientations 5 to 8 take one plane
// more while the file's bytes are still held.
Status make_upright(const std::string& name, std::size_t size, const DecodeLimits& limits,
                    int orientation, PlanarPicture* pic) {
    if (orientation >= kOrientTransposed) {
        const std::uint64_t plane =
            static_cast<std::uint64_t>(pic->width) * static_cast<std::uint64_t>(pic->height);
        Status st = check_decode_size(name, pic->width, pic->height, pic->has_alpha(), size + plane,
                                      limits);
        if (!st.ok()) return st;
    }
    orient_planes(orientation, pic);
    return Status::success();
}

}  // namespace

Status decode_picture(const unsigned char* data, std::size_t size, const std::string& display_name,
                      const DecodeLimits& limits, PlanarPicture* out, PictureMeta* meta) {
    PlanarPicture pic;
    PictureMeta found;
    Status st = not_a_picture(display_name);
    switch (picture_kind(data, size)) {
        case PictureKind::bmp:
            st = decode_bmp(data, size, display_name, limits, &pic);
            if (st.ok()) read_bmp_meta(data, size, display_name, &found);
            break;
        case PictureKind::png:
            st = decode_png(data, size, display_name, limits, &pic);
            if (st.ok()) read_png_meta(data, size, display_name, &found);
            break;
        case PictureKind::jpeg:
            st = decode_jpeg(data, size, display_name, limits, &pic);
            if (st.ok()) read_jpeg_meta(data, size, display_name, &found);
            break;
        case PictureKind::unknown:
            break;
    }
    if (st.ok()) st = make_upright(display_name, size, limits, found.orientation, &pic);
    if (!st.ok()) return st;
    *out = std::move(pic);
    if (meta != nullptr) *meta = std::move(found);
    return Status::success();
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

// The profile a BMP file embeds, read from the file by its place alone.
void read_bmp_file_meta(FILE* f, std::uint64_t length, const std::string& path, PictureMeta* meta) {
    unsigned char head[kBmpFileHeaderBytes + 124];
    std::rewind(f);
    const std::size_t got = std::fread(head, 1, sizeof head, f);
    std::uint64_t at = 0, bytes = 0;
    if (!bmp_profile_place(head, got, length, path, &at, &bytes, meta)) return;
    std::vector<std::uint8_t> profile(static_cast<std::size_t>(bytes));
    if (at <= LONG_MAX && std::fseek(f, static_cast<long>(at), SEEK_SET) == 0 &&
        std::fread(profile.data(), 1, profile.size(), f) == profile.size())
        take_bmp_profile(std::move(profile), path, meta);
}

Status read_open_picture(FILE* f, std::uint64_t length, const std::string& path, PlanarPicture* out,
                         const DecodeLimits& limits, PictureKind* kind, PictureMeta* meta) {
    unsigned char head[8];
    *kind = picture_kind(head, std::fread(head, 1, sizeof head, f));
    std::rewind(f);
    // A BMP reads itself: the plain kind by its header and rows alone.
    if (*kind == PictureKind::bmp) {
        Status st = read_bmp_file(f, length, path, limits, out);
        if (st.ok()) read_bmp_file_meta(f, length, path, meta);
        return st;
    }
    if (*kind == PictureKind::unknown) return not_a_picture(path);
    HeapArray<unsigned char> bytes;
    Status st = read_file_bytes(f, length, path, limits, &bytes);
    if (!st.ok()) return st;
    return decode_picture(bytes.get(), bytes.size(), path, limits, out, meta);
}

}  // namespace

Status read_picture(const std::string& path, PlanarPicture* out, const DecodeLimits& limits,
                    PictureKind* kind_read, PictureMeta* meta_read) {
    FILE* f = nullptr;
    std::uint64_t length = 0;
    Status st = open_picture_file(path, &f, &length);
    if (!st.ok()) return st;
    PictureKind kind = PictureKind::unknown;
    PictureMeta meta;
    st = read_open_picture(f, length, path, out, limits, &kind, &meta);
    std::fclose(f);
    if (st.ok() && kind_read != nullptr) *kind_read = kind;
    if (st.ok() && meta_read != nullptr) *meta_read = std::move(meta);
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
