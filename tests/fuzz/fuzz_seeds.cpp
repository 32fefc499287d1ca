// Writes the fuzzer's seed corpus into a folder: every malformed file the tests know, and a
// few well-formed pictures of awkward sizes.

#include <cstdio>
#include <string>

#include "tests/support/bmp_builder.h"
#include "tests/support/malformed.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds FOLDER\n");
        return 2;
    }
    std::string dir = argv[1];
    for (const MalformedFile& m : malformed_files()) write_file(dir + "/" + m.name + ".bmp", m.bytes);
    const int sizes[][2] = {{1, 1}, {2, 3}, {3, 2}, {4, 4}, {5, 1}, {1, 7}, {9, 6}, {17, 5}};
    for (const auto& s : sizes) {
        TestPicture pic = random_picture(s[0], s[1], static_cast<std::uint32_t>(s[0] * 100 + s[1]));
        write_file(dir + "/good-" + std::to_string(s[0]) + "x" + std::to_string(s[1]) + ".bmp",
                   encode_bmp(pic));
        BmpLayout v4;
        v4.info_size = 108;
        v4.pixel_offset = 122;
        write_file(dir + "/good-v4-" + std::to_string(s[0]) + "x" + std::to_string(s[1]) + ".bmp",
                   encode_bmp(pic, v4));
    }
    return 0;
}
