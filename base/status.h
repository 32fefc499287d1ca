#pragma once
// Status values for input and file errors. The core never prints these nor exits on them:
// it hands them up, and the front-end (command line or window) decides how to show them.

#include <string>
#include <utility>

enum class StatusCode {
    ok = 0,
    cannot_open,     // the picture cannot be opened for reading (missing, no permission)
    not_a_file,      // a directory or other non-regular file
    wrong_kind,      // not the kind of picture expected: no signature, or a header too short to be one
    unsupported,     // a picture kind this tool does not read (CMYK JPEG, OS/2 BMP, ...)
    bad_header,      // header fields that contradict each other or the file
    short_file,      // fewer pixel bytes than the size field announces, or a file cut short
    damaged,         // picture data that fails its checksums or cannot be decoded
    bad_size,        // an output size that cannot be produced
    too_large,       // more memory than this machine has
    write_failed,    // a result file could not be created or written
    bad_setting,     // an environment setting with a value the program does not take
    stopped,         // a stop was asked for before the step finished; it wrote nothing
};

struct [[nodiscard]] Status {
    StatusCode code = StatusCode::ok;
    std::string message;  // one line for the user, without trailing newline; empty when ok

    bool ok() const { return code == StatusCode::ok; }
    static Status success() { return Status{}; }
    static Status failure(StatusCode c, std::string text) { return Status{c, std::move(text)}; }
};

// A failure about the file name: "'NAME' what", the form every reader's refusal takes.
inline Status file_failure(StatusCode code, const std::string& name, const std::string& what) {
    return Status::failure(code, "'" + name + "' " + what);
}
