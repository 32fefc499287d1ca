#include "app/resize_run.h"

#include "base/durable_file.h"
#include "base/machine.h"
#include "dft_resize/dft_resize.h"
#include "image/bmp.h"
#include "kernel_resize/hybrid.h"
#include "kernel_resize/lanczos3.h"

namespace {

struct MethodEntry {
    unsigned bit;
    const char* name;
    ResizerFn run;
    std::uint64_t (*memory_needed)(int W, int H, int W2, int H2);
};

// The fixed order of a run.
const MethodEntry kMethods[kMethodCount] = {
    {kMethodLanczos3, "lanczos3", lanczos3_resize, lanczos3_memory_needed},
    {kMethodHybrid, "hybrid", hybrid_resize, hybrid_memory_needed},
    {kMethodDct, "dct", dft_resize_image, dft_resize_memory_needed},
};

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

std::string RunReport::failure_text() const {
    std::string text;
    auto add = [&text](const Status& s) {
        if (s.ok()) return;
        if (!text.empty()) text += '\n';
        text += s.message;
    };
    add(input);
    for (const Status& s : method) add(s);
    return text;
}

RunReport resize_run(const std::string& path, int out_width, int out_height, unsigned methods) {
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
    for (int i = 0; i < kMethodCount; ++i) {
        files_before[i] = results.size();
        const MethodEntry& m = kMethods[i];
        if (!(methods & m.bit) || m.run == nullptr) continue;
        if (memory != 0 && m.memory_needed != nullptr) {
            std::uint64_t need = m.memory_needed(pic.width, pic.height, out_width, out_height);
            if (need > memory || held > memory - need) {
                report.method[i] = Status::failure(
                    StatusCode::too_large,
                    std::string(m.name) + ": " + std::to_string(out_width) + " x " +
                        std::to_string(out_height) + " needs about " + format_bytes(need + held) +
                        " of memory, more than this machine's " + format_bytes(memory));
                continue;
            }
        }
        report.method[i] = m.run(path, pic.width, pic.height, out_width, out_height,
                                 pic.red.get(), pic.green.get(), pic.blue.get());
    }
    files_before[kMethodCount] = results.size();
    const std::vector<Status> committed = results.commit();
    for (int i = 0; i < kMethodCount; ++i)
        for (std::size_t f = files_before[i]; f < files_before[i + 1]; ++f)
            if (!committed[f].ok() && report.method[i].ok()) report.method[i] = committed[f];
    return report;
}
