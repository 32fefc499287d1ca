#include "app/window_model.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <tuple>

#include "base/file_io.h"
#include "tests/app/window_languages.h"
#include "tests/support/bmp_builder.h"
#include "tests/support/jpeg_maker.h"
#include "tests/support/malformed.h"
#include "tests/support/png_builder.h"

namespace {

// Files the window can be handed, by path; paths not listed cannot be opened. Counts the
// reads and the held blocks still alive, to see what a drop opened and what it released.
struct FakeDisk {
    std::map<std::string, std::vector<unsigned char>> files;
    std::vector<std::string> reads;
    std::shared_ptr<int> live_blocks = std::make_shared<int>(0);

    ReadWholeFileFn reader() {
        return [this](const std::string& path, FileBytes* out) {
            reads.push_back(path);
            auto it = files.find(path);
            if (it == files.end()) return false;
            const std::vector<unsigned char>& b = it->second;
            auto* block = new unsigned char[b.size() + 1];
            std::copy(b.begin(), b.end(), block);
            ++*live_blocks;
            std::shared_ptr<int> live = live_blocks;
            out->data = std::shared_ptr<unsigned char>(block, [live](unsigned char* p) {
                --*live;
                delete[] p;
            });
            out->size = b.size();
            out->file_length = b.size();
            return true;
        };
    }
};

class WindowModelTest : public ::testing::Test {
   protected:
    void SetUp() override {
        disk.files["/p/cat.bmp"] = make_bmp(5, 3);
        disk.files["/p/dog.bmp"] = make_bmp(7, 2);
        std::vector<unsigned char> eight = make_bmp(4, 4);
        put_le16(eight, 28, 8);
        disk.files["/p/eight.bmp"] = eight;
        (void)window_create(&m, expected_texts("ja"));
    }

    WindowEffects drop(const std::string& path) { return window_drop(&m, {path}, disk.reader()); }
    WindowEffects type_boxes(const std::string& w, const std::string& h) {
        (void)window_command(&m, kWidthBoxId, kBoxTextChanged, w);
        return window_command(&m, kHeightBoxId, kBoxTextChanged, h);
    }
    const PaintOp* preview() {
        ops = window_paint(m);
        for (const PaintOp& op : ops)
            if (op.kind == PaintKind::picture) return &op;
        return nullptr;
    }

    FakeDisk disk;
    WindowModel m;
    std::vector<PaintOp> ops;
};

// The title cannot drift from the version --version prints: CMake's 1.0 is "Ver1.00".
TEST(WindowTitle, EndsInTheProjectVersionWrittenVerMajorPointTwoDigitMinor) {
    char version[32];
    std::snprintf(version, sizeof version, " Ver%d.%02d", ENLARGE3_VERSION_MAJOR,
                  ENLARGE3_VERSION_MINOR);
    for (const char* language : {"ja", "en"}) {
        const std::string title = window_title(expected_texts(language));
        ASSERT_GE(title.size(), std::strlen(version));
        EXPECT_EQ(title.substr(title.size() - std::strlen(version)), version);
    }
    EXPECT_EQ(window_title(expected_texts("ja")), "ころぽんの画像拡大!３種類から選んでね Ver1.00");
    EXPECT_EQ(std::string(ENLARGE3_VERSION), std::to_string(ENLARGE3_VERSION_MAJOR) + "." +
                                                 std::to_string(ENLARGE3_VERSION_MINOR));
}

TEST_F(WindowModelTest, StartsEmptyWithZerosAndGoDisabled) {
    EXPECT_EQ(m.width_text, "0");
    EXPECT_EQ(m.height_text, "0");
    EXPECT_FALSE(m.go_enabled);
    EXPECT_FALSE(m.picture_held);
    // The labels are controls: only the grey is drawn.
    ops = window_paint(m);
    ASSERT_EQ(ops.size(), 1u);
    EXPECT_EQ(ops[0].kind, PaintKind::fill);
    EXPECT_EQ(ops[0].rgb, 0xC0C0C0u);
    EXPECT_FALSE(window_command(&m, kGoButtonId, 0, "").run);
}

TEST_F(WindowModelTest, AcceptedDropHoldsPictureFillsBoxesAndEnablesGo) {
    WindowEffects e = drop("/p/cat.bmp");
    EXPECT_TRUE(e.repaint);
    EXPECT_TRUE(e.set_box_texts);
    EXPECT_TRUE(e.message.empty());
    EXPECT_TRUE(m.go_enabled);
    EXPECT_EQ(m.width_text, "5");
    EXPECT_EQ(m.height_text, "3");
    EXPECT_EQ(m.dropped_path, "/p/cat.bmp");
    EXPECT_EQ(m.accepted_path, "/p/cat.bmp");
    const PaintOp* p = preview();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->x, 4);
    EXPECT_EQ(p->y, 48);
    EXPECT_EQ(p->width, 5);
    EXPECT_EQ(p->height, 3);
    EXPECT_EQ(p->info_header, m.held.bytes.get() + 14);
    EXPECT_EQ(p->pixels, m.held.bytes.get() + 54);
    // The bottom row comes first: its first pixel is the picture's bottom-left one.
    const std::uint32_t rgb = test_pixel_rgb(0, 2);
    EXPECT_EQ(p->pixels[0], rgb & 0xFF);
    EXPECT_EQ(p->pixels[2], rgb >> 16);
}

