#pragma once
// Pictures and BMP files for tests, built byte by byte independently of the code under test, so
// that a fault in the reader or writer cannot hide itself. Portable: the Windows window tests
// use it as the native tests do.

#include <cstdint>
#include <string>
#include <vector>

struct Rgb {
    std::uint8_t r, g, b;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

// A picture as rows from the top, each row left to right.
struct TestPicture {
    int width = 0;
    int height = 0;
    std::vector<Rgb> pixels;  // row-major from the top: (x, y) at y * width + x
    Rgb at(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
};

TestPicture random_picture(int width, int height, std::uint32_t seed);

// The colour of the test pattern at column x, row t (0 = top), as 0xRRGGBB. Neighbouring
// pixels differ in every channel, so a shifted, mirrored or scaled preview shows.
std::uint32_t test_pixel_rgb(int x, int t);

// A picture in the test pattern.
TestPicture pattern_picture(int width, int height);

// A smooth picture to look at (sky, sun, hills), for screenshots of the window.
TestPicture demo_picture(int width, int height);

// Options for the header fields a hostile or unusual file may set.
struct BmpLayout {
    std::uint32_t pixel_offset = 54;  // bytes between 54 and the offset are filled with gap_byte
    std::uint32_t info_size = 40;
    std::uint16_t bits = 24;
    std::uint32_t compression = 0;
    bool top_down = false;
    std::int64_t size_field = -1;   // -1: the true file length
    std::uint8_t padding_byte = 0;  // what fills the row padding
    std::uint8_t gap_byte = 0xEE;
};

std::vector<std::uint8_t> encode_bmp(const TestPicture& pic, const BmpLayout& layout = {});

// Any kind of BMP, laid out field by field: a header of info_size bytes, the masks where the
// header is too short to hold them, the palette (4 bytes each) and the pixel data, written
// exactly as given (packed rows or run-length data). The size and offset fields are true.
// An info_size of 12 gives OS/2's core header (16-bit width, height, planes and bits; 3-byte
// palette entries); one from 16 to 36 an OS/2 2.x header holding the fields that end inside it.
struct BmpKind {
    std::uint32_t info_size = 40;
    std::uint16_t bits = 24;
    std::uint32_t compression = 0;
    // Red, green, blue and perhaps alpha, from offset 54 on: inside a header of 52 (56 with
    // alpha) bytes or more, otherwise after it.
    std::vector<std::uint32_t> masks;
    std::vector<Rgb> palette;
    std::uint32_t colours_used = 0;
    std::uint32_t image_size = 0;
    bool top_down = false;
};
std::vector<std::uint8_t> assemble_bmp(int width, int height, const BmpKind& kind,
                                       const std::vector<std::uint8_t>& pixel_data);

// Stored rows of width x height values of bits bits each (values row-major from the top):
// 1, 2, 4 and 8 bits packed from the highest bits of each byte, 16 and 32 bits little-endian;
// rows in the file's order (bottom-up unless top_down), each padded to 4 bytes with zeros.
std::vector<std::uint8_t> pack_bmp_rows(int width, int height, int bits, bool top_down,
                                        const std::vector<std::uint32_t>& values);

// A 24-bit bottom-up BMP of width x height pixels in the test pattern. extra_info_bytes
// lengthens the information header (zero-filled) and so moves the pixel data by that many
// bytes.
std::vector<std::uint8_t> make_bmp(int width, int height, unsigned extra_info_bytes = 0);

void put_le32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t v);
void put_le16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint16_t v);
std::uint32_t get_le32(const std::vector<std::uint8_t>& bytes, std::size_t at);

// Decodes a file written by the tool (54-byte header, 24-bit, bottom-up) without the tool's
// own reader; fails the current test on any header field other than the ones the tool writes.
TestPicture decode_result_bmp(const std::vector<std::uint8_t>& bytes);
