#include "app/resize_run.h"

#include <cmath>

#include "base/durable_file.h"
#include "base/file_io.h"
#include "base/machine.h"
#include "base/path.h"
#include "dft_resize/dft_resize.h"
#include "image/bmp.h"
#include "image/picture.h"
#include "kernel_resize/hybrid.h"
#include "kernel_resize/lanczos3.h"

namespace {

// Expected time of the kernel resizers, in units of a tap sum per output sample: the row pass
// makes W2 x H samples and the column pass W2 x H2, for each colour. The Hybrid adds its masks
// and the switch; the factor is measured.
double kernel_work(int W, int H, int W2, int H2) {
    (void)W;
    return 3.0 * W2 * (static_cast<double>(H) + H2);
}
double hybrid_work(int W, int H, int W2, int H2) {
    return 1.4 * kernel_work(W, H, W2, H2);
}

// Expected time of the DCT resize in the same units: n log2 n per line of length n (the
// chirp-z transform's padded length is about twice n), over the four passes of three planes.
double dct_work(int W, int H, int W2, int H2) {
    auto lines = [](double count, double n) { return count * 2.0 * n * std::log2(4.0 * n); };
    const double plane = lines(H, 2.0 * W) + lines(2.0 * W, 2.0 * H) +
                         lines(2.0 * H + 1, 2.0 * W2) + lines(W2, 2.0 * H2);
    return 3.0 * 0.2 * plane;
}

struct MethodEntry {
    unsigned bit;
    const char* name;
    ResizerFn run;
    std::uint64_t (*memory_needed)(int W, int H, int W2, int H2, bool alpha);
    double (*work)(int W, int H, int W2, int H2);
};

// The fixed order of a run.
const MethodEntry kMethods[kMethodCount] = {
    {kMethodLanczos3, "lanczos3", lanczos3_resize, lanczos3_memory_needed, kernel_work},
    {kMethodHybrid, "hybrid", hybrid_resize, hybrid_memory_needed, hybrid_work},
    {kMethodDct, "dct", dft_resize_image, dft_resize_memory_needed, dct_work},
};

std::string size_text(int width, int height) {
    return std::to_string(width) + " x " + std::to_string(height);
}

// The folder the results go to, made with its missing parents.
Status make_output_folder(const std::string& folder) {
    int err = 0;
    const FileKind kind = file_kind(folder, nullptr, &err);
    if (kind == FileKind::directory) return Status::success();
    if (kind != FileKind::missing)
        return Status::failure(StatusCode::write_failed,
                               "cannot put the results in '" + folder + "': it is not a folder");
    if (!make_folders(folder, &err))
        return Status::failure(StatusCode::write_failed,
                               "cannot make the folder '" + folder + "': " + error_text(err));
    return Status::success();
}

}  // namespace

const char* method_name(int index) {
    return index >= 0 && index < kMethodCount ? kMethods[index].name : nullptr;
}

unsigned method_from_name(const std::string& name) {
    for (const MethodEntry& m : kMethods)
        if (name == m.name) return m.bit;
    return 0;
}

bool RunReport::ok() const {
    if (!input.ok()) return false;
    for (const Status& s : method)
        if (!s.ok()) return false;
    return true;
}

bool RunReport::stopped() const {
    for (const Status& s : method)
        if (s.code == StatusCode::stopped) return true;
    return false;
}

std::string RunReport::failure_text() const {
    std::string text;
    auto add = [&text](const Status& s) {
        if (s.ok() || s.code == StatusCode::stopped) return;
        if (!text.empty()) text += '\n';
        text += s.message;
    };
    add(input);
    for (const Status& s : method) add(s);
    return text;
}

std::string results_naming_path(const std::string& path, const std::string& output_folder) {
    if (output_folder.empty()) return path;
    return path_join(output_folder, path_file_name(path));
}

RunReport resize_run(const std::string& path, int out_width, int out_height, unsigned methods,
                     RunProgress* progress, FormatChoice choice) {
    return resize_run(path, OutputSize::exact(out_width, out_height), std::string(), methods,
                      progress, choice);
}

