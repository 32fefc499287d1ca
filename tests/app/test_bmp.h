#pragma once
// Pictures for the window tests, made in memory so every variant is one readable line.

#include <cstdint>
#include <string>
#include <vector>

// The colour of the test pattern at column x, row t (0 = top), as 0xRRGGBB. Neighbouring
// pixels differ in every channel, so a shifted, mirrored or scaled preview shows.
std::uint32_t test_pixel_rgb(int x, int t);

// A 24-bit bottom-up BMP of width x height pixels in the test pattern. extra_info_bytes
// lengthens the information header (and so moves the pixel data) by that many bytes.
std::vector<unsigned char> make_bmp(int width, int height, unsigned extra_info_bytes = 0);

void set_u16(std::vector<unsigned char>* bytes, std::size_t offset, std::uint16_t v);
void set_u32(std::vector<unsigned char>* bytes, std::size_t offset, std::uint32_t v);

// Writes bytes to a UTF-8 path; false on failure.
bool write_bytes(const std::string& path, const std::vector<unsigned char>& bytes);
// A whole file, or empty when it cannot be read.
std::vector<unsigned char> read_bytes(const std::string& path);

// A smooth picture to look at (sky, sun, hills), for screenshots of the window.
std::vector<unsigned char> make_demo_bmp(int width, int height);
