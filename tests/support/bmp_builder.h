#pragma once
// Builds BMP files byte by byte for tests, independently of the code under test, so that a
// fault in the reader or writer cannot hide itself.

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

// Options for the header fields a hostile or unusual file may set.
struct BmpLayout {
    std::uint32_t pixel_offset = 54;  // extra bytes between 54 and the offset are filled with 0xEE
    std::uint32_t info_size = 40;
    std::uint16_t bits = 24;
    std::uint32_t compression = 0;
    bool top_down = false;
    std::int64_t size_field = -1;   // -1: the true file length
    std::uint8_t padding_byte = 0;  // what fills the row padding
};

std::vector<std::uint8_t> encode_bmp(const TestPicture& pic, const BmpLayout& layout = {});

void put_le32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t v);
void put_le16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint16_t v);
std::uint32_t get_le32(const std::vector<std::uint8_t>& bytes, std::size_t at);

std::vector<std::uint8_t> read_file(const std::string& path);
void write_file(const std::string& path, const std::vector<std::uint8_t>& bytes);
bool file_exists(const std::string& path);

// A fresh empty folder under the system's temporary folder, removed with its contents when
// the object goes out of scope.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Decodes a file written by the tool (54-byte header, 24-bit, bottom-up) without the tool's
// own reader; fails the current test on any header field other than the ones the tool writes.
TestPicture decode_result_bmp(const std::vector<std::uint8_t>& bytes);