TEST_F(WindowModelTest, PixelsAreFoundAtTheStoredOffsetBehindALargerHeader) {
    disk.files["/p/v5.bmp"] = make_bmp(3, 2, 84);  // a 124-byte information header
    (void)drop("/p/v5.bmp");
    const PaintOp* p = preview();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->pixels, m.held.bytes.get() + 54 + 84);
}

TEST_F(WindowModelTest, OnlyTheFirstFileOfADropIsRead) {
    (void)window_drop(&m, {"/p/dog.bmp", "/p/cat.bmp", "/p/eight.bmp"}, disk.reader());
    EXPECT_EQ(disk.reads, std::vector<std::string>{"/p/dog.bmp"});
    EXPECT_EQ(m.width_text, "7");
    EXPECT_EQ(m.height_text, "2");
    EXPECT_EQ(m.accepted_path, "/p/dog.bmp");
}

TEST_F(WindowModelTest, AnEmptyDropChangesNothing) {
    (void)drop("/p/cat.bmp");
    WindowEffects e = window_drop(&m, {}, disk.reader());
    EXPECT_FALSE(e.set_box_texts);
    EXPECT_TRUE(disk.reads.size() == 1);
    EXPECT_EQ(m.dropped_path, "/p/cat.bmp");
}

TEST_F(WindowModelTest, GoRunsTheAcceptedPictureAtTheBoxSizesThenStaysDisabled) {
    (void)drop("/p/cat.bmp");
    WindowEffects e = window_command(&m, kGoButtonId, 0, "");
    ASSERT_TRUE(e.run);
    EXPECT_EQ(e.request.path, "/p/cat.bmp");
    EXPECT_EQ(e.request.out_width, 5);
    EXPECT_EQ(e.request.out_height, 3);
    EXPECT_FALSE(m.go_enabled);  // before the run starts
    e = window_run_finished(&m, RunReport{});
    EXPECT_TRUE(e.repaint);
    EXPECT_TRUE(e.message.empty());
    EXPECT_FALSE(m.go_enabled);
    EXPECT_TRUE(m.picture_held);
    // A second press (a queued click, another program's message) starts nothing.
    EXPECT_FALSE(window_command(&m, kGoButtonId, 0, "").run);
}

TEST_F(WindowModelTest, PngAndJpegDropsAreShownAndRunInTheirDefaultFormat) {
    const TestPicture pic = random_picture(6, 5, 9);
    PngLayout png;
    png.width = pic.width;
    png.height = pic.height;
    for (const Rgb& c : pic.pixels) png.samples.insert(png.samples.end(), {c.r, c.g, c.b});
    disk.files["/p/shot.png"] = encode_png_file(png);
    disk.files["/p/photo.jpeg"] = make_jpeg(pic, JpegLayout{});
    const std::vector<std::uint8_t> plain = encode_bmp(pic);
    const std::vector<std::uint8_t> jpeg_plain =
        encode_bmp(plain_jpeg_samples(disk.files["/p/photo.jpeg"]));
    const struct {
        const char* path;
        const std::vector<std::uint8_t>* want;
    } drops[] = {{"/p/shot.png", &plain}, {"/p/photo.jpeg", &jpeg_plain}};
    for (const auto& d : drops) {
        WindowEffects e = drop(d.path);
        EXPECT_TRUE(e.repaint) << d.path;
        ASSERT_TRUE(m.picture_held) << d.path << ": " << m.refusal;
        EXPECT_EQ(m.width_text, "6");
        EXPECT_EQ(m.height_text, "5");
        EXPECT_EQ(m.result_format, ResultFormat::png);
        const PaintOp* p = preview();
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->width, 6);
        EXPECT_TRUE(std::equal(d.want->begin() + 54, d.want->end(), p->pixels)) << d.path;
        e = window_command(&m, kGoButtonId, 0, "");
        ASSERT_TRUE(e.run);
        EXPECT_EQ(e.request.path, d.path);
        EXPECT_EQ(e.request.format, FormatChoice::png);
        (void)window_run_finished(&m, RunReport{});
    }
    // A BMP picture gives BMP results again.
    (void)drop("/p/cat.bmp");
    EXPECT_EQ(m.result_format, ResultFormat::bmp);
    EXPECT_EQ(window_command(&m, kGoButtonId, 0, "").request.format, FormatChoice::bmp);
}

