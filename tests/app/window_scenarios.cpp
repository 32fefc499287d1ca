// The main window and its compare window driven as a user drives them, once for both
// toolkits: each test program links these scenarios with its own WindowDriver.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <regex>
#include <thread>
#include <tuple>

#include "app/resize_run.h"
#include "base/file_io.h"
#include "image/picture.h"
#include "tests/app/window_driver.h"
#include "tests/app/window_languages.h"
#include "tests/support/jpeg_maker.h"
#include "tests/support/metadata_builder.h"
#include "tests/support/png_builder.h"
#include "tests/support/run_driver.h"
#include "tests/support/scoped_env.h"

std::uint32_t Shot::at(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) {
        ADD_FAILURE() << x << "," << y << " lies outside the " << width << " x " << height
                      << " shot";
        return 0xFFFFFFFFu;
    }
    return rgb[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
               static_cast<std::size_t>(x)];
}

std::vector<std::uint32_t> Shot::part(const Rect& r) const {
    std::vector<std::uint32_t> pixels;
    for (int y = r.y; y < r.y + r.height; ++y)
        for (int x = r.x; x < r.x + r.width; ++x) pixels.push_back(at(x, y));
    return pixels;
}

int Shot::ink(const Rect& r) const {
    int n = 0;
    for (std::uint32_t c : part(r))
        n += (((c >> 16) & 0xFF) * 11 + ((c >> 8) & 0xFF) * 16 + (c & 0xFF) * 5) / 32 < 96;
    return n;
}

