#include "tests/support/bmp_builder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>

TestPicture random_picture(int width, int height, std::uint32_t seed) {
    TestPicture pic;
    pic.width = width;
    pic.height = height;
    std::mt19937 rng(seed);
    pic.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (Rgb& p : pic.pixels) {
        p.r = static_cast<std::uint8_t>(rng());
        p.g = static_cast<std::uint8_t>(rng());
        p.b = static_cast<std::uint8_t>(rng());
    }
    return pic;
}

void put_le32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + static_cast<size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t get_le32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | bytes[at + static_cast<size_t>(i)];
    return v;
}

void put_le16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint16_t v) {
    bytes[at] = static_cast<std::uint8_t>(v);
    bytes[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

std::vector<std::uint8_t> encode_bmp(const TestPicture& pic, const BmpLayout& layout) {
    size_t stride = (3 * static_cast<size_t>(pic.width) + 3) / 4 * 4;
    std::vector<std::uint8_t> bytes(layout.pixel_offset, 0xEE);
    bytes.resize(54, 0xEE);
    std::fill(bytes.begin(), bytes.begin() + 54, 0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    put_le32(bytes, 10, layout.pixel_offset);
    put_le32(bytes, 14, layout.info_size);
    put_le32(bytes, 18, static_cast<std::uint32_t>(pic.width));
    put_le32(bytes, 22, static_cast<std::uint32_t>(layout.top_down ? -pic.height : pic.height));
    put_le16(bytes, 26, 1);
    put_le16(bytes, 28, layout.bits);
    put_le32(bytes, 30, layout.compression);
    put_le32(bytes, 38, 3780);
    put_le32(bytes, 42, 3780);
    bytes.resize(layout.pixel_offset, 0xEE);
    for (int r = 0; r < pic.height; ++r) {
        int y = layout.top_down ? r : pic.height - 1 - r;
        size_t start = bytes.size();
        for (int x = 0; x < pic.width; ++x) {
            Rgb p = pic.at(x, y);
            bytes.push_back(p.b);
            bytes.push_back(p.g);
            bytes.push_back(p.r);
        }
        bytes.resize(start + stride, layout.padding_byte);
    }
    std::uint32_t size = layout.size_field >= 0 ? static_cast<std::uint32_t>(layout.size_field)
                                                : static_cast<std::uint32_t>(bytes.size());
    put_le32(bytes, 2, size);
    return bytes;
}

std::vector<std::uint8_t> read_file(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return bytes;
    std::uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
    std::fclose(f);
    return bytes;
}

void write_file(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    if (!bytes.empty()) {
        ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    }
    std::fclose(f);
}

bool file_exists(const std::string& path) { return std::filesystem::exists(path); }

TempDir::TempDir() {
    std::string templ = (std::filesystem::temp_directory_path() / "enlarge3-test-XXXXXX").string();
    char* made = mkdtemp(templ.data());
    if (made == nullptr) std::abort();
    path_ = made;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Tests may remove permissions to provoke errors; give them back before removing.
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

TestPicture decode_result_bmp(const std::vector<std::uint8_t>& bytes) {
    TestPicture pic;
    EXPECT_GE(bytes.size(), 54u);
    if (bytes.size() < 54) return pic;
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(get_le32(bytes, 2), bytes.size());
    EXPECT_EQ(get_le32(bytes, 10), 54u);
    EXPECT_EQ(get_le32(bytes, 14), 40u);
    pic.width = static_cast<int>(get_le32(bytes, 18));
    pic.height = static_cast<int>(get_le32(bytes, 22));
    EXPECT_EQ(bytes[28], 24);
    size_t stride = (3 * static_cast<size_t>(pic.width) + 3) / 4 * 4;
    EXPECT_EQ(bytes.size(), 54 + stride * static_cast<size_t>(pic.height));
    if (bytes.size() != 54 + stride * static_cast<size_t>(pic.height)) return pic;
    pic.pixels.resize(static_cast<size_t>(pic.width) * static_cast<size_t>(pic.height));
    for (int r = 0; r < pic.height; ++r) {
        int y = pic.height - 1 - r;
        const std::uint8_t* row = bytes.data() + 54 + static_cast<size_t>(r) * stride;
        for (int x = 0; x < pic.width; ++x)
            pic.pixels[static_cast<size_t>(y * pic.width + x)] = {row[3 * x + 2], row[3 * x + 1], row[3 * x]};
        for (size_t p = 3 * static_cast<size_t>(pic.width); p < stride; ++p) EXPECT_EQ(row[p], 0);
    }
    return pic;
}