TEST_F(WindowModelTest, TheFormatButtonsChooseUntilThePictureChanges) {
    (void)drop("/p/cat.bmp");
    (void)window_command(&m, kPngFormatId, 0, "");
    EXPECT_EQ(m.result_format, ResultFormat::png);
    // A refused drop leaves the choice, as it leaves GO bound to the picture accepted.
    (void)drop("/p/eight.bmp");
    EXPECT_EQ(m.result_format, ResultFormat::png);
    (void)drop("/p/cat.bmp");
    EXPECT_EQ(m.result_format, ResultFormat::bmp);
    (void)window_command(&m, kPngFormatId, 0, "");
    (void)window_command(&m, kBmpFormatId, 0, "");
    (void)window_command(&m, kPngFormatId, 0, "");
    WindowEffects e = window_command(&m, kGoButtonId, 0, "");
    EXPECT_EQ(e.request.format, FormatChoice::png);
    // During the run the choice is for the next one; the run keeps its own.
    (void)window_command(&m, kBmpFormatId, 0, "");
    EXPECT_EQ(m.run_request.format, FormatChoice::png);
}

// At 96 DPI the places are the original ones; at 144 and 192 each number is scaled by 1.5
// and 2, halves rounded up; the preview takes the rest of the client area.
TEST(WindowLayout, ScalesEveryPlaceByTheDpi) {
    const struct {
        int dpi;
        Rect go, width_box, bmp, progress_text, format_label, preview, picture_text;
    } cases[] = {
        {96,
         {8, 8, 96, 32},
         {204, 8, 38, 22},
         {204, 31, 60, 16},
         {388, 27, 124, 18},
         {120, 32, 80, 16},
         {4, 48, 592, 412},
         {4, 460, 592, 20}},
        {144,
         {12, 12, 144, 48},
         {306, 12, 57, 33},
         {306, 47, 90, 24},
         {582, 41, 186, 27},
         {180, 48, 120, 24},
         {6, 72, 888, 618},
         {6, 690, 888, 30}},
        {192,
         {16, 16, 192, 64},
         {408, 16, 76, 44},
         {408, 62, 120, 32},
         {776, 54, 248, 36},
         {240, 64, 160, 32},
         {8, 96, 1184, 824},
         {8, 920, 1184, 40}},
    };
    auto same = [](const Rect& a, const Rect& b) {
        return std::tie(a.x, a.y, a.width, a.height) == std::tie(b.x, b.y, b.width, b.height);
    };
    auto overlap = [](const Rect& a, const Rect& b) {
        return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height &&
               b.y < a.y + a.height;
    };
    for (const auto& c : cases) {
        // The client area of a 600 x 480 window at this DPI.
        const WindowLayout l = window_layout(c.dpi, 600 * c.dpi / 96, 480 * c.dpi / 96);
        EXPECT_TRUE(same(l.go, c.go)) << c.dpi;
        EXPECT_TRUE(same(l.width_box, c.width_box)) << c.dpi;
        EXPECT_TRUE(same(l.bmp, c.bmp)) << c.dpi;
        EXPECT_TRUE(same(l.progress_text, c.progress_text)) << c.dpi;
        EXPECT_TRUE(same(l.format_label, c.format_label)) << c.dpi;
        EXPECT_TRUE(same(l.preview, c.preview)) << c.dpi;
        EXPECT_TRUE(same(l.picture_text, c.picture_text)) << c.dpi;
        // Rounding never makes two of them overlap, nor any reach into the preview.
        const Rect all[] = {l.go,          l.width_box,    l.height_box,  l.bmp,
                            l.png,         l.stop,         l.bar,         l.progress_text,
                            l.width_label, l.height_label, l.format_label};
        for (const Rect& a : all) {
            EXPECT_LE(a.y + a.height, l.preview.y) << c.dpi;
            for (const Rect& b : all) {
                if (&a == &b) continue;
                EXPECT_FALSE(overlap(a, b)) << c.dpi << ": " << a.x << "," << a.y;
            }
        }
    }
}

TEST_F(WindowModelTest, GoUsesTheTypedSizes) {
    (void)drop("/p/cat.bmp");
    (void)type_boxes("1920", "1080");
    EXPECT_EQ(m.out_width, 1920);
    EXPECT_EQ(m.out_height, 1080);
    WindowEffects e = window_command(&m, kGoButtonId, 0, "");
    EXPECT_EQ(e.request.out_width, 1920);
    EXPECT_EQ(e.request.out_height, 1080);
}

