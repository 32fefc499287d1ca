#pragma once
// Pictures of every kind the tool reads, told apart by their first bytes, never by their names:
// BMP ("BM", image/bmp_decode.h), PNG (its 8-byte signature) and JPEG (FF D8 FF; both
// image/codecs.h). And the names of the results made from them.

#include <cstddef>
#include <string>

#include "base/status.h"
#include "image/bmp.h"
#include "image/picture_meta.h"
#include "image/planes.h"

enum class PictureKind { unknown, bmp, png, jpeg };

// The kind of a file whose first size bytes are head; picture_kind never needs more than 8.
PictureKind picture_kind(const unsigned char* head, std::size_t size);

// Decodes a whole file held in memory, whatever its kind, into 8-bit planes and perhaps an
// alpha plane. display_name names the file in messages; the file's bytes and all memory the
// decoding takes count against limits. A file of no kind the tool reads is refused as wrong_kind
// ("is not a picture the tool reads"). The picture's metadata (image/picture_meta.h) are read
// as well: its planes come out upright, and *meta (may be null) gets what was found, with a
// note for each damaged part read as absent. A picture whose turning needs one plane more than
// limits allow is refused as too_large. On failure *out and *meta are left as they were.
Status decode_picture(const unsigned char* data, std::size_t size, const std::string& display_name,
                      const DecodeLimits& limits, PlanarPicture* out, PictureMeta* meta = nullptr);

// Reads the picture at path, with the verdicts decode_picture gives on its bytes. A BMP is read
// by read_bmp_file (image/bmp_decode.h), which reads its headers and then its pixel data alone;
// every other file is read whole, once its length is known to fit limits. Refusals are lines
// naming path (the plain BMP's "InputFileSizeError!!!" comes before such a line): also
// cannot_open for a file that cannot be opened and not_a_file for a folder or a device. On
// success *kind, when kind is not null, is the kind the file was read as, and *meta, when not
// null, its metadata as decode_picture gives them.
Status read_picture(const std::string& path, PlanarPicture* out,
                    const DecodeLimits& limits = machine_decode_limits(),
                    PictureKind* kind = nullptr, PictureMeta* meta = nullptr);

// The name of a result: the input path's stem put in place of "%s" in name_format
// ("%s_lanczos3.png"). For a path ending in ".bmp", in any case, the stem is the original
// rule's (result_name: the path less its last four characters). For any other path it is the
// path less its file name's extension (base/path.h: everything from the last dot of the part
// after the last folder separator); a file name with no dot has none. So
// "photos/holiday.jpeg" gives "photos/holiday_lanczos3.png" and "scans.d/page" gives
// "scans.d/page_lanczos3.png".
std::string picture_result_name(const std::string& input_path, const char* name_format);
