#pragma once
// JPEG files for tests, made by the platform's own encoder (libjpeg on Linux, WIC on Windows),
// and the samples the platform's decoder gives for them when called plainly: what the tool's
// reader must reproduce.

#include <cstdint>
#include <vector>

#include "tests/support/bmp_builder.h"

struct JpegSpec {
    bool grey = false;         // one component: the picture's red samples
    bool progressive = false;  // libjpeg only
    bool cmyk = false;         // four components: red, green, blue as C, M, Y and K = 0
    int quality = 90;
    bool many_scans = false;   // libjpeg only: a colour progression of 758 scans
};

// An encoded picture; empty (and a test failure) when the encoder refuses.
std::vector<std::uint8_t> make_jpeg(const TestPicture& pic, const JpegSpec& spec);

// The samples of a JPEG as the decoder gives them with its default settings, as RGB (grey
// repeated in all three).
TestPicture plain_jpeg_samples(const std::vector<std::uint8_t>& file);

// Whether this platform's encoder writes progressive files (and scan scripts).
bool progressive_jpeg_supported();