TEST_F(WindowModelTest, DroppingTheSameFileAgainAfterARunEnablesGo) {
    (void)drop("/p/cat.bmp");
    (void)window_command(&m, kGoButtonId, 0, "");
    (void)window_run_finished(&m, RunReport{});
    (void)drop("/p/cat.bmp");
    EXPECT_TRUE(m.go_enabled);
    EXPECT_TRUE(window_command(&m, kGoButtonId, 0, "").run);
}

TEST_F(WindowModelTest, FailedRunShowsItsLinesAndLeavesTheWindowUsable) {
    (void)drop("/p/cat.bmp");
    (void)window_command(&m, kGoButtonId, 0, "");
    RunReport r;
    r.input = Status::failure(StatusCode::short_file, "InputFileSizeError!!!");
    WindowEffects e = window_run_finished(&m, r);
    EXPECT_EQ(e.message, "InputFileSizeError!!!");
    EXPECT_FALSE(m.go_enabled);
    EXPECT_TRUE(m.picture_held);

    (void)drop("/p/cat.bmp");
    ASSERT_TRUE(window_command(&m, kGoButtonId, 0, "").run);
    RunReport two;
    two.method[0] = Status::failure(StatusCode::write_failed, "cannot write 'a_lanczos3.bmp'");
    two.method[2] = Status::failure(StatusCode::bad_size, "dct: too small");
    EXPECT_EQ(window_run_finished(&m, two).message,
              "cannot write 'a_lanczos3.bmp'\ndct: too small");
    (void)drop("/p/dog.bmp");
    EXPECT_TRUE(m.go_enabled);
}

TEST_F(WindowModelTest, EightBitDropAfterAcceptedOneKeepsGoBoundToTheAcceptedPicture) {
    (void)drop("/p/cat.bmp");
    (void)type_boxes("50", "30");
    WindowEffects e = drop("/p/eight.bmp");
    EXPECT_FALSE(e.repaint);  // the screen is left as it is until the next repaint
    EXPECT_TRUE(e.set_box_texts);
    EXPECT_EQ(m.width_text, "5");
    EXPECT_EQ(m.height_text, "3");
    EXPECT_EQ(m.dropped_path, "/p/eight.bmp");
    EXPECT_FALSE(m.picture_held);
    EXPECT_EQ(preview(), nullptr);
    EXPECT_EQ(*disk.live_blocks, 0);
    EXPECT_FALSE(m.refusal.empty());
    EXPECT_TRUE(m.go_enabled);
    e = window_command(&m, kGoButtonId, 0, "");
    ASSERT_TRUE(e.run);
    EXPECT_EQ(e.request.path, "/p/cat.bmp");
    EXPECT_EQ(e.request.out_width, 5);
}

TEST_F(WindowModelTest, RefusedDropAfterARunLeavesGoDisabled) {
    (void)drop("/p/cat.bmp");
    (void)window_command(&m, kGoButtonId, 0, "");
    (void)window_run_finished(&m, RunReport{});
    (void)drop("/p/eight.bmp");
    EXPECT_FALSE(m.go_enabled);
    EXPECT_FALSE(window_command(&m, kGoButtonId, 0, "").run);
}

TEST_F(WindowModelTest, RefusedDropWhenEmptyStaysEmpty) {
    (void)drop("/p/eight.bmp");
    EXPECT_EQ(m.width_text, "0");
    EXPECT_EQ(m.height_text, "0");
    EXPECT_FALSE(m.go_enabled);
    EXPECT_FALSE(m.picture_held);
    EXPECT_TRUE(m.accepted_path.empty());
    EXPECT_FALSE(window_command(&m, kGoButtonId, 0, "").run);
}

TEST_F(WindowModelTest, UnopenableDropKeepsThePictureAndResetsTheBoxes) {
    (void)drop("/p/cat.bmp");
    (void)type_boxes("99", "77");
    WindowEffects e = drop("/p/locked.bmp");
    EXPECT_TRUE(e.set_box_texts);
    EXPECT_FALSE(e.repaint);
    EXPECT_EQ(m.width_text, "5");
    EXPECT_EQ(m.height_text, "3");
    EXPECT_EQ(m.dropped_path, "/p/locked.bmp");
    EXPECT_TRUE(m.picture_held);
    EXPECT_NE(preview(), nullptr);
    EXPECT_EQ(*disk.live_blocks, 1);
    e = window_command(&m, kGoButtonId, 0, "");
    ASSERT_TRUE(e.run);
    EXPECT_EQ(e.request.path, "/p/cat.bmp");
}

