#pragma once
// A JPEG file's markers, walked by hand before any decoder sees the file, so that every
// platform refuses the same files for the same reasons: the start-of-image marker first; every
// marker segment inside the file; one frame header of a kind the codecs read (baseline,
// extended or progressive, Huffman or arithmetic coded, 8-bit samples) with a size of at least
// 1 x 1 and 1 or 3 colour components (4 is CMYK or YCCK: unsupported), before the first scan;
// at most kMostJpegScans scans, since each costs a pass over the whole picture and a file
// could repeat them without end; and an end-of-image marker after the last scan, without
// which the file was cut short. Between markers, entropy-coded data are skipped: in them a
// byte FF is always followed by 00 or is a restart marker (FF D0 to FF D7).

#include <cstddef>
#include <string>

#include "base/status.h"

inline constexpr unsigned char kJpegStart[3] = {0xFF, 0xD8, 0xFF};

inline constexpr int kMostJpegScans = 500;

struct JpegFacts {
    int width = 0;
    int height = 0;
    int components = 0;
    bool progressive = false;
};

// Checks data[0 .. size) as above; display_name names the file in messages. Refusals are
// wrong_kind (no start-of-image marker), short_file (cut short), bad_header (a segment or frame
// header out of range) and unsupported (CMYK, 12-bit samples, lossless or hierarchical, too
// many scans).
Status check_jpeg_markers(const unsigned char* data, std::size_t size,
                          const std::string& display_name, JpegFacts* facts);
