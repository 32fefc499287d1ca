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
    EXPECT_TRUE(facts.multi_scan);
    // A sequential frame whose one scan holds every component keeps no coefficients; one whose
    // components come in scans of their own does.
    Bytes sequential = kFrame;
    sequential[1] = 0xC0;
    const Bytes all = {0xFF, 0xDA, 0x00, 0x0C, 3, 1, 0x00, 2, 0x11, 3, 0x11, 0, 63, 0};
    ASSERT_TRUE(check(file_of({sequential, all, {0x12, 0xFF, 0xD9}}), &facts).ok());
    EXPECT_FALSE(facts.multi_scan);
    ASSERT_TRUE(check(file_of({sequential, kScan, {0x12, 0xFF, 0xD9}}), &facts).ok());
    EXPECT_TRUE(facts.multi_scan);
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
    // So are a sampling factor past 4, a scan of a component the frame lacks, and a scan header
    // whose length is not 6 and 2 a component.
    Bytes sampling = kFrame, stranger = kScan, long_scan = kScan;
    sampling[11] = 0x51;
    stranger[5] = 7;
    long_scan[3] = 0x0A;
    for (const Bytes& file :
         {file_of({sampling, kScan, {0xFF, 0xD9}}), file_of({kFrame, stranger, {0xFF, 0xD9}}),
          file_of({kFrame, long_scan, {0xFF, 0xD9}})})
        EXPECT_EQ(check(file).code, StatusCode::bad_header);
}

TEST(JpegMarkers, SegmentsMustLieInsideTheFile) {
    Bytes long_segment = {0xFF, 0xE1, 0x10, 0x00, 1, 2, 3};
    EXPECT_EQ(check(file_of({long_segment})).code, StatusCode::short_file);
    EXPECT_EQ(check(file_of({{0xFF, 0xE1, 0x00, 0x01}})).code, StatusCode::bad_header);
    // Bytes that lead to no marker: the file ends before its scan.
    EXPECT_EQ(check(file_of({kFrame, {0x00, 0xE1}})).code, StatusCode::short_file);
}

// Bytes before a marker that belong to no segment are skipped as the decoders skip them (an FF
// 00 among them too), counted, and left out of the copy asked for; entropy-coded data are no
// stray bytes.
TEST(JpegMarkers, StrayBytesBeforeAMarkerAreSkippedAndCounted) {
    const Bytes comment = {0xFF, 0xFE, 0x00, 0x03, 'x'};
    const Bytes end = {0x12, 0xFF, 0x00, 0x34, 0xFF, 0xD9};
    const struct {
        const char* what;
        Bytes file;
        std::uint64_t stray;
        std::size_t first;
        Bytes without;
    } cases[] = {
        {"none", file_of({kFrame, kScan, end}), 0, 0, {}},
        {"after the frame", file_of({kFrame, {1, 2, 3}, kScan, end}), 3, 21,
         file_of({kFrame, kScan, end})},
        {"FF 00 among them", file_of({comment, {7, 0xFF, 0x00, 8}, kFrame, kScan, end}), 4, 7,
         file_of({comment, kFrame, kScan, end})},
        {"two places", file_of({comment, {9}, comment, {9, 9}, kFrame, kScan, end}), 3, 7,
         file_of({comment, comment, kFrame, kScan, end})},
    };
    for (const auto& c : cases) {
        JpegFacts facts;
        std::vector<unsigned char> without;
        const Status st =
            check_jpeg_markers(c.file.data(), c.file.size(), "p.jpg", &facts, &without);
        ASSERT_TRUE(st.ok()) << c.what << ": " << st.message;
        EXPECT_EQ(facts.stray_bytes, c.stray) << c.what;
        EXPECT_EQ(facts.first_stray, c.first) << c.what;
        EXPECT_EQ(Bytes(without.begin(), without.end()), c.without) << c.what;
    }
}

// A frame of w x h pixels, grey, and n scans of the whole frame.
Bytes scans_of(int w, int h, int n) {
    std::vector<Bytes> parts = {{0xFF, 0xC2, 0x00, 0x0B, 8, static_cast<std::uint8_t>(h >> 8),
                                 static_cast<std::uint8_t>(h), static_cast<std::uint8_t>(w >> 8),
                                 static_cast<std::uint8_t>(w), 1, 1, 0x11, 0}};
    for (int i = 0; i < n; ++i) parts.push_back({0xFF, 0xDA, 0x00, 0x08, 1, 1, 0x00, 0, 0, 0});
    parts.push_back({0xFF, 0xD9});
    return file_of(parts);
}

// The scans may pass over the frame's blocks at most 32 times, beyond a small allowance that a
// small picture's many scans fit in.
TEST(JpegMarkers, ScansMayPassOverTheBlocksAFixedNumberOfTimes) {
    // 16384 x 16384 pixels: 4194304 blocks, as many as the allowance.
    EXPECT_TRUE(check(scans_of(16384, 16384, 33)).ok());
    const Status st = check(scans_of(16384, 16384, 34));
    EXPECT_EQ(st.code, StatusCode::unsupported);
    EXPECT_EQ(st.message,
              "'p.jpg' has 34 scans that pass over its 16384 x 16384 pixels 34 times, far more "
              "than encoders write (at most 32 are read)");
    EXPECT_TRUE(check(scans_of(64, 64, 500)).ok());
}

}  // namespace