TEST(PreviewSize, IsThePicturesOwnWhenItFitsElseTheLargestOfItsProportions) {
    const struct {
        int width, height, area_width, area_height;
        PictureSize shown;
    } cases[] = {
        {576, 371, 576, 371, {576, 371}},      // exactly fits
        {10, 10, 576, 371, {10, 10}},          // never enlarged
        {1920, 1080, 576, 371, {576, 324}},    // the width limits
        {1000, 3000, 576, 371, {124, 371}},    // the height limits: 123.67 rounds up
        {1000, 3000, 576, 3001, {576, 1728}},  // one side too wide is enough to scale
        {10000, 1, 100, 100, {100, 1}},        // a side never shrinks to nothing
        {5, 3, 0, 100, {0, 0}},                // no area, nothing shown
    };
    for (const auto& c : cases) {
        const PictureSize s = preview_size(c.width, c.height, c.area_width, c.area_height);
        EXPECT_EQ(std::tie(s.width, s.height), std::tie(c.shown.width, c.shown.height))
            << c.width << " x " << c.height << " in " << c.area_width << " x " << c.area_height;
    }
}

// The picture is scaled down to the preview of a 600 x 480 client area, and follows it as the
// window grows and shrinks; on a screen of two device pixels a client pixel the area holds
// twice as many pixels.
TEST_F(WindowModelTest, APictureLargerThanThePreviewIsScaledDownToFitIt) {
    disk.files["/p/big.bmp"] = encode_bmp(pattern_picture(1200, 800));
    (void)window_resize(&m, 600, 480, 96);
    (void)drop("/p/big.bmp");
    const struct {
        int client_width, client_height;
        double ratio;
        int shown_width, shown_height;
        const char* text;
    } steps[] = {
        {600, 480, 1.0, 592, 395, "1200 × 800、49% で表示"},
        {1300, 900, 1.0, 1200, 800, "1200 × 800、100% で表示"},
        {600, 480, 2.0, 1184, 789, "1200 × 800、98% で表示"},
        {100, 400, 1.0, 92, 61, "1200 × 800、7.6% で表示"},
    };
    for (const auto& s : steps) {
        (void)window_resize(&m, s.client_width, s.client_height, 96, s.ratio);
        const PaintOp* p = preview();
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(std::tie(p->x, p->y), std::tie(kPreviewX, kPreviewY));
        EXPECT_EQ(std::tie(p->width, p->height), std::tie(s.shown_width, s.shown_height));
        EXPECT_EQ(m.picture_text, s.text);
        // The line under the preview says so.
        EXPECT_EQ(ops.back().kind, PaintKind::text);
        EXPECT_EQ(ops.back().text, m.picture_text);
        EXPECT_EQ(ops.back().y, s.client_height - kPictureTextHeight);
        // At its own size the held bytes are drawn, else the scaled copy.
        EXPECT_EQ(p->pixels == m.held.rows(), s.shown_width == 1200);
    }
    // The same size again changes nothing; a refused drop takes the preview and its line away.
    EXPECT_FALSE(window_resize(&m, 100, 400, 96).repaint);
    (void)drop("/p/eight.bmp");
    EXPECT_EQ(preview(), nullptr);
    EXPECT_EQ(ops.size(), 1u);
    EXPECT_TRUE(m.picture_text.empty());
}

TEST_F(WindowModelTest, ANewPictureReplacesTheHeldOneAndDestroyReleasesIt) {
    (void)drop("/p/cat.bmp");
    (void)drop("/p/dog.bmp");
    EXPECT_EQ(*disk.live_blocks, 1);
    window_destroy(&m);
    EXPECT_EQ(*disk.live_blocks, 0);
    EXPECT_FALSE(m.picture_held);
}

TEST_F(WindowModelTest, BoxCommandsStoreTextAndNumber) {
    (void)window_command(&m, kWidthBoxId, kBoxTextChanged, "640");
    EXPECT_EQ(m.width_text, "640");
    EXPECT_EQ(m.out_width, 640);
    (void)window_command(&m, kHeightBoxId, kBoxTextChanged, "99999999999999");
    EXPECT_EQ(m.out_height, INT_MAX);
    // Other notifications and other controls leave everything alone.
    (void)window_command(&m, kWidthBoxId, 0x0300, "1");
    (void)window_command(&m, 7, kBoxTextChanged, "2");
    EXPECT_EQ(m.width_text, "640");
    EXPECT_EQ(m.out_width, 640);
}

TEST_F(WindowModelTest, OverflowingBoxTextRunsSaturated) {
    (void)drop("/p/cat.bmp");
    (void)type_boxes("4294967297", "");
    WindowEffects e = window_command(&m, kGoButtonId, 0, "");
    EXPECT_EQ(e.request.out_width, INT_MAX);
    EXPECT_EQ(e.request.out_height, 0);
}

