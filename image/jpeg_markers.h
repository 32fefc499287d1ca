#pragma once
// A JPEG file's markers, walked by hand before any decoder sees the file, so that every
// platform refuses the same files for the same reasons: the start-of-image marker first; every
// marker segment inside the file; one frame header of a kind the codecs read (baseline,
// extended or progressive, Huffman or arithmetic coded, 8-bit samples) with a size of 1 x 1 to
// kMostJpegSide a side, sampling factors of 1 to 4 and 1 or 3 colour components (4 is CMYK or
// YCCK: unsupported), before the first scan; scans that name the frame's components; and an
// end-of-image marker after the last scan, without which the file was cut short. Between
// markers, entropy-coded data are skipped: in them a byte FF is always followed by 00 or is a
// restart marker (FF D0 to FF D7). Elsewhere, bytes before a marker that belong to no segment
// (an application segment whose length is off, as some editors write) are skipped as the
// common decoders skip them, and counted.
//
// Decoding time is bounded too: a scan passes over every 8 x 8 block of its components, so a
// progressive file's work grows with its scans, not with its pixels. The blocks all scans pass
// over together may be at most kMostJpegScanPasses times the frame's blocks (plus a small
// allowance, so that a tiny picture may have many scans), and there may be at most
// kMostJpegScans scans; common encoders write 1 to about 10 passes. Everything else a decoder
// does is bounded by the pixels or the file's bytes.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/status.h"

inline constexpr unsigned char kJpegStart[3] = {0xFF, 0xD8, 0xFF};

inline constexpr int kMostJpegScans = 500;
// 32 passes over the blocks take about four times as long as decoding a single-scan file of
// the same size, and a few seconds at the largest size read by default.
inline constexpr std::uint64_t kMostJpegScanPasses = 32;
// The largest side the decoders take: libjpeg-turbo's limit, below the format's 65535.
inline constexpr int kMostJpegSide = 65500;

struct JpegFacts {
    int width = 0;
    int height = 0;
    int components = 0;
    bool progressive = false;
    // The decoder keeps every coefficient of the picture until the last scan: a progressive
    // file, or a sequential one whose components come in separate scans.
    bool multi_scan = false;
    // Bytes skipped before markers, and where the first of them lies.
    std::uint64_t stray_bytes = 0;
    std::size_t first_stray = 0;
};

// Checks data[0 .. size) as above; display_name names the file in messages. Refusals are
// wrong_kind (no start-of-image marker), short_file (cut short), bad_header (a segment or frame
// header out of range) and unsupported (CMYK, 12-bit samples, lossless or hierarchical, sides
// past kMostJpegSide, too many scans or passes). When without_stray is not null and the file
// has stray bytes, *without_stray receives the file without them, for a decoder that will not
// skip them itself.
Status check_jpeg_markers(const unsigned char* data, std::size_t size,
                          const std::string& display_name, JpegFacts* facts,
                          std::vector<unsigned char>* without_stray = nullptr);

// The line that tells the user a file's stray bytes were skipped.
std::string jpeg_stray_bytes_notice(const std::string& display_name, const JpegFacts& facts);
