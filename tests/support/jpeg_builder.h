#pragma once
// JPEG files built byte by byte, without any codec, for what no encoder writes: a progressive
// picture whose scans pass over it as often as asked. Portable: the Windows tests build the
// same files.

#include <cstdint>
#include <vector>

// A width x height grey progressive JPEG of flat middle grey (every coefficient 0, samples 128)
// in scans scans, 1 to 883: a DC scan, then AC scans of one coefficient each refined a bit at a
// time (coefficient 1 from bit 13 down to bit 0, then coefficient 2, ...), each coded as runs
// of empty blocks. Every scan is legal and passes over every block, so a large picture with
// hundreds of scans takes a decoder minutes though its file is small: most of it is the DC
// scan's one bit per 8 x 8 block.
std::vector<std::uint8_t> flat_progressive_jpeg(int width, int height, int scans);
