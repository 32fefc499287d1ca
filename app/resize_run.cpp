#include "app/resize_run.h"

#include <cmath>
#include <cstdint>
#include <vector>

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

namespace {

// What a run works on once its input is settled.
struct RunPlan {
    PlanarPicture picture;
    PictureMeta meta;  // the picture's colour encoding goes into PNG results
    int out_width = 0;
    int out_height = 0;
    ResultFormat format = ResultFormat::bmp;
    std::string naming;        // the path the results' names are made from
    std::uint64_t memory = 0;  // the machine's memory the methods plan with, 0 when unknown
    bool memory_set = false;   // memory is the limit ENLARGE3_MEMORY_LIMIT set
};

// Adds a line to the lines of a notice.
void add_notice(std::string* notice, const std::string& line) {
    if (!notice->empty()) *notice += '\n';
    *notice += line;
}

// Everything before the first method, in the order a user meets the refusals: the size as
// given, the picture, the size resolved against it, the format, the output folder. Lines for
// *notice: what the reader had to say of a flaw it passed over, each part of the picture's
// metadata read as absent, and a BMP result of a picture with transparency (which drops the
// enlarged alpha plane) or with a colour profile.
Status plan_run(const std::string& path, const OutputSize& size, const std::string& output_folder,
                FormatChoice choice, std::optional<std::uint64_t> max_pixels, RunPlan* plan,
                std::string* notice) {
    const bool negative = (size.width.kind == SideSize::Kind::pixels && size.width.pixels < 0) ||
                          (size.height.kind == SideSize::Kind::pixels && size.height.pixels < 0);
    if (negative)
        return Status::failure(StatusCode::bad_size, "the output size " + size.width.text + " x " +
                                                         size.height.text +
                                                         " must not be negative");
    int& out_width = plan->out_width;
    int& out_height = plan->out_height;
    out_width = size.width.pixels;
    out_height = size.height.pixels;
    if (size.is_exact() && !bmp_size_fits(out_width, out_height))
        return Status::failure(StatusCode::bad_size,
                               "the output size " + size_text(out_width, out_height) +
                                   " is too large for a BMP file (2 GiB at most)");
    // The picture is held through the whole run, so it counts against the memory the methods
    // plan with, and its reading is bounded by the same memory.
    DecodeLimits limits = machine_decode_limits();
    if (max_pixels) {
        limits.max_pixels = *max_pixels;
        limits.max_pixels_set = true;
    }
    plan->memory = limits.memory_bytes;
    plan->memory_set = limits.memory_set;
    PictureKind kind = PictureKind::unknown;
    Status read = read_picture(path, &plan->picture, limits, &kind, &plan->meta);
    if (!read.ok()) return read;
    if (!plan->picture.notice.empty()) add_notice(notice, plan->picture.notice);
    for (const std::string& line : plan->meta.notes) add_notice(notice, line);
    if (!size.is_exact()) {
        Status resolved = resolve_output_size(size, plan->picture.width, plan->picture.height,
                                              &out_width, &out_height);
        if (!resolved.ok()) return resolved;
        if (!bmp_size_fits(out_width, out_height))
            return Status::failure(StatusCode::bad_size,
                                   "the output size " + size.width.text + " x " + size.height.text +
                                       " comes to " + size_text(out_width, out_height) +
                                       ", too large for a BMP file (2 GiB at most)");
    }
    plan->format = choice == FormatChoice::bmp   ? ResultFormat::bmp
                   : choice == FormatChoice::png ? ResultFormat::png
                                                 : default_result_format(kind);
    if (plan->format == ResultFormat::png && (out_width == 0 || out_height == 0))
        return Status::failure(StatusCode::bad_size,
                               "the output size " + size_text(out_width, out_height) +
                                   " cannot be written as PNG (each side at least 1 pixel)");
    if (!output_folder.empty()) {
        Status made = make_output_folder(output_folder);
        if (!made.ok()) return made;
    }
    plan->naming = results_naming_path(path, output_folder);
    if (plan->picture.has_alpha() && plan->format == ResultFormat::bmp) {
        // Still enlarged: the colours are weighted by it, which keeps colours hidden under
        // transparent pixels out of the visible ones, so a BMP result shows the colours of the
        // PNG result. Only the enlarged alpha itself is not written.
        add_notice(notice, "'" + path +
                               "' is partly transparent, which BMP results cannot keep: they "
                               "hold its colours only");
    }
    if (!plan->meta.icc.empty() && plan->format == ResultFormat::bmp)
        add_notice(notice, "'" + path +
                               "' has a colour profile, which BMP results cannot hold: they hold "
                               "its samples without it");
    return Status::success();
}

// One method on the plan, its result handed to results under its name (*written). A method
// that cannot fit is refused before it takes anything, rather than being killed by the system
// half-way; the other methods still run.
Status run_method(const MethodEntry& m, const RunPlan& plan, RunProgress* progress,
                  CommitBatch* results, std::string* written) {
    const PlanarPicture& pic = plan.picture;
    const std::uint64_t held = (pic.has_alpha() ? 4 : 3) * static_cast<std::uint64_t>(pic.width) *
                               static_cast<std::uint64_t>(pic.height);
    const std::uint64_t memory = plan.memory;
    const std::uint64_t need = memory != 0 ? m.memory_needed(pic.width, pic.height, plan.out_width,
                                                             plan.out_height, pic.has_alpha())
                                           : 0;
    if (memory != 0 && (need > memory || held > memory - need))
        return Status::failure(StatusCode::too_large,
                               std::string(m.name) + ": " +
                                   size_text(plan.out_width, plan.out_height) + " needs about " +
                                   format_bytes(need) + " of memory for the method besides the " +
                                   format_bytes(held) + " the picture takes, more than " +
                                   memory_limit_words(memory, plan.memory_set));
    ResizedPlanes out;
    Status made = m.run(planes_of(pic), plan.out_width, plan.out_height, &out, progress);
    if (!made.ok()) return made;
    const std::string name = method_result_name(plan.naming, m.name, plan.format);
    Status stored = write_result(name, plan.format, out, results, &plan.meta);
    if (stored.ok()) *written = name;
    return stored;
}

// The asked-for methods in their fixed order, each given a part of the progress in proportion
// to its expected time; after a stop the rest are skipped. file_of[i] is method i's file in
// results, SIZE_MAX for none.
void run_methods(const RunPlan& plan, unsigned methods, RunProgress* progress, CommitBatch* results,
                 RunReport* report, std::size_t file_of[kMethodCount]) {
    double work[kMethodCount] = {}, all_work = 0.0;
    for (int i = 0; i < kMethodCount; ++i) {
        if (!(methods & kMethods[i].bit)) continue;
        work[i] = kMethods[i].work(plan.picture.width, plan.picture.height, plan.out_width,
                                   plan.out_height) +
                  1.0;
        all_work += work[i];
    }
    double begin = 0.0;
    for (int i = 0; i < kMethodCount; ++i) {
        const MethodEntry& m = kMethods[i];
        file_of[i] = SIZE_MAX;
        if (!(methods & m.bit)) continue;
        if (stop_requested(progress)) {
            report->method[i] = stopped_status(m.name);
            continue;
        }
        const double end = begin + work[i] / all_work;
        if (progress != nullptr) progress->begin_method(i, begin, end);
        begin = end;
        const std::size_t before = results->size();
        report->method[i] = run_method(m, plan, progress, results, &report->result_path[i]);
        if (results->size() > before) file_of[i] = before;
        // A stopped method's bar stays where the stop found it.
        if (progress != nullptr && report->method[i].code != StatusCode::stopped)
            progress->end_method();
    }
}

// Commits the results and reports each that could not be put in place as its method's failure.
void commit_results(CommitBatch* results, const std::size_t file_of[kMethodCount],
                    RunReport* report) {
    const std::vector<Status> committed = results->commit();
    for (int i = 0; i < kMethodCount; ++i)
        if (file_of[i] != SIZE_MAX && !committed[file_of[i]].ok()) {
            report->method[i] = committed[file_of[i]];
            report->result_path[i].clear();
        }
}

}  // namespace

RunReport resize_run(const std::string& path, const OutputSize& size,
                     const std::string& output_folder, unsigned methods, RunProgress* progress,
                     FormatChoice choice, std::optional<std::uint64_t> max_pixels) {
    RunReport report;
    RunPlan plan;
    report.input = plan_run(path, size, output_folder, choice, max_pixels, &plan, &report.notice);
    if (!report.input.ok()) return report;
    // The results are synced to the disk together at the end, which costs far less than one
    // sync after each (docs/PERFORMANCE.md); a result therefore appears when the run ends, and
    // a result finished before a fatal allocation failure is still put in place.
    CommitBatch results;
    std::size_t file_of[kMethodCount];
    run_methods(plan, methods, progress, &results, &report, file_of);
    commit_results(&results, file_of, &report);
    return report;
}
