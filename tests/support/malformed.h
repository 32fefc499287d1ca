#pragma once
// Files that are not pictures the tool can read, each with a name, for every test that must
// refuse them (the reader, the driver, the window) and as the fuzzer's seeds: BMPs whose
// header contradicts itself or the file, cut or damaged PNG and JPEG files, and kinds the tool
// does not read.

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

struct MalformedFile {
    std::string name;                // usable as a test name and a file name
    std::vector<std::uint8_t> bytes;
    std::string says;                // a part of the message that must explain the refusal
};

std::vector<MalformedFile> malformed_files();

// Test names print the case's name rather than its bytes.
inline void PrintTo(const MalformedFile& m, std::ostream* os) { *os << m.name; }

// Files with a flaw that other viewers pass over, and the tool too: size fields that are wrong
// while the pixels are all there, and a JPEG with stray bytes between its markers. Each must
// be read as the well-formed file beside it is.
struct FlawedFile {
    std::string name;
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint8_t> well_formed;  // the same picture without the flaw
    std::string notice;                     // what the reader says of the flaw, or empty
};

std::vector<FlawedFile> flawed_files();

inline void PrintTo(const FlawedFile& f, std::ostream* os) {
    *os << f.name;
}

// jpeg, a JPEG file, with 3 stray bytes after an application segment placed right after its
// start-of-image marker, whose length is off by them.
std::vector<std::uint8_t> jpeg_with_stray_bytes(const std::vector<std::uint8_t>& jpeg);
