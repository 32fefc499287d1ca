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
