// enlarge3 on the command line: the same run as the window's GO button, for scripts.

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/resize_run.h"
#include "base/isa.h"

namespace {

const char kUsage[] =
    "Usage: enlarge3 [--method NAME]... PICTURE.bmp WIDTH HEIGHT\n"
    "\n"
    "Enlarges a 24-bit BMP picture to WIDTH x HEIGHT pixels by three methods and writes\n"
    "one result per method beside the picture:\n"
    "  PICTURE_lanczos3.bmp  Lanczos-3 filter: sharp, the all-round choice\n"
    "  PICTURE_hybrid.bmp    Lanczos-3 with linear interpolation along edges: less ringing\n"
    "  PICTURE_dct.bmp       DCT-domain zero padding: smoothest gradients; enlargement only,\n"
    "                        each side at least the picture's and at most 4096 pixels\n"
    "(PICTURE is the picture's path less its last four characters.) Existing results of\n"
    "those names are replaced.\n"
    "\n"
    "Options:\n"
    "  --method NAME  run only this method: lanczos3, hybrid or dct (repeatable;\n"
    "                 without it all three run)\n"
    "  -h, --help     show this help and exit\n"
    "\n"
    "Exit status: 0 when every result was written; 1 when the picture could not be read, a\n"
    "method refused the size or a result could not be written (each reason on standard\n"
    "error); 2 for wrong arguments.\n";

int usage_error(const std::string& why) {
    std::fprintf(stderr, "enlarge3: %s\n\n%s", why.c_str(), kUsage);
    return 2;
}

// A whole decimal number in int range, with an optional sign.
bool parse_int(const char* text, int* out) {
    if (*text == '\0') return false;
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(text, &end, 10);
    if (*end != '\0' || errno == ERANGE || v < INT_MIN || v > INT_MAX) return false;
    if (!(*text == '-' || *text == '+' || (*text >= '0' && *text <= '9'))) return false;
    *out = static_cast<int>(v);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    unsigned methods = 0;
    std::vector<const char*> positional;
    bool options_done = false;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (!options_done && std::strcmp(a, "--") == 0) {
            options_done = true;
        } else if (!options_done && (std::strcmp(a, "-h") == 0 || std::strcmp(a, "--help") == 0)) {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (!options_done && (std::strcmp(a, "--method") == 0 ||
                                     std::strncmp(a, "--method=", 9) == 0)) {
            const char* name = nullptr;
            if (a[8] == '=') {
                name = a + 9;
            } else if (i + 1 < argc) {
                name = argv[++i];
            } else {
                return usage_error("--method needs a name: lanczos3, hybrid or dct");
            }
            unsigned bit = method_from_name(name);
            if (bit == 0)
                return usage_error(std::string("unknown method '") + name +
                                   "' (choose lanczos3, hybrid or dct)");
            methods |= bit;
        } else if (!options_done && a[0] == '-' && a[1] != '\0' && !(a[1] >= '0' && a[1] <= '9')) {
            return usage_error(std::string("unknown option '") + a + "'");
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() != 3)
        return usage_error(positional.empty() ? "missing PICTURE.bmp WIDTH HEIGHT"
                                              : "expected PICTURE.bmp WIDTH HEIGHT");
    int width = 0, height = 0;
    if (!parse_int(positional[1], &width))
        return usage_error(std::string("WIDTH must be a whole number, not '") + positional[1] +
                           "'");
    if (!parse_int(positional[2], &height))
        return usage_error(std::string("HEIGHT must be a whole number, not '") + positional[2] +
                           "'");
    if (methods == 0) methods = kAllMethods;
    const Status isa = lane_isa_setting();
    if (!isa.ok()) {
        std::fprintf(stderr, "enlarge3: %s\n", isa.message.c_str());
        return 2;
    }

    RunReport report = resize_run(positional[0], width, height, methods);
    std::fflush(stdout);
    if (report.ok()) return 0;
    std::fprintf(stderr, "%s\n", report.failure_text().c_str());
    return 1;
}
