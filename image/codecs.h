#pragma once
// PNG and JPEG through the platform's own codecs: libpng and libjpeg-turbo on Linux
// (png_libpng.cpp, jpeg_libjpeg.cpp), the Windows Imaging Component on Windows
// (codecs_wic.cpp), so that the Windows programs stay single files. The contracts below hold
// on both; where the codecs differ, it is said.
//
// Decoding takes a whole file held in memory and gives 8-bit planes (image/bmp.h, image/
// planes.h): 16-bit samples by sample_to_8, grey as equal red, green and blue, palettes
// expanded, and an alpha plane when the picture can carry transparency (an alpha channel, a
// tRNS chunk) and some pixel is not opaque. Samples are taken as stored: no gamma or colour
// profile is applied, and the orientation is decode_picture's (image/picture.h). The file's bytes count against limits, and all memory
// is checked against them (check_decode_size) before it is taken. A refusal is one line that
// names display_name and says why; *out is then left as it was.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "base/status.h"
#include "image/bmp.h"
#include "image/picture_meta.h"
#include "image/planes.h"

// PNG: every colour type and bit depth (1 to 16), palettes, tRNS, Adam7 interlacing. The
// chunks are checked first (check_png_chunks, image/png_chunks.h); then the codec's own
// failures (a damaged compressed stream, too little image data) come back as damaged.
Status decode_png(const unsigned char* data, std::size_t size, const std::string& display_name,
                  const DecodeLimits& limits, PlanarPicture* out);

// JPEG: baseline and progressive, greyscale and colour (YCbCr or RGB), arithmetic coding
// where the codec has it. The markers are checked first (check_jpeg_markers, image/
// jpeg_markers.h: cut files, CMYK, too many scans). Linux gives libjpeg-turbo's default
// decoding (accurate integer inverse DCT, smooth chroma upsampling) and refuses entropy-coded
// data that the decoder finds damaged; WIC's samples may differ from libjpeg-turbo's by a few
// levels, and WIC decodes damaged data as well as it can.
Status decode_jpeg(const unsigned char* data, std::size_t size, const std::string& display_name,
                   const DecodeLimits& limits, PlanarPicture* out);

// Whether this build has the PNG and JPEG codecs: always on Windows; on Linux unless it was
// built without libpng and libjpeg, when the three functions here refuse as unsupported.
bool picture_codecs_built();

// Receives a file's bytes in order as they are made; returns false when it cannot keep them,
// which stops the writing.
using ByteSink = std::function<bool(const unsigned char* bytes, std::size_t count)>;

// Writes width x height planes, laid out as order says, as a PNG of 8 bits per sample: RGB,
// or RGBA when alpha is not null, with colour's encoding (png_colour_chunks, image/
// picture_meta.h) when colour is not null. width and height are at least 1. display_name names
// the file in messages: a sink that returns false gives write_failed.
//
// Linux: the tool's own writer (png_write_zlib.cpp): the Sub filter, then deflate blocks of
// Huffman codes alone (image/zlib_stream.h) on all cores. Windows: the system's PNG encoder
// with the Sub filter, at a level of its own; the colour chunks are put in by the tool after
// the encoder's header. The colour chunks are the same bytes on both.
Status encode_png(const std::string& display_name, int width, int height,
                  const std::uint8_t* red, const std::uint8_t* green, const std::uint8_t* blue,
                  const std::uint8_t* alpha, PlaneOrder order, const ByteSink& sink,
                  const PictureMeta* colour = nullptr);