// A run GO started, finished with the given report.
RunReport report_with_results(const std::string& path, unsigned written) {
    RunReport r;
    const char* suffixes[kMethodCount] = {"_lanczos3.bmp", "_hybrid.bmp", "_dct.bmp"};
    for (int i = 0; i < kMethodCount; ++i) {
        if (written & (1u << i)) {
            r.result_path[i] = path.substr(0, path.size() - 4) + suffixes[i];
        } else {
            r.method[i] = Status::failure(StatusCode::write_failed, std::string("cannot write ") +
                                                                       suffixes[i]);
        }
    }
    return r;
}

TEST_F(WindowModelTest, GoStartsARunThatShowsProgressAndTakesNoSecondPress) {
    (void)drop("/p/cat.bmp");
    WindowEffects e = window_command(&m, kGoButtonId, 0, "");
    ASSERT_TRUE(e.run);
    EXPECT_TRUE(e.update_progress);
    EXPECT_TRUE(m.running);
    EXPECT_TRUE(m.progress_shown);
    EXPECT_EQ(m.progress_steps, 0);
    EXPECT_EQ(m.progress_text, "Lanczos3 0%");
    // Pressed twice quickly: the second press finds a run going (and the button disabled).
    m.go_enabled = true;
    EXPECT_FALSE(window_command(&m, kGoButtonId, 0, "").run);
    // The text is painted right of the boxes, under the bar.
    ops = window_paint(m);
    ASSERT_EQ(ops.size(), 4u);
    EXPECT_EQ(ops[1].kind, PaintKind::text);
    EXPECT_EQ(ops[1].x, kProgressText.x);
    EXPECT_EQ(ops[1].y, kProgressText.y);
    EXPECT_STREQ(ops[1].text, "Lanczos3 0%");
    EXPECT_EQ(ops[2].kind, PaintKind::picture);
}

TEST_F(WindowModelTest, ProgressMovesForwardNeverBackAndNamesTheMethod) {
    (void)drop("/p/cat.bmp");
    (void)window_command(&m, kGoButtonId, 0, "");
    WindowEffects e = window_progress(&m, 1, 0.4567);
    EXPECT_TRUE(e.update_progress);
    EXPECT_EQ(m.progress_steps, 456);
    EXPECT_EQ(m.progress_text, "Hybrid 45%");
    e = window_progress(&m, 1, 0.3);  // an older reading arriving late
    EXPECT_EQ(m.progress_steps, 456);
    EXPECT_FALSE(e.update_progress);
    e = window_progress(&m, 2, 0.4567);
    EXPECT_TRUE(e.update_progress);
    EXPECT_EQ(m.progress_text, "DCT 45%");
    (void)window_progress(&m, 2, 7.0);
    EXPECT_EQ(m.progress_steps, kProgressSteps);
    EXPECT_EQ(m.progress_text, "DCT 100%");
    (void)window_run_finished(&m, report_with_results("/p/cat.bmp", 7));
    // Readings after the end change nothing.
    EXPECT_FALSE(window_progress(&m, 0, 0.1).update_progress);
    EXPECT_EQ(m.progress_text, "完了");
}

TEST_F(WindowModelTest, StopIsPassedOnOnceAndOnlyDuringARun) {
    EXPECT_FALSE(window_stop(&m).stop);  // Esc with nothing held
    (void)drop("/p/cat.bmp");
    EXPECT_FALSE(window_stop(&m).stop);  // Esc with no run going
    EXPECT_FALSE(window_command(&m, kStopButtonId, 0, "").stop);
    (void)window_command(&m, kGoButtonId, 0, "");
    (void)window_progress(&m, 0, 0.2);
    WindowEffects e = window_command(&m, kStopButtonId, 0, "");
    EXPECT_TRUE(e.stop);
    EXPECT_TRUE(e.update_progress);
    EXPECT_EQ(m.progress_text, "中止中…");
    EXPECT_FALSE(window_stop(&m).stop);  // stopped twice: once is enough
    (void)window_progress(&m, 1, 0.5);
    EXPECT_EQ(m.progress_text, "中止中…");
    EXPECT_EQ(m.progress_steps, 500);
}

