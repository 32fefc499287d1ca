#pragma once
// The pictures the windows show: a dropped picture in the main window's preview, and the
// picture and its results in the compare window, of every kind the tool reads. Both platforms
// draw a 24-bit BMP's rows as they are (Win32's StretchDIBits, and Qt through one plain
// conversion), so every picture is shown as one: a plain 24-bit BMP (image/bmp_decode.h) as it
// is, and any other picture decoded (image/picture.h) and laid out as such a file in memory,
// its transparent parts drawn over the main window's light grey.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "base/status.h"
#include "image/picture.h"
#include "image/planes.h"

// A whole file's bytes as a front-end read them. The Win32 window reads into a global-heap
// block and the others onto the C++ heap; the shared_ptr's deleter frees them the matching way.
// size may be less than file_length: nothing past the largest size a BMP header can announce
// (2^31 - 1 bytes) is ever read, so the windows refuse a PNG or JPEG file larger than that as
// cut short.
struct FileBytes {
    std::shared_ptr<unsigned char> data;
    std::size_t size = 0;
    std::uint64_t file_length = 0;
};

// The reader the tests and the Qt window use: C streams by UTF-8 path, at most 2^31 - 1 bytes.
// false when the file cannot be opened or read (missing, locked, a directory, no memory for
// it); nothing is held then.
bool read_whole_file(const std::string& path, FileBytes* out);

// A picture as a 24-bit BMP file stores it: bottom-up rows of BGR pixels, each padded to 4
// bytes, described by a 40-byte (or larger) information header.
struct BmpPicture {
    std::shared_ptr<unsigned char> bytes;  // the whole file
    int width = 0;
    int height = 0;
    std::size_t header_offset = 14;  // the information header, for the platform's draw call
    std::size_t pixel_offset = 0;
    const unsigned char* rows() const { return bytes.get() + pixel_offset; }
    const unsigned char* info_header() const { return bytes.get() + header_offset; }
};

// The colour transparent parts are drawn over: the main window's background.
inline constexpr std::uint32_t kTransparencyRgb = 0xC0C0C0;

// pic as a 24-bit BMP file in memory (a 54-byte header, then the rows). With an alpha plane,
// each colour sample c of alpha a is drawn over the background sample g of background_rgb
// (0xRRGGBB) as (c * a + g * (255 - a) + 127) / 255: c where opaque, g where transparent.
// false when the memory for it cannot be had; *out is then left as it was.
bool bmp_of_picture(const PlanarPicture& pic, std::uint32_t background_rgb, BmpPicture* out);

// The picture a file's bytes hold, ready to draw. A plain 24-bit BMP that read_bmp_format
// accepts is shown as it is, without a copy; any other file is decoded by decode_picture
// within limits (the bytes are let go as soon as the planes exist) and laid out by
// bmp_of_picture over kTransparencyRgb. *kind (may be null) gets the file's kind. A refusal
// is the reader's one line naming path, or a line saying the picture is too large to show;
// *out is then left as it was.
Status window_picture(FileBytes bytes, const std::string& path, const DecodeLimits& limits,
                      BmpPicture* out, PictureKind* kind = nullptr);

// picture scaled down to width x height (each at least 1 and at most the picture's own):
// every pixel the average of the picture's pixels under it, each weighted by the area it
// covers, rounded to the nearest. false when the memory for it cannot be had; *out is then
// left as it was.
bool shrink_picture(const BmpPicture& picture, int width, int height, BmpPicture* out);

// Reads the picture at path (a result of a run, BMP or PNG) and makes it ready to draw, as
// window_picture does within this machine's limits.
Status load_window_picture(const std::string& path, BmpPicture* out);
