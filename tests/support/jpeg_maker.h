#pragma once
// JPEG files for tests, made by the platform's own encoder (libjpeg on Linux, WIC on Windows),
// and the samples the platform's decoder gives for them when called plainly: what the tool's
// reader must reproduce.

#include <cstdint>
#include <vector>

#include "tests/support/bmp_builder.h"

struct JpegLayout {
    bool grey = false;         // one component: the picture's red samples
    bool progressive = false;  // libjpeg only
    bool cmyk = false;         // four components: red, green, blue as C, M, Y and K = 0
    int quality = 90;
};

// An encoded picture; empty when the encoder refuses, which fails the test unless the file is
// CMYK (an encoder need not write those).
std::vector<std::uint8_t> make_jpeg(const TestPicture& pic, const JpegLayout& layout);

// The samples of a JPEG as the decoder gives them with its default settings, as RGB (grey
// repeated in all three).
TestPicture plain_jpeg_samples(const std::vector<std::uint8_t>& file);

// Whether this platform's encoder writes progressive files.
bool progressive_jpeg_supported();
