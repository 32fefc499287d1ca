#include "app/driver_arguments.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "image/codecs.h"

namespace {

// Whether arg is the option name, as "NAME" (its value the next argument) or "NAME=VALUE".
bool is_option(const char* arg, const char* name) {
    const std::size_t n = std::strlen(name);
    return std::strncmp(arg, name, n) == 0 && (arg[n] == '\0' || arg[n] == '=');
}

// The value of the option at argv[*i], which is_option accepted: after its '=', or else the
// next argument, which *i then moves past; nullptr when there is none.
const char* option_value(int argc, const char* const* argv, int* i) {
    const char* equals = std::strchr(argv[*i], '=');
    if (equals != nullptr) return equals + 1;
    if (*i + 1 < argc) return argv[++*i];
    return nullptr;
}

DriverArguments wrong(const std::string& why) {
    DriverArguments a;
    a.action = DriverArguments::Action::wrong;
    a.wrong = why;
    return a;
}

}  // namespace

DriverArguments parse_arguments(int argc, const char* const* argv) {
    DriverArguments args;
    args.methods = 0;
    bool show_version = false;
    std::vector<const char*> positional;
    bool options_done = false;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (!options_done && std::strcmp(a, "--") == 0) {
            options_done = true;
        } else if (!options_done && (std::strcmp(a, "-h") == 0 || std::strcmp(a, "--help") == 0)) {
            args.action = DriverArguments::Action::help;
            return args;
        } else if (!options_done && std::strcmp(a, "--version") == 0) {
            show_version = true;
        } else if (!options_done && (std::strcmp(a, "-o") == 0 || is_option(a, "--output-dir"))) {
            const char* folder = std::strcmp(a, "-o") == 0 ? (i + 1 < argc ? argv[++i] : nullptr)
                                                           : option_value(argc, argv, &i);
            if (folder == nullptr || *folder == '\0')
                return wrong(std::string(a) + " needs a folder");
            args.output_folder = folder;
        } else if (!options_done && is_option(a, "--max-pixels")) {
            const char* value = option_value(argc, argv, &i);
            std::uint64_t n = 0;
            bool number = value != nullptr && *value != '\0';
            for (const char* c = value; number && *c != '\0'; ++c) {
                const std::uint64_t digit = static_cast<std::uint64_t>(*c - '0');
                number = *c >= '0' && *c <= '9' && n <= (UINT64_MAX - digit) / 10;
                n = n * 10 + digit;
            }
            if (!number)
                return wrong(
                    "--max-pixels needs a number of pixels (0 for no limit)" +
                    std::string(value != nullptr ? ", not '" + std::string(value) + "'" : ""));
            args.max_pixels = n;
        } else if (!options_done && std::strcmp(a, "--progress") == 0) {
            args.progress = true;
        } else if (!options_done && is_option(a, "--method")) {
            const char* name = option_value(argc, argv, &i);
            if (name == nullptr) return wrong("--method needs a name: lanczos3, hybrid or dct");
            const unsigned bit = method_from_name(name);
            if (bit == 0)
                return wrong(std::string("unknown method '") + name +
                             "' (choose lanczos3, hybrid or dct)");
            args.methods |= bit;
        } else if (!options_done && is_option(a, "--format")) {
            const char* name = option_value(argc, argv, &i);
            if (name == nullptr) return wrong("--format needs a format: bmp or png");
            if (std::strcmp(name, "bmp") == 0) {
                args.format = FormatChoice::bmp;
            } else if (std::strcmp(name, "png") == 0) {
                // Refused before the methods' work rather than at each result.
                if (!picture_codecs_built())
                    return wrong(
                        "--format png: this build writes BMP results only (it was "
                        "built without libpng and libjpeg)");
                args.format = FormatChoice::png;
            } else {
                return wrong(std::string("unknown format '") + name + "' (choose bmp or png)");
            }
        } else if (!options_done && a[0] == '-' && a[1] != '\0' && !(a[1] >= '0' && a[1] <= '9')) {
            return wrong(std::string("unknown option '") + a + "'");
        } else {
            positional.push_back(a);
        }
    }
    if (show_version) {
        // Alone it answers; with work to do it would leave the work undone, silently.
        if (argc != 2) return wrong("--version takes no other arguments");
        args.action = DriverArguments::Action::version;
        return args;
    }
    if (positional.size() != 3)
        return wrong(positional.empty() ? "missing PICTURE WIDTH HEIGHT"
                                        : "expected PICTURE WIDTH HEIGHT");
    const Status parsed = parse_output_size(positional[1], positional[2], &args.size);
    if (!parsed.ok()) return wrong(parsed.message);
    args.picture = positional[0];
    if (args.methods == 0) args.methods = kAllMethods;
    return args;
}