TEST_F(WindowModelTest, AStoppedRunEnablesGoAgainForTheSamePicture) {
    (void)drop("/p/cat.bmp");
    (void)type_boxes("50", "30");
    (void)window_command(&m, kGoButtonId, 0, "");
    (void)window_stop(&m);
    RunReport r = report_with_results("/p/cat.bmp", 1);
    r.method[1] = Status::failure(StatusCode::stopped, "hybrid: stopped");
    r.method[2] = Status::failure(StatusCode::stopped, "dct: stopped");
    WindowEffects e = window_run_finished(&m, r);
    EXPECT_TRUE(e.message.empty());
    EXPECT_TRUE(e.update_progress);
    EXPECT_FALSE(m.running);
    EXPECT_TRUE(m.go_enabled);
    EXPECT_EQ(m.progress_text, "中止");
    // The finished result is shown beside the picture.
    ASSERT_TRUE(e.compare);
    ASSERT_EQ(e.compare_contents.panes.size(), 2u);
    EXPECT_EQ(e.compare_contents.panes[1].method, 0);
    EXPECT_EQ(e.compare_contents.result_width, 50);
    e = window_command(&m, kGoButtonId, 0, "");
    ASSERT_TRUE(e.run);
    EXPECT_EQ(e.request.path, "/p/cat.bmp");
    EXPECT_EQ(e.request.out_width, 50);
}

TEST_F(WindowModelTest, AFinishedRunSaysDoneAndOpensTheCompareWindow) {
    (void)drop("/p/cat.bmp");
    (void)type_boxes("20", "12");
    (void)window_command(&m, kGoButtonId, 0, "");
    WindowEffects e = window_run_finished(&m, report_with_results("/p/cat.bmp", 7));
    EXPECT_TRUE(e.message.empty());
    EXPECT_FALSE(m.go_enabled);
    EXPECT_EQ(m.progress_text, "完了");
    EXPECT_EQ(m.progress_steps, kProgressSteps);
    ASSERT_TRUE(e.compare);
    const CompareContents& c = e.compare_contents;
    EXPECT_EQ(c.title, "比較 - cat.bmp");
    EXPECT_EQ(c.result_width, 20);
    EXPECT_EQ(c.result_height, 12);
    ASSERT_EQ(c.panes.size(), 4u);
    EXPECT_EQ(c.panes[0].method, -1);
    EXPECT_EQ(c.panes[0].label, "元画像 - cat.bmp");
    EXPECT_EQ(c.panes[0].path, "/p/cat.bmp");
    EXPECT_EQ(c.panes[1].label, "Lanczos3 - cat_lanczos3.bmp");
    EXPECT_EQ(c.panes[2].label, "Hybrid - cat_hybrid.bmp");
    EXPECT_EQ(c.panes[3].label, "DCT - cat_dct.bmp");
    EXPECT_EQ(c.panes[3].path, "/p/cat_dct.bmp");
    // The reference is the held picture itself, shared, not a copy.
    EXPECT_EQ(c.source.bytes, m.held.bytes);
    EXPECT_EQ(c.source.width, 5);
    EXPECT_EQ(c.source.height, 3);
    EXPECT_EQ(c.source.rows(), m.held.bytes.get() + 54);
}

TEST_F(WindowModelTest, TheCompareWindowNamesFilesByThePlatformsSeparators) {
    // Outside Windows a backslash is a character of the file name like any other.
    const std::string path = "/p/a\\cat.bmp";
    disk.files[path] = make_bmp(5, 3);
    (void)drop(path);
    (void)window_command(&m, kGoButtonId, 0, "");
    const CompareContents c =
        window_run_finished(&m, report_with_results(path, 1)).compare_contents;
    EXPECT_EQ(c.title, "比較 - a\\cat.bmp");
    ASSERT_EQ(c.panes.size(), 2u);
    EXPECT_EQ(c.panes[0].label, "元画像 - a\\cat.bmp");
    EXPECT_EQ(c.panes[1].label, "Lanczos3 - a\\cat_lanczos3.bmp");
}

// GO disables itself when pressed and the stop button goes when the run ends: the focus moves
// on so that keys still reach the window; elsewhere it stays.
TEST_F(WindowModelTest, TheFocusLeavesAControlThatCanNoLongerTakeKeys) {
    const int none = -1;
    EXPECT_EQ(focus_after(m, none), kWidthBoxId);
    EXPECT_EQ(focus_after(m, kGoButtonId), kWidthBoxId);
    (void)drop("/p/cat.bmp");
    EXPECT_EQ(focus_after(m, none), kGoButtonId);
    EXPECT_EQ(focus_after(m, kGoButtonId), kGoButtonId);
    (void)window_command(&m, kGoButtonId, 0, "");
    for (int id : {kGoButtonId, none, kStopButtonId}) EXPECT_EQ(focus_after(m, id), kStopButtonId);
    EXPECT_EQ(focus_after(m, kPngFormatId), kPngFormatId);
    (void)window_run_finished(&m, report_with_results("/p/cat.bmp", 7));
    EXPECT_EQ(focus_after(m, kStopButtonId), kWidthBoxId);
    EXPECT_EQ(focus_after(m, kHeightBoxId), kHeightBoxId);
}