bool WindowDriver::wait_until(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto start = std::chrono::steady_clock::now();
    while (!done()) {
        if (std::chrono::steady_clock::now() - start > limit) return false;
        pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

void WindowDriver::wait_for_run() {
    EXPECT_TRUE(wait_until([this] { return !model().running; }, std::chrono::seconds(60)))
        << "the run did not end";
    pump();
}

std::string WindowScenario::at(const std::string& relative) {
    static TempDir root;
    std::string path = root.path() + "/" + relative;
#ifdef _WIN32
    std::replace(path.begin(), path.end(), '/', '\\');
#endif
    return path;
}

std::string WindowScenario::folder(const std::string& relative) {
    for (std::size_t slash = 0; slash != std::string::npos;) {
        slash = relative.find('/', slash + 1);
        const std::string path = at(relative.substr(0, slash));
        if (!file_exists(path)) make_folder(path);
    }
    return at(relative);
}

std::string WindowScenario::picture(const std::string& relative, int width, int height) {
    return file(relative, make_bmp(width, height));
}

std::string WindowScenario::file(const std::string& relative,
                                 const std::vector<std::uint8_t>& bytes) {
    const std::size_t slash = relative.rfind('/');
    if (slash != std::string::npos) folder(relative.substr(0, slash));
    const std::string path = at(relative);
    EXPECT_TRUE(write_file(path, bytes)) << path;
    return path;
}

namespace {

void set_language(const char* language) {
#ifdef _WIN32
    _putenv_s("ENLARGE3_LANG", language != nullptr ? language : "");
#else
    if (language != nullptr) {
        setenv("ENLARGE3_LANG", language, 1);
    } else {
        unsetenv("ENLARGE3_LANG");
    }
#endif
}

}  // namespace

void WindowScenario::SetUp() {
    set_language("ja");
    w = open_main_window();
    ASSERT_TRUE(w != nullptr);
}

void WindowScenario::TearDown() {
    w.reset();
    set_language("ja");
}

void WindowScenario::reopen(const char* language) {
    w.reset();
    set_language(language);
    w = open_main_window();
    ASSERT_TRUE(w != nullptr);
}

void WindowScenario::set_sizes(const std::string& width, const std::string& height) {
    w->set_text(Control::width_box, width);
    w->set_text(Control::height_box, height);
}

namespace {

const char* const kSuffixes[kMethodCount] = {"_lanczos3.bmp", "_hybrid.bmp", "_dct.bmp"};

// The picture file path less its extension, as result names are made.
std::string stem(const std::string& path) {
    return path.substr(0, path.rfind('.'));
}

std::uint32_t rgb_of(const Rgb& c) {
    return static_cast<std::uint32_t>(c.r) << 16 | static_cast<std::uint32_t>(c.g) << 8 | c.b;
}

bool starts_with(const std::string& s, const char* prefix) {
    return s.rfind(prefix, 0) == 0;
}

// The run, slowed down by a pause after every unit of work it reports, so that a small
// picture's run lasts long enough to watch.
RunFn slowed_run(int pause_ms) {
    return [pause_ms](const RunRequest& request, RunProgress* progress) {
        progress->observer = [pause_ms](const RunProgress&) {
            std::this_thread::sleep_for(std::chrono::milliseconds(pause_ms));
        };
        return run_request(request, progress);
    };
}

// The run, held inside method `method` after unit hold_at until a stop is asked for or
// release is set (at most 20 seconds).
RunFn run_held_in(int method, int hold_at = 2,
                  std::shared_ptr<std::atomic<bool>> release = nullptr) {
    return [method, hold_at, release](const RunRequest& request, RunProgress* progress) {
        auto units = std::make_shared<std::atomic<int>>(0);
        progress->observer = [method, hold_at, release, units](const RunProgress& p) {
            if (p.method() != method || ++*units < hold_at) return;
            for (int i = 0; i < 20000 && !p.stop_requested() && !(release && *release); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        };
        return run_request(request, progress);
    };
}

// The picture in a file the tool reads as the windows draw it: transparency over the grey.
TestPicture picture_in(const std::string& path) {
    PlanarPicture planes;
    const Status st = read_picture(path, &planes);
    EXPECT_TRUE(st.ok()) << st.message;
    TestPicture pic;
    pic.width = planes.width;
    pic.height = planes.height;
    for (int t = 0; t < planes.height; ++t)
        for (int x = 0; x < planes.width; ++x) {
            const std::size_t i =
                static_cast<std::size_t>(x) * static_cast<std::size_t>(planes.height) +
                static_cast<std::size_t>(t);
            const int a = planes.has_alpha() ? planes.alpha[i] : 255;
            auto over = [a](std::uint8_t c) {
                return static_cast<std::uint8_t>((c * a + 0xC0 * (255 - a) + 127) / 255);
            };
            pic.pixels.push_back(
                {over(planes.red[i]), over(planes.green[i]), over(planes.blue[i])});
        }
    return pic;
}

// Every pane shows, at the middle of its picture area, the pixel of its own picture that the
// view puts there; the results all show the same pixel.
void expect_panes_in_step(WindowDriver* w, const std::vector<TestPicture>& pictures,
                          std::size_t panes) {
    const Shot shot = w->compare_shot();
    const std::vector<PaneDraw> draws = compare_draws(w->compare_view());
    ASSERT_EQ(draws.size(), panes);
    int result_x = -1, result_y = -1;
    for (const PaneDraw& d : draws) {
        const TestPicture& pic = pictures[static_cast<std::size_t>(d.pane)];
        const double mx = d.clip.x + d.clip.width / 2.0, my = d.clip.y + d.clip.height / 2.0;
        const int ix = d.src.x + static_cast<int>((mx - d.dst.x) * d.src.width / d.dst.width);
        const int iy = d.src.y + static_cast<int>((my - d.dst.y) * d.src.height / d.dst.height);
        ASSERT_TRUE(ix >= 0 && ix < pic.width && iy >= 0 && iy < pic.height);
        // The middle of that pixel's block on screen.
        const int sx = static_cast<int>(d.dst.x + (ix - d.src.x + 0.5) * d.dst.width / d.src.width);
        const int sy =
            static_cast<int>(d.dst.y + (iy - d.src.y + 0.5) * d.dst.height / d.src.height);
        EXPECT_EQ(shot.at(sx, sy), rgb_of(pic.at(ix, iy)))
            << "pane " << d.pane << " at " << sx << "," << sy;
        if (d.pane == 0) continue;
        if (result_x < 0) {
            result_x = ix;
            result_y = iy;
        }
        EXPECT_EQ(ix, result_x);
        EXPECT_EQ(iy, result_y);
    }
}

}  // namespace

TEST_F(WindowScenario, StartsWithItsControlsInPlaceAndGoDisabled) {
    EXPECT_EQ(w->title(), "ころぽんの画像拡大!３種類から選んでね Ver1.00");
    const struct {
        Control control;
        Rect place;
        const char* text;
    } controls[] = {
        {Control::go, {8, 8, 96, 32}, "　ＧＯ　"},
        {Control::width_box, {204, 8, 38, 22}, "0"},
        {Control::height_box, {338, 8, 38, 22}, "0"},
        {Control::bmp_format, {204, 31, 60, 16}, "BMP"},
        {Control::png_format, {268, 31, 60, 16}, "PNG"},
        // Each label's text starts at its place.
        {Control::width_label, {120, 10, 80, 18}, "水平サイズ"},
        {Control::height_label, {252, 10, 84, 18}, "垂直サイズ"},
        {Control::format_label, {120, 32, 80, 16}, "保存形式"},
    };
    for (const auto& c : controls) {
        EXPECT_EQ(w->text(c.control), c.text);
        const Rect r = w->place(c.control);
        EXPECT_EQ(std::tie(r.x, r.y, r.width, r.height),
                  std::tie(c.place.x, c.place.y, c.place.width, c.place.height))
            << c.text;
        EXPECT_TRUE(w->visible(c.control)) << c.text;
    }
    EXPECT_FALSE(w->enabled(Control::go));
    EXPECT_TRUE(w->enabled(Control::width_box));
    EXPECT_TRUE(w->enabled(Control::height_box));
    EXPECT_TRUE(w->checked(Control::bmp_format));
    EXPECT_FALSE(w->checked(Control::png_format));
    EXPECT_FALSE(w->visible(Control::bar));
    EXPECT_FALSE(w->visible(Control::stop));

    const Shot shot = w->shot();
    const struct {
        int x, y;
    } grey[] = {{2, 46}, {kPreviewX, kPreviewY}, {300, 300}, {shot.width - 1, shot.height - 1}};
    for (const auto& p : grey) EXPECT_EQ(shot.at(p.x, p.y), kBackgroundRgb) << p.x << "," << p.y;
    for (const LabelPlace& l : {kWidthLabel, kHeightLabel, kFormatLabel})
        EXPECT_GT(shot.ink({l.x, l.y, 70, 15}), 20) << "no label drawn at " << l.x << "," << l.y;
}

// ENLARGE3_LANG chooses the language: the original Japanese texts exactly, or English.
TEST_F(WindowScenario, SpeaksTheChosenLanguage) {
    for (const char* language : {"en", "ja"}) {
        reopen(language);
        const WindowTexts& texts = expected_texts(language);
        const struct {
            Control control;
            UiText text;
        } shown[] = {{Control::go, UiText::go},
                     {Control::stop, UiText::stop},
                     {Control::width_label, UiText::width_label},
                     {Control::height_label, UiText::height_label},
                     {Control::format_label, UiText::format_label}};
        EXPECT_EQ(w->title(), window_title(texts)) << language;
        for (const auto& c : shown) EXPECT_EQ(w->text(c.control), ui_text(texts, c.text));
        EXPECT_EQ(w->accessible_name(Control::width_box), ui_text(texts, UiText::width_label));
        EXPECT_EQ(w->accessible_name(Control::height_box), ui_text(texts, UiText::height_label));
        w->drop({picture(std::string("language/") + language + ".bmp", 1, 1)});
        EXPECT_EQ(w->model().picture_text,
                  fill_text(ui_text(texts, UiText::picture_size), {"1", "1", "100"}));
        set_sizes("2", "2");
        w->click(Control::go);
        w->wait_for_run();
        EXPECT_EQ(w->model().progress_text, ui_text(texts, UiText::done));
        ASSERT_TRUE(w->compare_open());
        EXPECT_EQ(w->compare_title(), fill_text(ui_text(texts, UiText::compare_title),
                                                {language + std::string(".bmp")}));
        EXPECT_EQ(w->compare_view().contents.open_text, ui_text(texts, UiText::open));
    }
}

// Without ENLARGE3_LANG the window speaks the user's interface language: the test runs once
// with a Japanese and once with an English user (ENLARGE3_TEST_USER_LANG says which; see
// tests/app/*/CMakeLists.txt).
TEST_F(WindowScenario, WithoutAChoiceSpeaksTheUsersLanguage) {
    const char* set = std::getenv("ENLARGE3_TEST_USER_LANG");
    if (set == nullptr || *set == '\0') GTEST_SKIP() << "run with a user's language set";
    const std::string user = set;  // the environment changes under the pointer
    reopen(nullptr);
    EXPECT_EQ(w->title(), window_title(expected_texts(user)));
    EXPECT_EQ(w->text(Control::width_label), ui_text(expected_texts(user), UiText::width_label));
}

// Every control has a name for assistive technology: a button its text, a box its label.
TEST_F(WindowScenario, EveryControlHasAnAccessibleName) {
    const struct {
        Control control;
        const char* name;
    } controls[] = {{Control::go, "ＧＯ"},
                    {Control::width_box, "水平サイズ"},
                    {Control::height_box, "垂直サイズ"},
                    {Control::bmp_format, "BMP"},
                    {Control::png_format, "PNG"},
                    {Control::stop, "中止"}};
    // The spaces that pad GO's text are no part of its name, however they are read.
    auto trimmed = [](std::string name) {
        for (const std::string space : {" ", "\u3000"}) {
            while (name.rfind(space, 0) == 0) name.erase(0, space.size());
            while (name.size() >= space.size() &&
                   name.compare(name.size() - space.size(), space.size(), space) == 0)
                name.erase(name.size() - space.size());
        }
        return name;
    };
    for (const auto& c : controls) EXPECT_EQ(trimmed(w->accessible_name(c.control)), c.name);
}

// Of several files dropped at once only the first is looked at.
TEST_F(WindowScenario, DropShowsThePictureUnscaledAndFillsTheBoxes) {
    const std::string cat = picture("drop/cat.bmp", 7, 5);
    w->drop({cat, picture("drop/dog.bmp", 9, 8)});
    EXPECT_EQ(w->model().accepted_path, cat);
    EXPECT_EQ(w->text(Control::width_box), "7");
    EXPECT_EQ(w->text(Control::height_box), "5");
    EXPECT_TRUE(w->enabled(Control::go));
    // Read without a repaint: the drop shows the picture at once.
    const Shot shot = w->shot();
    for (int t = 0; t < 5; ++t)
        for (int x = 0; x < 7; ++x)
            EXPECT_EQ(shot.at(kPreviewX + x, kPreviewY + t), test_pixel_rgb(x, t)) << x << "," << t;
    EXPECT_EQ(shot.at(kPreviewX - 1, kPreviewY), kBackgroundRgb);
    EXPECT_EQ(shot.at(kPreviewX + 7, kPreviewY), kBackgroundRgb);
    EXPECT_EQ(shot.at(kPreviewX, kPreviewY + 5), kBackgroundRgb);
}

TEST_F(WindowScenario, APictureBehindALargerHeaderIsShownFromItsOwnPixels) {
    w->drop({file("big/v5.bmp", make_bmp(300, 200, 84))});
    const Shot shot = w->shot();
    for (int x : {0, 299})
        for (int y : {0, 199})
            EXPECT_EQ(shot.at(kPreviewX + x, kPreviewY + y), test_pixel_rgb(x, y)) << x << "," << y;
}

// "Open with" and a drop on the program's icon start it with the picture on its command line:
// the picture is taken as if dropped.
TEST_F(WindowScenario, APictureOnTheCommandLineIsTakenAsIfDropped) {
    const std::string path = picture("command line/猫 😀.bmp", 7, 5);
    w->open_command_line({"enlarge3-window", path, at("ignored.bmp")});
    EXPECT_EQ(w->text(Control::width_box), "7");
    EXPECT_EQ(w->text(Control::height_box), "5");
    EXPECT_TRUE(w->enabled(Control::go));
    EXPECT_EQ(w->model().accepted_path, path);
    EXPECT_EQ(w->shot().at(kPreviewX + 6, kPreviewY + 4), test_pixel_rgb(6, 4));
    w->click(Control::go);
    w->wait_for_run();
    EXPECT_TRUE(file_exists(stem(path) + "_lanczos3.bmp"));
}

// A picture that cannot be read, or none: the window stays empty, as after a refused drop.
TEST_F(WindowScenario, AnUnreadablePictureOnTheCommandLineLeavesTheWindowEmpty) {
    for (const std::string& argument : {at("missing.bmp"), folder("folder"), std::string()}) {
        std::vector<std::string> arguments = {"enlarge3-window"};
        if (!argument.empty()) arguments.push_back(argument);
        w->open_command_line(arguments);
        EXPECT_EQ(w->text(Control::width_box), "0") << argument;
        EXPECT_EQ(w->text(Control::height_box), "0");
        EXPECT_FALSE(w->enabled(Control::go));
        EXPECT_FALSE(w->model().picture_held);
        w->repaint();
        EXPECT_EQ(w->shot().at(kPreviewX, kPreviewY), kBackgroundRgb);
    }
}

TEST_F(WindowScenario, APhotoStoredTurnedIsShownUprightWithItsUprightSize) {
    // Stored 6 x 4 and turned a quarter clockwise to be shown (EXIF orientation 6).
    const TestPicture stored = random_picture(6, 4, 17);
    const TestPicture upright = upright_of(stored, 6);
    w->drop({file("turned/phone.png", png_with(stored, png_chunk("eXIf", exif_tiff(6))))});
    EXPECT_EQ(w->text(Control::width_box), "4");
    EXPECT_EQ(w->text(Control::height_box), "6");
    Shot shot = w->shot();
    for (int t = 0; t < 6; ++t)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(shot.at(kPreviewX + x, kPreviewY + t), rgb_of(upright.at(x, t))) << x << "," << t;
}

TEST_F(WindowScenario, PngAndJpegAreTakenShownRunInTheChosenFormatAndCompared) {
    // A PNG with transparency: the left column clear, the rest opaque.
    const TestPicture pic = random_picture(6, 4, 21);
    PngLayout layout;
    layout.width = 6;
    layout.height = 4;
    layout.colour_type = 6;
    for (std::size_t i = 0; i < pic.pixels.size(); ++i)
        layout.samples.insert(layout.samples.end(),
                              {pic.pixels[i].r, pic.pixels[i].g, pic.pixels[i].b,
                               static_cast<std::uint16_t>(i % 6 ? 255 : 0)});
    const std::string png = file("kinds/shot.png", encode_png_file(layout));
    const std::vector<std::uint8_t> jpeg_bytes = make_jpeg(pic, JpegLayout{});
    const std::string jpeg = file("kinds/photo.jpg", jpeg_bytes);

    w->drop({png});
    EXPECT_EQ(w->text(Control::width_box), "6");
    EXPECT_TRUE(w->enabled(Control::go));
    EXPECT_TRUE(w->checked(Control::png_format));
    EXPECT_FALSE(w->checked(Control::bmp_format));
    // The picture as the window shows it: its clear column over the grey.
    TestPicture shown = pic;
    for (int t = 0; t < 4; ++t)
        shown.pixels[static_cast<std::size_t>(t * 6)] = Rgb{0xC0, 0xC0, 0xC0};
    Shot shot = w->shot();
    for (int t = 0; t < 4; ++t)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(shot.at(kPreviewX + x, kPreviewY + t), rgb_of(shown.at(x, t)))
                << x << "," << t;
    set_sizes("12", "8");
    w->click(Control::go);
    w->wait_for_run();
    std::vector<TestPicture> pictures = {shown};
    for (const char* name : {"shot_lanczos3.png", "shot_hybrid.png", "shot_dct.png"}) {
        ASSERT_TRUE(file_exists(at("kinds/") + name)) << name;
        pictures.push_back(picture_in(at("kinds/") + name));
    }
    ASSERT_TRUE(w->compare_open());
    EXPECT_EQ(w->compare_view().contents.panes.size(), 4u);
    expect_panes_in_step(w.get(), pictures, 4);

    // The JPEG, its results asked for as BMP by a click on that button.
    w->drop({jpeg});
    EXPECT_TRUE(w->checked(Control::png_format));
    const TestPicture decoded = plain_jpeg_samples(jpeg_bytes);
    shot = w->shot();
    for (int t = 0; t < 4; ++t)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(shot.at(kPreviewX + x, kPreviewY + t), rgb_of(decoded.at(x, t)))
                << x << "," << t;
    w->click(Control::bmp_format);
    EXPECT_TRUE(w->checked(Control::bmp_format));
    EXPECT_FALSE(w->checked(Control::png_format));
    EXPECT_EQ(w->model().result_format, ResultFormat::bmp);
    w->click(Control::go);
    w->wait_for_run();
    for (const char* name : {"photo_lanczos3.bmp", "photo_hybrid.bmp", "photo_dct.bmp"})
        EXPECT_TRUE(file_exists(at("kinds/") + name)) << name;
    EXPECT_FALSE(file_exists(at("kinds/photo_lanczos3.png")));
}

TEST_F(WindowScenario, GoWritesEveryResultLikeTheRunThenStaysDisabled) {
    const std::string path = picture("go/cat.bmp", 6, 4);
    const std::string reference = picture("go-reference/cat.bmp", 6, 4);
    w->drop({path});
    w->click(Control::go);
    EXPECT_FALSE(w->enabled(Control::go));
    w->wait_for_run();
    EXPECT_FALSE(w->enabled(Control::go));
    EXPECT_EQ(w->bar_position(), kProgressSteps);

    // GO is the run at the boxes' sizes: the same files, byte for byte.
    ASSERT_TRUE(resize_run(reference, 6, 4).ok());
    for (const char* suffix : kSuffixes) {
        ASSERT_TRUE(file_exists(stem(reference) + suffix)) << suffix;
        EXPECT_EQ(read_file(stem(path) + suffix), read_file(stem(reference) + suffix)) << suffix;
    }

    // GO, disabled, starts nothing until a picture is accepted again.
    remove_file(stem(path) + "_lanczos3.bmp");
    w->click(Control::go);
    EXPECT_FALSE(w->model().running);
    EXPECT_FALSE(file_exists(stem(path) + "_lanczos3.bmp"));
    w->drop({path});
    EXPECT_TRUE(w->enabled(Control::go));
}

TEST_F(WindowScenario, BoxesTakeDigitsOnlyAndGoUsesThem) {
    const std::string path = picture("typed/cat.bmp", 4, 3);
    w->drop({path});
    w->set_text(Control::width_box, "");
    w->type(Control::width_box, "1a-2 x");
    EXPECT_EQ(w->text(Control::width_box), "12");
    w->set_text(Control::height_box, "");
    w->type(Control::height_box, "+9.");
    EXPECT_EQ(w->text(Control::height_box), "9");
    w->click(Control::go);
    w->wait_for_run();
    const std::vector<unsigned char> result = read_file(stem(path) + "_lanczos3.bmp");
    ASSERT_GE(result.size(), 54u);
    EXPECT_EQ(result[18], 12);
    EXPECT_EQ(result[22], 9);
}

TEST_F(WindowScenario, NonAsciiAndLongPathsWork) {
    const std::string path = picture(
        "長い名前/" + std::string(130, 'a') + "/" + std::string(130, 'b') + "/写真 ①.bmp", 5, 2);
    w->drop({path});
    EXPECT_EQ(w->model().accepted_path, path);
    EXPECT_TRUE(w->enabled(Control::go));
    w->click(Control::go);
    w->wait_for_run();
    EXPECT_TRUE(file_exists(stem(path) + "_lanczos3.bmp"));
}

// A refused picture takes the preview away; a file that cannot be opened leaves it. Either way
// the boxes go back to the accepted picture's size, and GO runs that picture.
TEST_F(WindowScenario, ADropRefusedOrUnopenableKeepsGoOnTheAcceptedPicture) {
    const std::string cat = picture("refused/cat.bmp", 5, 3);
    std::vector<unsigned char> bytes = make_bmp(4, 4);
    put_le16(bytes, 28, 8);
    const struct {
        std::string path;
        bool preview_stays;
    } drops[] = {{at("refused/missing.bmp"), true},
                 {folder("refused/folder"), true},  // a folder cannot be opened as a file
                 {file("refused/eight.bmp", bytes), false}};
    w->drop({cat});
    for (const auto& d : drops) {
        w->set_text(Control::width_box, "8");
        w->set_text(Control::height_box, "77");
        w->drop({d.path});
        EXPECT_EQ(w->text(Control::width_box), "5") << d.path;
        EXPECT_EQ(w->text(Control::height_box), "3");
        EXPECT_TRUE(w->enabled(Control::go));
        w->repaint();
        EXPECT_EQ(w->shot().at(kPreviewX, kPreviewY),
                  d.preview_stays ? test_pixel_rgb(0, 0) : kBackgroundRgb);
    }
    w->click(Control::go);
    w->wait_for_run();
    EXPECT_EQ(files_in(at("refused")),
              (std::vector<std::string>{"cat.bmp", "cat_dct.bmp", "cat_hybrid.bmp",
                                        "cat_lanczos3.bmp", "eight.bmp", "folder"}));
}

// Each failure is shown in a message box; the window says 失敗, opens no compare window, and
// takes the next picture.
TEST_F(WindowScenario, FailedRunsSayWhyAndTheWindowStaysUsable) {
    auto failing_go = [&] {
        w->answer_next_message();
        w->click(Control::go);
        w->wait_for_run();
        EXPECT_EQ(w->model().progress_text, ui_text(w->model().texts, UiText::failed));
        EXPECT_FALSE(w->compare_open());
        EXPECT_TRUE(w->is_open());
        return w->answered_message();
    };
    // The file shrinks on disk after the drop: the run finds it short.
    const std::string shrunk = picture("failed/shrunk.bmp", 5, 3);
    w->drop({shrunk});
    std::vector<unsigned char> bytes = read_file(shrunk);
    bytes.pop_back();
    ASSERT_TRUE(write_file(shrunk, bytes));
    EXPECT_EQ(failing_go(), "InputFileSizeError!!!\n'" + shrunk +
                                "' is cut short: it has 101 of the 102 bytes its size field "
                                "gives (1 missing)");

    // A size past int's range is read as INT_MAX, which the run refuses.
    w->drop({picture("failed/huge.bmp", 3, 3)});
    EXPECT_TRUE(w->enabled(Control::go));
    w->set_text(Control::width_box, "99999999999999999999");
    std::string shown = failing_go();
    EXPECT_NE(shown.find("2147483647"), std::string::npos) << shown;

    const std::string gone = picture("failed/gone.bmp", 5, 4);
    w->drop({gone});
    remove_file(gone);
    shown = failing_go();
    EXPECT_NE(shown.find("gone.bmp"), std::string::npos) << shown;
    EXPECT_EQ(files_in(at("failed")), (std::vector<std::string>{"huge.bmp", "shrunk.bmp"}));

    // Every result name taken by a folder: nothing can be written there.
    const std::string path = picture("unwritable/cat.bmp", 5, 4);
    for (const char* suffix : kSuffixes) folder(std::string("unwritable/cat") + suffix);
    w->drop({path});
    shown = failing_go();
    int lines = 0;
    for (std::size_t i = shown.find("cannot write"); i != std::string::npos;
         i = shown.find("cannot write", i + 1))
        ++lines;
    EXPECT_EQ(lines, 3) << shown;
    EXPECT_EQ(
        files_in(at("unwritable")),
        (std::vector<std::string>{"cat.bmp", "cat_dct.bmp", "cat_hybrid.bmp", "cat_lanczos3.bmp"}));
}

// A picture past the size limit is refused at the drop with the line that says how to raise
// the limit, in a message box; one within it is taken as ever.
TEST_F(WindowScenario, APicturePastTheSizeLimitIsRefusedInAMessageBox) {
    const ScopedEnv limit("ENLARGE3_MAX_PIXELS", "20");
    const std::string big = picture("limit/big.bmp", 5, 5);
    w->answer_next_message();
    w->drop({big});
    EXPECT_EQ(w->answered_message(),
              "'" + big +
                  "' is 5 x 5 pixels, more than the 20 the limit set allows (to read it, raise "
                  "the limit: --max-pixels N on the command line, or ENLARGE3_MAX_PIXELS=N)");
    EXPECT_FALSE(w->enabled(Control::go));
    w->drop({picture("limit/small.bmp", 5, 4)});
    EXPECT_TRUE(w->enabled(Control::go));
}

TEST_F(WindowScenario, RunShowsProgressWhileTheWindowKeepsHandlingEvents) {
    w->set_run_function(slowed_run(12));
    w->drop({picture("progress/cat.bmp", 40, 30)});
    set_sizes("200", "150");
    EXPECT_EQ(w->text(Control::stop), "中止");
    w->click(Control::go);
    EXPECT_TRUE(w->model().running);
    EXPECT_TRUE(w->visible(Control::bar));
    EXPECT_TRUE(w->visible(Control::stop));
    EXPECT_FALSE(w->enabled(Control::go));
    // The control row: the bar, its text and the stop button cover nothing of the original.
    for (Control added : {Control::bar, Control::stop}) {
        const Rect r = w->place(added);
        EXPECT_GE(r.x, kHeightBox.x + kHeightBox.width);
        EXPECT_LE(r.y + r.height, kPreviewY);
    }
    std::vector<int> positions;
    std::vector<std::string> texts;
    int turns = 0;
    std::string drawn_text;
    std::vector<std::uint32_t> drawn;
    const auto start = std::chrono::steady_clock::now();
    while (w->model().running &&
           std::chrono::steady_clock::now() - start < std::chrono::minutes(1)) {
        w->pump();
        positions.push_back(w->bar_position());
        texts.push_back(w->model().progress_text);
        // The window repaints meanwhile: the text is drawn right of the boxes, and drawn anew
        // when it changes.
        if (++turns == 20) {
            const Shot shot = w->shot();
            EXPECT_GT(shot.ink(kProgressText), 10) << "no progress text drawn";
            drawn_text = texts.back();
            drawn = shot.part(kProgressText);
        } else if (!drawn.empty() && texts.back() != drawn_text) {
            EXPECT_TRUE(w->shot().part(kProgressText) != drawn)
                << drawn_text << " was not redrawn as " << texts.back();
            drawn.clear();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    w->wait_for_run();
    int distinct = 0;
    for (std::size_t i = 1; i < positions.size(); ++i) {
        EXPECT_GE(positions[i], positions[i - 1]) << "the bar moved back at " << i;
        distinct += positions[i] > positions[i - 1];
    }
    EXPECT_GE(distinct, 20);
    for (const char* title : kMethodTitles) {
        const std::regex shown(std::string(title) + " [0-9]+%");
        EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [&](const std::string& s) {
            return std::regex_match(s, shown);
        })) << title;
    }
    EXPECT_EQ(w->model().progress_text, ui_text(w->model().texts, UiText::done));
    EXPECT_EQ(w->bar_position(), kProgressSteps);
    EXPECT_FALSE(w->visible(Control::stop));
    EXPECT_FALSE(w->enabled(Control::go));
    w->repaint();
    EXPECT_GT(w->shot().ink(kProgressText), 10) << "no 完了 drawn";
}

class WindowStop : public WindowScenario, public ::testing::WithParamInterface<int> {};

// The stop button stops the Hybrid method; Esc, twice, from a focused box the others.
TEST_P(WindowStop, DuringEachMethodLeavesNoFileOfIt) {
    const int method = GetParam();
    const std::string name = "stop" + std::to_string(method);
    const std::string path = picture(name + "/cat.bmp", 40, 30);
    const std::string reference = picture(name + "-reference/cat.bmp", 40, 30);
    ASSERT_TRUE(resize_run(reference, 200, 150).ok());
    w->set_run_function(run_held_in(method));
    w->drop({path});
    set_sizes("200", "150");
    w->click(Control::go);
    ASSERT_TRUE(w->wait_until(
        [&] { return starts_with(w->model().progress_text, kMethodTitles[method]); }));
    if (method == 1) {
        w->click(Control::stop);
    } else {
        w->press(Key::escape, Control::width_box);
        w->press(Key::escape, Control::width_box);
    }
    w->wait_for_run();
    EXPECT_EQ(w->model().progress_text, ui_text(w->model().texts, UiText::stopped));
    EXPECT_TRUE(w->enabled(Control::go));
    EXPECT_FALSE(w->visible(Control::stop));
    std::vector<std::string> expected = {"cat.bmp"};
    for (int m = 0; m < method; ++m) {
        expected.push_back(std::string("cat") + kSuffixes[m]);
        EXPECT_EQ(read_file(stem(path) + kSuffixes[m]), read_file(stem(reference) + kSuffixes[m]));
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(files_in(at(name)), expected);
    EXPECT_EQ(w->compare_open(), method > 0);
    if (method > 0) {
        EXPECT_EQ(w->compare_view().contents.panes.size(), static_cast<std::size_t>(method + 1));
    }

    // GO again runs the same picture to its end, and the results are the run's.
    w->set_run_function(run_request);
    w->click(Control::go);
    w->wait_for_run();
    EXPECT_EQ(w->model().progress_text, ui_text(w->model().texts, UiText::done));
    for (const char* suffix : kSuffixes)
        EXPECT_EQ(read_file(stem(path) + suffix), read_file(stem(reference) + suffix)) << suffix;
    ASSERT_TRUE(w->compare_open());
    EXPECT_EQ(w->compare_view().contents.panes.size(), 4u);
}

INSTANTIATE_TEST_SUITE_P(EachMethod, WindowStop, ::testing::Values(0, 1, 2),
                         [](const ::testing::TestParamInfo<int>& i) {
                             return std::string(method_name(i.param));
                         });

// Without a mouse: Tab goes through GO, the boxes, the format choice and, during a run, the
// stop button; Space presses GO, Enter in a box runs GO when it may, and Esc from the keyboard
// stops the run whatever has the focus, GO having disabled itself under it, the preview
// clicked or not.
TEST_F(WindowScenario, TheKeyboardAloneRunsAndStops) {
    const std::string path = picture("keys/cat.bmp", 40, 30);
    w->set_run_function(run_held_in(0, 2));
    w->drop({path});
    set_sizes("200", "150");
    w->focus_on(Control::go);
    std::vector<Control> visited = {w->focused()};
    for (int i = 0; i < 4; ++i) {
        w->press(Key::tab);
        visited.push_back(w->focused());
    }
    EXPECT_EQ(visited, (std::vector<Control>{Control::go, Control::width_box, Control::height_box,
                                             Control::bmp_format, Control::go}));
    // An arrow in the format choice chooses the other.
    w->press(Key::right, Control::bmp_format);
    EXPECT_TRUE(w->checked(Control::png_format));
    EXPECT_EQ(w->model().result_format, ResultFormat::png);

    const struct {
        const char* how;
        Control focus;
        Key key;
        bool click_preview;
    } starts[] = {{"Space on GO", Control::go, Key::space, false},
                  {"Enter in a box", Control::height_box, Key::enter, true}};
    for (const auto& start : starts) {
        w->press(start.key, start.focus);
        ASSERT_TRUE(w->wait_until([&] { return w->model().progress_steps > 0; })) << start.how;
        EXPECT_FALSE(w->enabled(Control::go));
        if (start.focus == Control::go) {
            EXPECT_EQ(w->focused(), Control::stop);
        }
        if (start.click_preview) w->click_at(kPreviewX + 10, kPreviewY + 10);
        w->press(Key::escape);
        w->wait_for_run();
        EXPECT_EQ(w->model().progress_text, ui_text(w->model().texts, UiText::stopped))
            << start.how;
        EXPECT_NE(w->focused(), Control::none) << start.how;
    }
    // During a run Tab reaches the stop button, and Space there stops it too.
    w->press(Key::enter, Control::width_box);
    ASSERT_TRUE(w->wait_until([&] { return w->model().progress_steps > 0; }));
    for (int i = 0; i < 4 && w->focused() != Control::stop; ++i) w->press(Key::tab);
    EXPECT_EQ(w->focused(), Control::stop);
    w->press(Key::space);
    w->wait_for_run();
    EXPECT_EQ(w->model().progress_text, ui_text(w->model().texts, UiText::stopped));
    // A finished run leaves GO off: Enter then starts nothing.
    w->set_run_function(run_request);
    w->press(Key::enter, Control::width_box);
    w->wait_for_run();
    EXPECT_EQ(w->model().progress_text, ui_text(w->model().texts, UiText::done));
    w->press(Key::enter, Control::width_box);
    EXPECT_FALSE(w->model().running);
}

// A picture larger than the preview is shown whole, scaled down, with its size and scale under
// it; the preview follows the window as it is resized and maximised, and a picture that fits
// is shown at its own size, never enlarged.
TEST_F(WindowScenario, ALargePictureIsShownWholeAndFollowsTheWindow) {
    w->drop({picture("large/wide.bmp", 1500, 300)});
    auto expect_shown = [&](const char* when) {
        w->repaint();
        const Shot shot = w->shot();
        const WindowModel& m = w->model();
        const WindowLayout layout = window_layout(96, shot.width, shot.height);
        EXPECT_EQ(std::tie(m.client_width, m.client_height), std::tie(shot.width, shot.height))
            << when;
        EXPECT_LE(m.shown_width, layout.preview.width) << when;
        EXPECT_LE(m.shown_height, layout.preview.height) << when;
        // Its own size, or one side filling the preview.
        EXPECT_TRUE(m.shown_width == m.width || m.shown_width == layout.preview.width ||
                    m.shown_height == layout.preview.height)
            << when;
        // The picture as the model scaled it, pixel for pixel at the preview's corner.
        const BmpPicture& drawn = m.shown.bytes != nullptr ? m.shown : m.held;
        const std::size_t stride = (3 * static_cast<std::size_t>(drawn.width) + 3) / 4 * 4;
        for (int x : {0, m.shown_width / 2, m.shown_width - 1}) {
            for (int y : {0, m.shown_height - 1}) {
                const unsigned char* px =
                    drawn.rows() + static_cast<std::size_t>(drawn.height - 1 - y) * stride + 3 * x;
                EXPECT_EQ(shot.at(kPreviewX + x, kPreviewY + y),
                          static_cast<std::uint32_t>(px[2] << 16 | px[1] << 8 | px[0]))
                    << when << " at " << x << "," << y;
            }
        }
        if (m.shown_width < shot.width - kPreviewX) {
            EXPECT_EQ(shot.at(kPreviewX + m.shown_width, kPreviewY), kBackgroundRgb) << when;
        }
        EXPECT_GT(shot.ink(layout.picture_text), 20) << when << ": no size and scale drawn";
        return m.shown_width;
    };
    const int first = expect_shown("at first");
    EXPECT_LT(first, 1500);
    EXPECT_EQ(w->model().picture_text.rfind("1500 × 300、", 0), 0u) << w->model().picture_text;
    w->resize(900, 600);
    EXPECT_GT(expect_shown("resized"), first);
    w->maximize();
    expect_shown("maximised");
    // A picture that fits is at its own size, whatever the room.
    w->drop({picture("large/small.bmp", 30, 20)});
    expect_shown("small");
    EXPECT_EQ(w->model().shown_width, 30);
    EXPECT_EQ(w->shot().at(kPreviewX + 29, kPreviewY + 19), test_pixel_rgb(29, 19));
}

TEST_F(WindowScenario, EscapeWithoutARunAndGoTwiceStartNothingExtra) {
    auto runs = std::make_shared<std::atomic<int>>(0);
    w->set_run_function([runs](const RunRequest& r, RunProgress* p) {
        ++*runs;
        return run_request(r, p);
    });
    w->press(Key::escape, Control::window);
    w->drop({picture("twice/cat.bmp", 6, 5)});
    w->press(Key::escape, Control::height_box);
    EXPECT_FALSE(w->model().running);
    EXPECT_TRUE(w->enabled(Control::go));
    w->click(Control::go);
    w->click(Control::go);
    w->wait_for_run();
    EXPECT_EQ(*runs, 1);
    EXPECT_EQ(w->model().progress_text, ui_text(w->model().texts, UiText::done));
}

TEST_F(WindowScenario, DropDuringARunIsRefused) {
    const std::string path = picture("busy/cat.bmp", 40, 30);
    const std::string other = picture("busy/dog.bmp", 9, 7);
    w->set_run_function(run_held_in(0));
    w->drop({path});
    set_sizes("200", "150");
    w->click(Control::go);
    ASSERT_TRUE(w->wait_until([&] { return starts_with(w->model().progress_text, "Lanczos3"); }));
    w->drop({other});
    EXPECT_EQ(w->model().accepted_path, path);
    EXPECT_EQ(w->text(Control::width_box), "200");
    EXPECT_TRUE(w->model().running);
    w->press(Key::escape, Control::window);
    w->wait_for_run();
    EXPECT_EQ(w->model().accepted_path, path);
}

TEST_F(WindowScenario, ClosingDuringARunStopsItWithinASecond) {
    w->set_run_function(run_held_in(2));
    w->drop({picture("close-run/cat.bmp", 40, 30)});
    set_sizes("200", "150");
    w->click(Control::go);
    ASSERT_TRUE(w->wait_until([&] { return starts_with(w->model().progress_text, "DCT"); }));
    const auto start = std::chrono::steady_clock::now();
    w->close();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_FALSE(w->is_open());
    EXPECT_FALSE(w->compare_open());
    // The finished methods' files are whole; of the stopped one nothing, not even a
    // temporary file.
    EXPECT_EQ(files_in(at("close-run")),
              (std::vector<std::string>{"cat.bmp", "cat_hybrid.bmp", "cat_lanczos3.bmp"}));
}

TEST_F(WindowScenario, AOnePixelPictureRunsAndCompares) {
    w->drop({picture("one/dot.bmp", 1, 1)});
    set_sizes("3", "3");
    w->click(Control::go);
    w->wait_for_run();
    EXPECT_EQ(w->model().progress_text, ui_text(w->model().texts, UiText::done));
    ASSERT_TRUE(w->compare_open());
    EXPECT_EQ(w->compare_view().contents.panes.size(), 4u);
    EXPECT_EQ(compare_draws(w->compare_view()).size(), 4u);
    EXPECT_GT(w->compare_shot().width, 0);
}

TEST_F(WindowScenario, CompareWindowShowsEveryResultInStep) {
    const std::string path = picture("compare/cat.bmp", 40, 30);
    w->drop({path});
    set_sizes("160", "120");
    w->click(Control::go);
    w->wait_for_run();
    ASSERT_TRUE(w->compare_open());
    EXPECT_EQ(w->compare_title(), "比較 - cat.bmp");
    const CompareView& v = w->compare_view();
    ASSERT_EQ(v.contents.panes.size(), 4u);
    EXPECT_EQ(v.contents.panes[0].label, "元画像 - cat.bmp");
    for (int m = 0; m < kMethodCount; ++m)
        EXPECT_EQ(v.contents.panes[static_cast<std::size_t>(m + 1)].label,
                  std::string(kMethodTitles[m]) + " - cat" + kSuffixes[m]);
    std::vector<TestPicture> pictures = {pattern_picture(40, 30)};
    for (const char* suffix : kSuffixes)
        pictures.push_back(decode_result_bmp(read_file(stem(path) + suffix)));
    expect_panes_in_step(w.get(), pictures, 4);

    // Zoom with both plus keys and the wheel, move with a drag and an arrow: all in step.
    w->compare_press(Key::plus);
    w->compare_press(Key::keypad_plus);
    const double scale = compare_scale(v);
    EXPECT_GT(scale, 2.5);
    const PaneLayout second = compare_layout(v)[1];
    const int x = second.picture.x + 40, y = second.picture.y + 30;
    w->compare_mouse(Mouse::wheel, x, y);
    EXPECT_GT(compare_scale(v), scale);
    const double before_x = v.center_x;
    w->compare_mouse(Mouse::press, x, y);
    w->compare_mouse(Mouse::move, x - 30, y - 20);
    w->compare_mouse(Mouse::release, x - 30, y - 20);
    EXPECT_GT(v.center_x, before_x);
    w->compare_press(Key::right);
    expect_panes_in_step(w.get(), pictures, 4);

    // Key 3 shows the Hybrid alone over the whole window; 0 all four again.
    w->compare_press(Key::digit_3);
    ASSERT_EQ(compare_layout(v).size(), 1u);
    EXPECT_EQ(compare_layout(v)[0].pane, 2);
    expect_panes_in_step(w.get(), pictures, 1);
    w->compare_press(Key::digit_0);
    EXPECT_EQ(compare_layout(v).size(), 4u);

    // A double-click on a pane, or its open button, opens that file in the viewer.
    const PaneLayout hybrid = compare_layout(v)[2];
    w->compare_mouse(Mouse::double_click, hybrid.picture.x + 5, hybrid.picture.y + 5);
    const PaneLayout first = compare_layout(v)[1];
    w->compare_mouse(Mouse::press, first.open_button.x + 3, first.open_button.y + 3);
    w->compare_mouse(Mouse::release, first.open_button.x + 3, first.open_button.y + 3);
    EXPECT_EQ(w->opened,
              (std::vector<std::string>{stem(path) + "_hybrid.bmp", stem(path) + "_lanczos3.bmp"}));

    // The window can be resized and closed at any time; the main window lives on.
    EXPECT_EQ(w->compare_resize(500, 300), v.client_width);
    w->compare_close();
    EXPECT_FALSE(w->compare_open());
    EXPECT_TRUE(w->is_open());
}

// The window at rest, during a run and the compare window, in Japanese and in English, saved
// for the documentation when ENLARGE3_SCREENSHOT_DIR names a folder; ENLARGE3_SCREENSHOT_SUFFIX
// is added to every name (as "-150" for a screen at 150 per cent). Not a check.
TEST_F(WindowScenario, Screenshots) {
    const char* dir = std::getenv("ENLARGE3_SCREENSHOT_DIR");
    if (dir == nullptr || *dir == '\0') GTEST_SKIP() << "ENLARGE3_SCREENSHOT_DIR not set";
    std::string shots = dir;
#ifdef _WIN32
    if (shots[0] == '/') shots = "Z:" + shots;  // a Unix path as Wine's drive Z: sees it
#endif
    const char* extra = std::getenv("ENLARGE3_SCREENSHOT_SUFFIX");
    const std::string screen = extra != nullptr ? extra : "";
    for (const char* language : {"ja", "en"}) {
        reopen(language);
        const std::string suffix = (std::string(language) == "ja" ? "" : "-en") + screen;
        // A photo larger than the window, shown whole.
        w->drop({file("shots/large.bmp", encode_bmp(demo_picture(1600, 1000)))});
        EXPECT_TRUE(w->save_shot(false, shots, suffix));

        w->drop({file("shots/photo.bmp", encode_bmp(demo_picture(320, 200)))});
        auto release = std::make_shared<std::atomic<bool>>(false);
        w->set_run_function(run_held_in(2, 400, release));
        set_sizes("960", "600");
        w->click(Control::go);
        ASSERT_TRUE(w->wait_until([&] {
            return starts_with(w->model().progress_text, "DCT") && w->model().progress_steps > 400;
        }));
        w->wait_until([] { return false; }, std::chrono::milliseconds(100));
        EXPECT_TRUE(w->save_shot(false, shots, "-run" + suffix));
        *release = true;
        w->wait_for_run();
        ASSERT_TRUE(w->compare_open());
        // Near the hills' edge against the sky, two steps in: where the methods differ.
        const CompareView& v = w->compare_view();
        const PaneLayout p = compare_layout(v)[1];
        const double s = compare_scale(v);
        const int x =
            static_cast<int>(p.picture.x + p.picture.width / 2.0 + (300 - v.center_x) * s);
        const int y =
            static_cast<int>(p.picture.y + p.picture.height / 2.0 + (330 - v.center_y) * s);
        w->compare_mouse(Mouse::wheel, x, y);
        w->compare_mouse(Mouse::wheel, x, y);
        // Only at 100 per cent: larger, it would not fit the test's screen.
        if (screen.empty()) {
            EXPECT_TRUE(w->save_shot(true, shots, suffix));
        }
    }
}
