#pragma once
// The command line of the driver (app/cli_main.cpp), read into one record that says what to do,
// so that the reading is tested without starting a process.

#include <cstdint>
#include <optional>
#include <string>

#include "app/output_size.h"
#include "app/resize_run.h"

struct DriverArguments {
    enum class Action {
        run,      // a resize run with the fields below
        help,     // -h or --help: the help on standard output
        version,  // --version alone: the name and version
        wrong,    // wrong arguments: the reason, the usage, status 2
    };
    Action action = Action::run;
    std::string wrong;  // Action::wrong: what is wrong, one line without "enlarge3: "
    std::string picture;
    OutputSize size;
    std::string output_folder;  // empty: the results go beside the picture
    unsigned methods = kAllMethods;
    FormatChoice format = FormatChoice::by_picture;
    bool progress = false;
    // --max-pixels N: the most pixels a picture may have, 0 for no limit; unset, the
    // environment's ENLARGE3_MAX_PIXELS or the default holds.
    std::optional<std::uint64_t> max_pixels;
};

// Reads argv[1 .. argc - 1] (UTF-8), left to right: options and their values ("--method NAME"
// or "--method=NAME"; -o takes the next argument only) may come before, between and after
// PICTURE WIDTH HEIGHT, and "--" ends the options. An argument starting with '-' and a digit is
// no option (a negative size). The first wrong argument decides the reason; -h or --help before
// it asks for the help whatever follows, and --version only stands alone.
DriverArguments parse_arguments(int argc, const char* const* argv);