TEST_F(WindowModelTest, AFailedRunSaysSoAndShowsOnlyTheResultsWritten) {
    (void)drop("/p/cat.bmp");
    (void)window_command(&m, kGoButtonId, 0, "");
    WindowEffects e = window_run_finished(&m, report_with_results("/p/cat.bmp", 4));
    EXPECT_EQ(m.progress_text, "失敗");
    EXPECT_EQ(e.message, "cannot write _lanczos3.bmp\ncannot write _hybrid.bmp");
    ASSERT_TRUE(e.compare);
    ASSERT_EQ(e.compare_contents.panes.size(), 2u);
    EXPECT_EQ(e.compare_contents.panes[1].method, 2);

    // A picture gone from disk: nothing written, nothing to compare.
    (void)drop("/p/cat.bmp");
    (void)window_command(&m, kGoButtonId, 0, "");
    RunReport gone;
    gone.input = Status::failure(StatusCode::cannot_open, "cannot open '/p/cat.bmp'");
    e = window_run_finished(&m, gone);
    EXPECT_EQ(e.message, "cannot open '/p/cat.bmp'");
    EXPECT_FALSE(e.compare);
    EXPECT_FALSE(m.go_enabled);
}

TEST_F(WindowModelTest, DropsDuringARunAreRefusedUnread) {
    (void)drop("/p/cat.bmp");
    (void)type_boxes("50", "30");
    (void)window_command(&m, kGoButtonId, 0, "");
    const std::size_t reads = disk.reads.size();
    WindowEffects e = drop("/p/dog.bmp");
    EXPECT_FALSE(e.set_box_texts);
    EXPECT_FALSE(e.repaint);
    EXPECT_EQ(disk.reads.size(), reads);
    EXPECT_FALSE(m.refusal.empty());
    EXPECT_EQ(m.dropped_path, "/p/cat.bmp");
    EXPECT_EQ(m.accepted_path, "/p/cat.bmp");
    EXPECT_EQ(m.width_text, "50");
    EXPECT_EQ(m.width, 5);
    EXPECT_TRUE(m.picture_held);
    EXPECT_FALSE(m.go_enabled);
    EXPECT_TRUE(m.running);
}

TEST_F(WindowModelTest, ClosingStopsARunGoingAndNothingElse) {
    (void)drop("/p/cat.bmp");
    EXPECT_FALSE(window_close(&m).stop);
    (void)window_command(&m, kGoButtonId, 0, "");
    EXPECT_TRUE(window_close(&m).stop);
}

TEST(BoxValue, ReadsLikeAtoiButSaturates) {
    const struct {
        const char* text;
        int value;
    } cases[] = {
        {"", 0},
        {"0", 0},
        {"640", 640},
        {"007", 7},
        {"  42", 42},
        {"\t+9", 9},
        {"-7", -7},
        {"12abc", 12},
        {"abc", 0},
        {"-", 0},
        {"2147483647", INT_MAX},
        {"2147483648", INT_MAX},
        {"99999999999999999999999999", INT_MAX},
        {"-2147483648", INT_MIN},
        {"-2147483649", INT_MIN},
        {"-99999999999999999999999999", INT_MIN},
    };
    for (const auto& c : cases) EXPECT_EQ(box_value(c.text), c.value) << "text '" << c.text << "'";
}

// Every file the driver refuses (the shared corpus of malformed pictures): a drop of one must
// not be accepted, since the preview would read outside it or show it wrongly, and the window
// then holds nothing.
class WindowModelRefuses : public ::testing::TestWithParam<MalformedFile> {};

TEST_P(WindowModelRefuses, WithoutHoldingOrDrawingAnything) {
    FakeDisk disk;
    disk.files["/p/cat.bmp"] = make_bmp(5, 3);
    disk.files["/p/bad.bmp"] = GetParam().bytes;
    WindowModel m;
    (void)window_create(&m, expected_texts("ja"));
    (void)window_drop(&m, {"/p/cat.bmp"}, disk.reader());
    WindowEffects e = window_drop(&m, {"/p/bad.bmp"}, disk.reader());
    EXPECT_FALSE(m.picture_held);
    EXPECT_FALSE(e.repaint);
    EXPECT_FALSE(m.refusal.empty());
    EXPECT_EQ(window_paint(m).size(), 1u);  // the grey alone
    EXPECT_EQ(m.width, 5);
    EXPECT_EQ(m.accepted_path, "/p/cat.bmp");
    EXPECT_EQ(*disk.live_blocks, 0);
}

INSTANTIATE_TEST_SUITE_P(Malformed, WindowModelRefuses, ::testing::ValuesIn(malformed_files()),
                         [](const ::testing::TestParamInfo<MalformedFile>& i) { return i.param.name; });

}  // namespace
