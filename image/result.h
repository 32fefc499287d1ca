#pragma once
// The result files of a run: their format, their names and their writing. A result is a BMP
// (the original format: 24 bits, no transparency) or a PNG (8 bits per sample, RGB, or RGBA
// when the result has an alpha plane), written whole or not at all (base/durable_file.h).

#include <cstdint>
#include <string>

#include "base/plane.h"
#include "base/status.h"
#include "image/bmp.h"
#include "image/picture.h"

enum class ResultFormat { bmp, png };

// The format a picture's results take unless the user chooses one: BMP for a BMP picture, so
// that its results are the original ones byte for byte, and PNG for every other kind.
ResultFormat default_result_format(PictureKind kind);

// The file name extension of a format, with its dot: ".bmp" or ".png".
const char* result_extension(ResultFormat format);

// The name of method's result ("lanczos3", "hybrid", "dct") for the picture at input_path:
// picture_result_name with the format "%s_" + method + extension. So a BMP result of a ".bmp"
// picture has the original name, and "photos/holiday.jpeg" gives
// "photos/holiday_lanczos3.png".
std::string method_result_name(const std::string& input_path, const char* method,
                               ResultFormat format);

// Writes a method's result planes (3, or 4 with alpha) as the file name in format. BMP:
// write_bmp_file, which has no place for alpha and ignores it. PNG: encode_png into a
// DurableFile, with its guarantees (whole or not at all, never through a planted file); alpha,
// when planes has it, makes the result RGBA. A PNG has at least 1 x 1 pixels: a side of 0 is
// refused as bad_size before anything is created. A PNG carries colour's encoding when
// colour is not null (encode_png); a BMP has no place for it. With a batch, the finished file
// is handed to it and the batch's commit reports the rest; without one it is committed at once.
// Failures are one line naming the result.
Status write_result(const std::string& name, ResultFormat format, const ResizedPlanes& planes,
                    CommitBatch* batch = nullptr, const PictureMeta* colour = nullptr);
