// Arbitrary bytes as a dropped picture: through the reading, the plane split and every resizer
// at small output sizes. Built with libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer;
// bench/fuzz.sh runs it.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "app/resize_run.h"
#include "image/bmp.h"

namespace {

// Results are synced to the disk, which on a disk costs milliseconds per input; a folder in
// memory makes the syncs free and leaves the fuzzer its speed.
std::string scratch_path() {
    const char* tmp = std::getenv("TMPDIR");
    const char* folder = tmp != nullptr ? tmp : access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return std::string(folder) + "/enlarge3-fuzz-" + std::to_string(getpid()) + ".bmp";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = scratch_path();
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return 0;
    if (size > 0) std::fwrite(data, 1, size, f);
    std::fclose(f);

    // Output sizes from the header when there is one, kept small so that every input runs
    // quickly: growth (the DCT method's range), reduction and sizes of 0 all occur.
    int out_w = 5, out_h = 3;
    if (size >= static_cast<std::size_t>(kBmpHeaderBytes)) {
        BmpHeader h = bmp_header_fields(data);
        int grow = static_cast<int>(size % 7);
        out_w = h.width >= 0 && h.width <= 40 ? h.width + grow : static_cast<int>(size % 41);
        out_h = h.height >= 0 && h.height <= 40 ? h.height + grow / 2 : static_cast<int>(size % 37);
    }
    RunReport report = resize_run(path, out_w, out_h);
    (void)report;
    for (const char* name : {"%s_lanczos3.bmp", "%s_hybrid.bmp", "%s_dct.bmp"})
        std::remove(result_name(path, name).c_str());
    return 0;
}
