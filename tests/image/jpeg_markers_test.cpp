#include "image/jpeg_markers.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// A progressive colour frame of 16 x 8 pixels.
const Bytes kFrame = {0xFF, 0xC2, 0x00, 0x11, 8, 0x00, 0x08, 0x00, 0x10, 3,
                      1, 0x11, 0, 2, 0x11, 1, 3, 0x11, 1};
// A scan header of one component, followed by entropy-coded data.
const Bytes kScan = {0xFF, 0xDA, 0x00, 0x08, 1, 1, 0x00, 0, 0, 0};

Bytes file_of(const std::vector<Bytes>& parts) {
    Bytes out = {0xFF, 0xD8};
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Status check(const Bytes& file, JpegFacts* facts = nullptr) {
    JpegFacts ignored;
    return check_jpeg_markers(file.data(), file.size(), "p.jpg", facts ? facts : &ignored);
}

TEST(JpegMarkers, FrameFactsAreRead) {
    JpegFacts facts;
    ASSERT_TRUE(check(file_of({kFrame, kScan, {0x12, 0xFF, 0xD9}}), &facts).ok());
    EXPECT_EQ(facts.width, 16);
    EXPECT_EQ(facts.height, 8);
    EXPECT_EQ(facts.components, 3);
    EXPECT_TRUE(facts.progressive);
}

TEST(JpegMarkers, EntropyCodedDataHideNoMarkers) {
    // A stuffed FF 00, a restart marker and fill bytes lie inside the data; only FF D9 ends.
    const Bytes data = {0x12, 0xFF, 0x00, 0x34, 0xFF, 0xD3, 0x56, 0xFF, 0xFF, 0x00, 0x78};
    EXPECT_TRUE(check(file_of({kFrame, kScan, data, {0xFF, 0xD9}})).ok());
    const Status cut = check(file_of({kFrame, kScan, data}));
    EXPECT_EQ(cut.code, StatusCode::short_file);
    EXPECT_NE(cut.message.find("end-of-image"), std::string::npos) << cut.message;
}

TEST(JpegMarkers, AnEndMarkerInsideATableSegmentIsNotTheEnd) {
    // A comment segment holding FF D9 between two scans: the file still has no end.
    const Bytes comment = {0xFF, 0xFE, 0x00, 0x04, 0xFF, 0xD9};
    EXPECT_EQ(check(file_of({kFrame, kScan, {1, 2}, comment, kScan, {3}})).code,
              StatusCode::short_file);
    EXPECT_TRUE(check(file_of({kFrame, kScan, {1, 2}, comment, kScan, {3, 0xFF, 0xD9}})).ok());
}

TEST(JpegMarkers, AtMostFiveHundredScans) {
    std::vector<Bytes> parts = {kFrame};
    for (int i = 0; i < kMostJpegScans; ++i) parts.push_back(kScan);
    parts.push_back({0xFF, 0xD9});
    EXPECT_TRUE(check(file_of(parts)).ok());
    parts.insert(parts.end() - 1, kScan);
    const Status st = check(file_of(parts));
    EXPECT_EQ(st.code, StatusCode::unsupported);
    EXPECT_NE(st.message.find("more than 500 scans"), std::string::npos) << st.message;
}

TEST(JpegMarkers, AScanBeforeTheFrameAndTwoFramesAreDamage) {
    EXPECT_EQ(check(file_of({kScan, {0xFF, 0xD9}})).code, StatusCode::bad_header);
    EXPECT_EQ(check(file_of({kFrame, kFrame, kScan, {0xFF, 0xD9}})).code, StatusCode::bad_header);
    EXPECT_EQ(check(file_of({{0xFF, 0xD9}})).code, StatusCode::bad_header);
}

TEST(JpegMarkers, SegmentsMustLieInsideTheFile) {
    Bytes long_segment = {0xFF, 0xE1, 0x10, 0x00, 1, 2, 3};
    EXPECT_EQ(check(file_of({long_segment})).code, StatusCode::short_file);
    EXPECT_EQ(check(file_of({{0xFF, 0xE1, 0x00, 0x01}})).code, StatusCode::bad_header);
    EXPECT_EQ(check(file_of({kFrame, {0x00, 0xE1}})).code, StatusCode::bad_header);
}

}  // namespace