RunReport resize_run(const std::string& path, const OutputSize& size,
                     const std::string& output_folder, unsigned methods, RunProgress* progress,
                     FormatChoice choice) {
    RunReport report;
    const bool negative = (size.width.kind == SideSize::Kind::pixels && size.width.pixels < 0) ||
                          (size.height.kind == SideSize::Kind::pixels && size.height.pixels < 0);
    if (negative) {
        report.input =
            Status::failure(StatusCode::bad_size, "the output size " + size.width.text + " x " +
                                                      size.height.text + " must not be negative");
        return report;
    }
    int out_width = size.width.pixels, out_height = size.height.pixels;
    if (size.is_exact() && !bmp_size_fits(out_width, out_height)) {
        report.input = Status::failure(StatusCode::bad_size,
                                       "the output size " + size_text(out_width, out_height) +
                                           " is too large for a BMP file (2 GiB at most)");
        return report;
    }
    // The picture is held through the whole run, so it counts against the memory the methods
    // plan with, and its reading is bounded by the same memory.
    const std::uint64_t memory = physical_memory_bytes();
    DecodeLimits limits;
    limits.memory_bytes = memory;
    PlanarPicture pic;
    PictureKind kind = PictureKind::unknown;
    report.input = read_picture(path, &pic, limits, &kind);
    if (!report.input.ok()) return report;
    if (!size.is_exact()) {
        report.input = resolve_output_size(size, pic.width, pic.height, &out_width, &out_height);
        if (!report.input.ok()) return report;
        if (!bmp_size_fits(out_width, out_height)) {
            report.input =
                Status::failure(StatusCode::bad_size,
                                "the output size " + size.width.text + " x " + size.height.text +
                                    " comes to " + size_text(out_width, out_height) +
                                    ", too large for a BMP file (2 GiB at most)");
            return report;
        }
    }

    const ResultFormat format = choice == FormatChoice::bmp   ? ResultFormat::bmp
                                : choice == FormatChoice::png ? ResultFormat::png
                                                              : default_result_format(kind);
    if (format == ResultFormat::png && (out_width == 0 || out_height == 0)) {
        report.input = Status::failure(StatusCode::bad_size,
                                       "the output size " + size_text(out_width, out_height) +
                                           " cannot be written as PNG (each side at least 1 "
                                           "pixel)");
        return report;
    }
    if (!output_folder.empty()) {
        report.input = make_output_folder(output_folder);
        if (!report.input.ok()) return report;
    }
    const std::string naming = results_naming_path(path, output_folder);
    if (pic.has_alpha() && format == ResultFormat::bmp) {
        // Not enlarged at all: no result would keep it.
        pic.alpha.reset();
        report.notice = "'" + path +
                        "' is partly transparent, which BMP results cannot keep: they hold its "
                        "colours only";
    }
    // A method that cannot fit is refused before it takes anything, rather than being killed
    // by the system half-way; the other methods still run.
    const bool alpha = pic.has_alpha();
    const std::uint64_t held = (alpha ? 4 : 3) * static_cast<std::uint64_t>(pic.width) *
                               static_cast<std::uint64_t>(pic.height);
    // The results are synced to the disk together at the end, which costs far less than one
    // sync after each (docs/PERFORMANCE.md); a result therefore appears when the run ends.
    CommitBatch results;
    std::size_t files_before[kMethodCount + 1] = {};
    // Each method's part of the progress, in proportion to its expected time.
    double work[kMethodCount] = {}, all_work = 0.0;
    for (int i = 0; i < kMethodCount; ++i) {
        if (!(methods & kMethods[i].bit)) continue;
        work[i] = kMethods[i].work(pic.width, pic.height, out_width, out_height) + 1.0;
        all_work += work[i];
    }
    double begin = 0.0;
    for (int i = 0; i < kMethodCount; ++i) {
        files_before[i] = results.size();
        const MethodEntry& m = kMethods[i];
        if (!(methods & m.bit) || m.run == nullptr) continue;
        if (stop_requested(progress)) {
            report.method[i] = stopped_status(m.name);
            continue;
        }
        const double end = begin + work[i] / all_work;
        if (progress != nullptr) progress->begin_method(i, begin, end);
        begin = end;
        const std::uint64_t need =
            memory != 0 && m.memory_needed != nullptr
                ? m.memory_needed(pic.width, pic.height, out_width, out_height, alpha)
                : 0;
        if (memory != 0 && (need > memory || held > memory - need)) {
            report.method[i] = Status::failure(
                StatusCode::too_large,
                std::string(m.name) + ": " + size_text(out_width, out_height) +
                    " needs about " + format_bytes(need + held) +
                    " of memory, more than this machine's " + format_bytes(memory));
        } else {
            report.method[i] =
                m.run(naming, pic.width, pic.height, out_width, out_height, pic.red.get(),
                      pic.green.get(), pic.blue.get(), pic.alpha.get(), format, progress);
            if (report.method[i].ok())
                report.result_path[i] = method_result_name(naming, m.name, format);
        }
        // A stopped method's bar stays where the stop found it.
        if (progress != nullptr && report.method[i].code != StatusCode::stopped)
            progress->end_method();
    }
    files_before[kMethodCount] = results.size();
    const std::vector<Status> committed = results.commit();
    for (int i = 0; i < kMethodCount; ++i)
        for (std::size_t f = files_before[i]; f < files_before[i + 1]; ++f)
            if (!committed[f].ok() && report.method[i].ok()) {
                report.method[i] = committed[f];
                report.result_path[i].clear();
            }
    return report;
}
