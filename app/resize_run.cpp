#include "app/resize_run.h"

#include <cmath>

#include "base/durable_file.h"
#include "base/machine.h"
#include "dft_resize/dft_resize.h"
#include "image/bmp.h"
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
    const char* result_format;
    ResizerFn run;
    std::uint64_t (*memory_needed)(int W, int H, int W2, int H2);
    double (*work)(int W, int H, int W2, int H2);
};

// The fixed order of a run.
const MethodEntry kMethods[kMethodCount] = {
    {kMethodLanczos3, "lanczos3", "%s_lanczos3.bmp", lanczos3_resize, lanczos3_memory_needed,
     kernel_work},
    {kMethodHybrid, "hybrid", "%s_hybrid.bmp", hybrid_resize, hybrid_memory_needed, hybrid_work},
    {kMethodDct, "dct", "%s_dct.bmp", dft_resize_image, dft_resize_memory_needed, dct_work},
};

}  // namespace

const char* method_name(int index) {
    return index >= 0 && index < kMethodCount ? kMethods[index].name : nullptr;
}

const char* method_result_format(int index) {
    return index >= 0 && index < kMethodCount ? kMethods[index].result_format : nullptr;
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

RunReport resize_run(const std::string& path, int out_width, int out_height, unsigned methods,
                     RunProgress* progress) {
    RunReport report;
    if (out_width < 0 || out_height < 0) {
        report.input = Status::failure(
            StatusCode::bad_size, "the output size " + std::to_string(out_width) + " x " +
                                      std::to_string(out_height) + " must not be negative");
        return report;
    }
    if (!bmp_size_fits(out_width, out_height)) {
        report.input = Status::failure(
            StatusCode::bad_size, "the output size " + std::to_string(out_width) + " x " +
                                      std::to_string(out_height) +
                                      " is too large for a BMP file (2 GiB at most)");
        return report;
    }
    PlanarPicture pic;
    report.input = read_bmp_planes(path, &pic);
    if (!report.input.ok()) return report;

    // A method that cannot fit is refused before it takes anything, rather than being killed
    // by the system half-way; the other methods still run.
    const std::uint64_t memory = physical_memory_bytes();
    const std::uint64_t held = 3 * static_cast<std::uint64_t>(pic.width) *
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
                ? m.memory_needed(pic.width, pic.height, out_width, out_height)
                : 0;
        if (memory != 0 && (need > memory || held > memory - need)) {
            report.method[i] = Status::failure(
                StatusCode::too_large,
                std::string(m.name) + ": " + std::to_string(out_width) + " x " +
                    std::to_string(out_height) + " needs about " + format_bytes(need + held) +
                    " of memory, more than this machine's " + format_bytes(memory));
        } else {
            report.method[i] = m.run(path, pic.width, pic.height, out_width, out_height,
                                     pic.red.get(), pic.green.get(), pic.blue.get(), progress);
            if (report.method[i].ok()) report.result_path[i] = result_name(path, m.result_format);
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
