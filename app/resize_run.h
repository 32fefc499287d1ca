#pragma once
// The resize run: the work behind the GO button and the command line. It reads a picture of
// any kind the tool reads (image/picture.h) from disk, as red, green and blue planes and
// perhaps an alpha plane, hands the same planes to each method in a fixed order (Lanczos3,
// Hybrid, DFT), each of which turns them into result planes, and writes each result beside the
// picture; the results are committed together at the end. Input and file errors come back in
// the report; nothing here prints except the methods' own progress lines, and only allocation
// failures end the process.

#include <cstdint>
#include <optional>
#include <string>

#include "app/output_size.h"
#include "base/plane.h"
#include "base/progress.h"
#include "base/status.h"
#include "image/result.h"

enum ResizeMethod : unsigned {
    kMethodLanczos3 = 1u << 0,
    kMethodHybrid = 1u << 1,
    kMethodDct = 1u << 2,
    kAllMethods = kMethodLanczos3 | kMethodHybrid | kMethodDct,
};

constexpr int kMethodCount = 3;

// Every method has this call: the picture's planes (base/plane.h: W x H samples, column-major,
// only read; alpha may be absent) to planes of out_width x out_height, which the method makes in
// *out. progress may be null. A method that refuses the size, or stops on request, says so in
// its status and *out is then not to be written.
using ResizerFn = Status (*)(const PlaneSet& in, int out_width, int out_height, ResizedPlanes* out,
                             RunProgress* progress);

// The format of a run's results: the picture's default (default_result_format: BMP for a BMP
// picture, PNG otherwise) or the one the user chose.
enum class FormatChoice { by_picture, bmp, png };

// The name users give a method on the command line ("lanczos3", "hybrid", "dct"), or nullptr.
const char* method_name(int index);
// The method bit for a name, or 0 for an unknown name.
unsigned method_from_name(const std::string& name);


struct RunReport {
    Status input;                 // sizes and picture; when not ok, no resizer ran
    Status method[kMethodCount];  // per resizer in call order; ok for methods not asked for
    // The file each method wrote, empty for a method that wrote none.
    std::string result_path[kMethodCount];
    // Lines for the user that are no failure, joined with newlines (no final one), or empty:
    // how the picture's reader dealt with a flaw it passed over (PlanarPicture::notice),
    // damaged metadata of the picture read as absent, and what BMP results cannot keep of a
    // picture (its transparency, its colour profile).
    std::string notice;
    bool ok() const;
    // Whether a method stopped on request (it and the methods after it wrote nothing).
    bool stopped() const;
    // The failure lines in order, one per failed step, joined with newlines (no final one). A
    // stop is no failure and has no line.
    std::string failure_text() const;
};

// Runs the asked-for methods on the picture at path. out_width and out_height are the result's
// size itself; negative sizes, sizes whose BMP would pass 2 GiB, and for PNG results a side of
// 0, are refused before any resizer runs. The picture is read within the memory the methods
// plan with (machine_decode_limits), upright by its orientation. Results are written in
// format; a picture with an alpha plane is enlarged weighted by it (base/plane.h) in either
// format, and PNG results keep the enlarged alpha while BMP results hold the colours only, which
// the report's notice then says; PNG results carry its colour encoding (its ICC profile, or
// sRGB, gAMA and cHRM), BMP results cannot, and for a profile the notice says so. progress (may
// be null) follows the run: each method asked for is given a part of it in proportion to its
// expected work, and a stop ends the working method without its file and skips the methods
// after it (their status StatusCode::stopped too). Results of methods that had finished stay.
RunReport resize_run(const std::string& path, int out_width, int out_height,
                     unsigned methods = kAllMethods, RunProgress* progress = nullptr,
                     FormatChoice format = FormatChoice::by_picture);

// The same run with the size as the user gave it (app/output_size.h) and, when output_folder
// is not empty, the results in that folder instead of beside the picture, under the names the
// picture's file name gives (results_naming_path). A pixel side that is negative is refused
// before the picture is read; factors and "auto" are resolved against the picture's size once
// it is read, and a size resolve_output_size refuses ends the run there. The output folder is
// made, with any missing parents, after the picture was read and the size resolved, so a run
// refused before that makes nothing; a folder that cannot be made, or a path naming something
// other than a folder, ends the run with a line naming it. max_pixels, when given, is the most
// pixels a picture may have (0: no limit) in place of ENLARGE3_MAX_PIXELS or the default
// (image/planes.h).
RunReport resize_run(const std::string& path, const OutputSize& size,
                     const std::string& output_folder, unsigned methods = kAllMethods,
                     RunProgress* progress = nullptr,
                     FormatChoice format = FormatChoice::by_picture,
                     std::optional<std::uint64_t> max_pixels = std::nullopt);

// The path whose name gives the results of the picture at path written into output_folder:
// the picture's file name (what follows its last folder separator: '/', and on Windows also
// '\\') in that folder. An empty output_folder gives path itself.
std::string results_naming_path(const std::string& path, const std::string& output_folder);
