#include "image/png_chunks.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include <zlib.h>

#include "tests/support/png_builder.h"

namespace {

TEST(PngCrc32, MatchesTheBitwiseDefinitionAndTheCheckValue) {
    // The standard check value: the CRC-32 of "123456789".
    const unsigned char digits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(png_crc32(digits, 9), 0xCBF43926u);
    std::mt19937 rng(1);
    std::vector<std::uint8_t> bytes(1000);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
    for (std::size_t n : {0, 1, 7, 1000})
        EXPECT_EQ(png_crc32(bytes.data(), n), crc32_bitwise(bytes.data(), n)) << n;
    // Continuing over a split gives the CRC of the whole.
    EXPECT_EQ(png_crc32(bytes.data() + 300, 700, png_crc32(bytes.data(), 300)),
              png_crc32(bytes.data(), 1000));
}

TEST(PngChunks, TheDeflateBoundPassesZlibsBestCompression) {
    // All-zero rows at zlib's strongest setting come closest to deflate's 1032 to 1; the
    // bound must never refuse a genuine stream, however compressible.
    PngLayout s;
    s.width = 4000;
    s.height = 4000;
    s.colour_type = 6;
    s.bit_depth = 16;
    std::vector<std::uint8_t> raw(static_cast<std::size_t>(4000) * (1 + 4000 * 8), 0);
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::vector<std::uint8_t> z(size);
    ASSERT_EQ(compress2(z.data(), &size, raw.data(), static_cast<uLong>(raw.size()), 9), Z_OK);
    z.resize(size);
    const std::vector<std::uint8_t> file = encode_png_file(s, z, 1 << 20);
    PngFacts facts;
    Status st = check_png_chunks(file.data(), file.size(), "bomb.png", &facts);
    EXPECT_TRUE(st.ok()) << st.message << " (ratio " << raw.size() / z.size() << ")";
    EXPECT_EQ(facts.idat_bytes, z.size());
    EXPECT_TRUE(facts.transparency);
    // Half the data cannot carry the same pixels.
    z.resize(z.size() / 2);
    st = check_png_chunks(encode_png_file(s, z, 1 << 20).data(), encode_png_file(s, z, 1 << 20).size(),
                          "bomb.png", &facts);
    EXPECT_EQ(st.code, StatusCode::damaged) << st.message;
}

TEST(PngChunks, BytesAfterIendAreIgnored) {
    PngLayout s;
    s.width = s.height = 2;
    s.colour_type = 0;
    s.samples = {1, 2, 3, 4};
    std::vector<std::uint8_t> file = encode_png_file(s);
    file.insert(file.end(), {1, 2, 3, 4, 5});
    PngFacts facts;
    EXPECT_TRUE(check_png_chunks(file.data(), file.size(), "a.png", &facts).ok());
    EXPECT_FALSE(facts.transparency);
}

}  // namespace
