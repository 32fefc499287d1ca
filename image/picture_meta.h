#pragma once
// What a picture says about itself beyond its samples, read by hand from its bytes the same way
// on every platform: the EXIF Orientation (JPEG APP1, PNG eXIf), which the readers apply, and
// the colour encoding its samples are in (an ICC profile from JPEG APP2 markers, PNG iCCP or a
// BMP V5 header; PNG sRGB, gAMA and cHRM), which PNG results carry unchanged.
//
// Metadata never refuses a picture. A damaged part (an EXIF block that does not parse, an
// Orientation outside 1 to 8, a profile cut short or longer than its markers hold) is read as
// absent, and one line in notes says so; nothing outside the bytes given is ever read.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/plane.h"

// The EXIF Orientation values: where the stored picture's first row and first column belong
// when it is shown upright. 1 is upright; 5 to 8 swap the sides.
enum ExifOrientation : int {
    kOrientUpright = 1,      // first row top, first column left
    kOrientMirrored = 2,     // top, right: mirrored left to right
    kOrientTurned180 = 3,    // bottom, right
    kOrientFlipped = 4,      // bottom, left: mirrored top to bottom
    kOrientTransposed = 5,   // left, top
    kOrientTurnedRight = 6,  // right, top: turned a quarter clockwise to be upright
    kOrientTransverse = 7,   // right, bottom
    kOrientTurnedLeft = 8,   // left, bottom: turned a quarter anticlockwise
};

struct PictureMeta {
    int orientation = kOrientUpright;  // as read; the planes are upright once read
    std::vector<std::uint8_t> icc;     // the ICC profile's bytes, empty for none
    std::string icc_name;              // its name in a PNG iCCP chunk, empty otherwise
    int srgb_intent = -1;              // a PNG sRGB chunk's rendering intent, -1 for none
    bool has_gamma = false;            // a PNG gAMA chunk
    std::uint32_t gamma = 0;
    bool has_chromaticities = false;  // a PNG cHRM chunk, its 32 bytes as stored
    std::uint8_t chromaticities[32] = {};
    std::vector<std::string> notes;  // one line per part read as absent, naming the file

    bool has_colour_encoding() const {
        return !icc.empty() || srgb_intent >= 0 || has_gamma || has_chromaticities;
    }
};

// The most bytes an ICC profile is taken with: far more than any profile in use (a few KiB to
// a few MiB), little beside a picture's planes.
inline constexpr std::size_t kMostProfileBytes = 64u << 20;

// The Orientation in the TIFF structure tiff[0 .. size) (an EXIF block less its "Exif\0\0"
// marker), from its first image file directory: 1 to 8, or 0 when it is absent. A structure
// that does not parse, an entry pointing outside it, or a value outside 1 to 8 gives -1 and
// *problem says what.
int exif_orientation(const std::uint8_t* tiff, std::size_t size, std::string* problem);

// Whether profile[0 .. size) can be an ICC profile: at least its 128-byte header and a tag
// count, the size its header gives equal to size, and the "acsp" signature. Otherwise *problem
// says why.
bool icc_profile_whole(const std::uint8_t* profile, std::size_t size, std::string* problem);

// The metadata of a PNG (its chunks, data[0 .. size), already checked by check_png_chunks) and
// of a JPEG (its marker segments before the first scan), added to *meta. display_name names the
// file in notes.
void read_png_meta(const std::uint8_t* data, std::size_t size, const std::string& display_name,
                   PictureMeta* meta);
void read_jpeg_meta(const std::uint8_t* data, std::size_t size, const std::string& display_name,
                    PictureMeta* meta);

// Where a BMP's embedded profile lies, from the file's first head_size bytes (at least its
// headers) and its length: true with *offset and *size when its V5 header says a profile is
// embedded and it lies inside the file; false otherwise, with a note in *meta when the header
// says so but the profile does not lie within the file. The caller reads the bytes and hands
// them to take_bmp_profile.
bool bmp_profile_place(const std::uint8_t* head, std::size_t head_size, std::uint64_t length,
                       const std::string& display_name, std::uint64_t* offset, std::uint64_t* size,
                       PictureMeta* meta);
void take_bmp_profile(std::vector<std::uint8_t> profile, const std::string& display_name,
                      PictureMeta* meta);

// Makes the planes of *pic upright from the stored picture of orientation (1 to 8; 1 leaves
// them), a pure copy of samples: 2, 3 and 4 in place, 5 to 8 into new planes of swapped sides,
// one plane at a time.
void orient_planes(int orientation, PlanarPicture* pic);

// The PNG chunks (length, type, body, CRC, one after another) that carry meta's colour encoding
// into a result, the same bytes on every platform: iCCP with the profile (zlib_huffman_only,
// image/zlib_stream.h; under its name or "ICC profile"), or without a profile sRGB, gAMA and
// cHRM as they came. Empty when there is none.
std::vector<std::uint8_t> png_colour_chunks(const PictureMeta& meta);
