// The Win32 window driven through its messages as the shell and the user drive it: drops as
// DROPFILES blocks, GO as WM_COMMAND, and what the window shows read back from its DC.

// windows.h first: the other Windows headers build on it.
// clang-format off
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
// clang-format on

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

#include "app/resize_run.h"
#include "app/win32/compare_window.h"
#include "app/win32/main_window.h"
#include "base/file_io.h"
#include "image/picture.h"
#include "tests/support/bmp_builder.h"
#include "tests/support/jpeg_maker.h"
#include "tests/support/png_builder.h"
#include "tests/support/temp_dir.h"

namespace {

std::wstring wide(const std::string& s) {
    return utf8_to_wide(s);
}

std::wstring text_of(HWND w) {
    wchar_t buf[512] = {};
    GetWindowTextW(w, buf, 512);
    return buf;
}

std::wstring class_of(HWND w) {
    wchar_t buf[64] = {};
    GetClassNameW(w, buf, 64);
    return buf;
}

RECT client_rect_of(HWND child, HWND parent) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// Handles what is queued; true once WM_QUIT arrived, *code then holds its exit code.
bool pump(int* code = nullptr) {
    MSG msg;
    bool quit = false;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            quit = true;
            if (code) *code = static_cast<int>(msg.wParam);
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return quit;
}

// As the shell hands over a drop: a DROPFILES block in movable global memory, the wide paths
// one after another, ended by an empty one. The window frees it with DragFinish.
void drop_files(HWND window, const std::vector<std::string>& paths) {
    std::size_t chars = 1;
    for (const std::string& p : paths) chars += wide(p).size() + 1;
    HGLOBAL block = GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(wchar_t));
    ASSERT_NE(block, nullptr);
    auto* df = static_cast<DROPFILES*>(GlobalLock(block));
    df->pFiles = sizeof(DROPFILES);
    df->fWide = TRUE;
    auto* out = reinterpret_cast<wchar_t*>(reinterpret_cast<char*>(df) + sizeof(DROPFILES));
    for (const std::string& p : paths) {
        const std::wstring w = wide(p);
        std::memcpy(out, w.c_str(), (w.size() + 1) * sizeof(wchar_t));
        out += w.size() + 1;
    }
    *out = L'\0';
    GlobalUnlock(block);
    SendMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(block), 0);
}

std::uint32_t rgb_of(COLORREF c) {
    return static_cast<std::uint32_t>(GetRValue(c)) << 16 | GetGValue(c) << 8 | GetBValue(c);
}

// Closes the window's next message box from another thread (the box runs its own modal
// loop on this one) and keeps its text.
class MessageBoxAnswerer {
   public:
    MessageBoxAnswerer() : thread_([this] { run(); }) {}
    ~MessageBoxAnswerer() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    std::wstring text() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        return text_;
    }

   private:
    void run() {
        const std::wstring title = wide(kWindowTitle);
        for (int i = 0; i < 1000 && !stop_; ++i) {
            HWND box = FindWindowW(L"#32770", title.c_str());
            if (box != nullptr) {
                wchar_t buf[1024] = {};
                GetDlgItemTextW(box, 0xFFFF, buf, 1024);  // the message's static control
                text_ = buf;
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                return;
            }
            Sleep(10);
        }
    }
    std::atomic<bool> stop_{false};
    std::wstring text_;
    std::thread thread_;
};

void make_dirs(const std::string& path) {
    std::size_t at = 0;
    while ((at = path.find('\\', at + 1)) != std::string::npos)
        CreateDirectoryW(windows_file_path(path.substr(0, at)).c_str(), nullptr);
    CreateDirectoryW(windows_file_path(path).c_str(), nullptr);
}

bool exists(const std::string& path) {
    std::uint64_t length = 0;
    int err = 0;
    return file_kind(path, &length, &err) == FileKind::regular;
}

std::string stem(const std::string& path) {
    return path.substr(0, path.size() - 4);
}

const char* const kSuffixes[kMethodCount] = {"_lanczos3.bmp", "_hybrid.bmp", "_dct.bmp"};

// The run, slowed down by a pause after every unit of work it reports.
RunFn slowed_run(int pause_ms) {
    return [pause_ms](const RunRequest& request, RunProgress* progress) {
        progress->observer = [pause_ms](const RunProgress&) {
            Sleep(static_cast<DWORD>(pause_ms));
        };
        return run_request(request, progress);
    };
}

// The run, held inside method `method` after its second unit until a stop (or release) comes.
RunFn run_held_in(int method, std::shared_ptr<std::atomic<bool>> release = nullptr) {
    return [method, release](const RunRequest& request, RunProgress* progress) {
        auto units = std::make_shared<std::atomic<int>>(0);
        const int hold_at = release ? 400 : 2;
        progress->observer = [method, units, release, hold_at](const RunProgress& p) {
            if (p.method() != method || ++*units < hold_at) return;
            for (int i = 0; i < 20000 && !p.stop_requested() && !(release && *release); ++i)
                Sleep(1);
        };
        return run_request(request, progress);
    };
}

// The names in a folder, sorted.
std::vector<std::string> names_in(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW(windows_file_path(folder + "\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string name = wide_to_utf8(found.cFileName);
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileW(h, &found));
    FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
}

bool starts_with(const std::string& s, const char* prefix) {
    return s.rfind(prefix, 0) == 0;
}

class Win32Window : public ::testing::Test {
   protected:
    static void SetUpTestSuite() {
        instance_ = GetModuleHandleW(nullptr);
        // Once per process: both suites of this program share the classes.
        if (!registered_) registered_ = register_main_window_class(instance_) != 0;
        folder_ = std::make_unique<TempDir>();
        root_ = folder_->path();
    }

    static void TearDownTestSuite() { folder_.reset(); }

    void SetUp() override {
        ASSERT_TRUE(registered_);
        set_main_window_run_function(run_request);
        set_compare_opener([this](const std::string& path) { opened.push_back(path); });
        window = create_main_window(instance_);
        ASSERT_NE(window, nullptr) << "error " << GetLastError();
        ShowWindow(window, SW_SHOWNORMAL);
        UpdateWindow(window);
        pump();
        go = GetDlgItem(window, kGoButtonId);
        width_box = GetDlgItem(window, kWidthBoxId);
        height_box = GetDlgItem(window, kHeightBoxId);
    }

    void TearDown() override {
        if (IsWindow(window)) SendMessageW(window, WM_CLOSE, 0, 0);
        pump();
    }

    // A picture in the test's own folder; name may hold sub-folders.
    std::string picture(const std::string& name, int w, int h) {
        const std::string path = root_ + "\\" + name;
        make_dirs(path.substr(0, path.rfind('\\')));
        EXPECT_TRUE(write_file(path, make_bmp(w, h))) << path;
        return path;
    }

    void press_go() {
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(kGoButtonId, BN_CLICKED),
                     reinterpret_cast<LPARAM>(go));
    }

    // Handles messages until the run GO started has ended (as the message loop would).
    void wait_for_run() {
        const auto start = std::chrono::steady_clock::now();
        while (main_window_model().running &&
               std::chrono::steady_clock::now() - start < std::chrono::seconds(60)) {
            pump();
            Sleep(2);
        }
        pump();
        ASSERT_FALSE(main_window_model().running) << "the run did not end";
    }

    // Handles messages until done() holds, at most 30 seconds.
    template <class Done>
    bool pump_until(Done done) {
        const auto start = std::chrono::steady_clock::now();
        while (!done()) {
            if (std::chrono::steady_clock::now() - start > std::chrono::seconds(30)) return false;
            pump();
            Sleep(2);
        }
        return true;
    }

    void set_sizes(const wchar_t* w, const wchar_t* h) {
        SetWindowTextW(width_box, w);
        SetWindowTextW(height_box, h);
    }

    COLORREF pixel(int x, int y) {
        HDC dc = GetDC(window);
        COLORREF c = GetPixel(dc, x, y);
        ReleaseDC(window, dc);
        return c;
    }

    void repaint() {
        InvalidateRect(window, nullptr, TRUE);
        UpdateWindow(window);
    }

    static HINSTANCE instance_;
    static bool registered_;
    static std::unique_ptr<TempDir> folder_;
    static std::string root_;  // the folder's path
    HWND window = nullptr;
    HWND go = nullptr;
    HWND width_box = nullptr;
    HWND height_box = nullptr;
    std::vector<std::string> opened;  // files the compare window asked the viewer to open
};

HINSTANCE Win32Window::instance_ = nullptr;
bool Win32Window::registered_ = false;
std::unique_ptr<TempDir> Win32Window::folder_;
std::string Win32Window::root_;

TEST_F(Win32Window, ClassTitleControlsAndStartState) {
    EXPECT_EQ(class_of(window), L"CWindow");
    EXPECT_EQ(text_of(window), wide(kWindowTitle));
    EXPECT_EQ(GetWindowLongW(window, GWL_STYLE) & WS_OVERLAPPEDWINDOW, WS_OVERLAPPEDWINDOW);
    EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    RECT outer;
    GetWindowRect(window, &outer);
    EXPECT_EQ(outer.right - outer.left, 600);
    EXPECT_EQ(outer.bottom - outer.top, 480);
    EXPECT_EQ(GetClassLongPtrW(window, GCL_STYLE), CS_HREDRAW | CS_VREDRAW);
    EXPECT_EQ(reinterpret_cast<HGDIOBJ>(GetClassLongPtrW(window, GCLP_HBRBACKGROUND)),
              GetStockObject(LTGRAY_BRUSH));

    const struct {
        HWND control;
        const wchar_t* class_name;
        ControlPlace place;
    } controls[] = {{go, L"button", kGoButton},
                    {width_box, L"edit", kWidthBox},
                    {height_box, L"edit", kHeightBox},
                    {GetDlgItem(window, kBmpFormatId), L"button", kBmpFormat},
                    {GetDlgItem(window, kPngFormatId), L"button", kPngFormat}};
    for (const auto& c : controls) {
        ASSERT_NE(c.control, nullptr) << c.place.id;
        EXPECT_EQ(_wcsicmp(class_of(c.control).c_str(), c.class_name), 0) << c.place.id;
        EXPECT_EQ(text_of(c.control), wide(c.place.text)) << c.place.id;
        const RECT r = client_rect_of(c.control, window);
        EXPECT_EQ(r.left, c.place.x);
        EXPECT_EQ(r.top, c.place.y);
        EXPECT_EQ(r.right - r.left, c.place.width);
        EXPECT_EQ(r.bottom - r.top, c.place.height);
        EXPECT_TRUE(GetWindowLongW(c.control, GWL_STYLE) & WS_VISIBLE);
    }
    EXPECT_EQ(GetWindowLongW(go, GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);
    for (HWND box : {width_box, height_box}) {
        const LONG style = GetWindowLongW(box, GWL_STYLE);
        EXPECT_EQ(style & (ES_NUMBER | ES_RIGHT), ES_NUMBER | ES_RIGHT);
        // An edit control takes WS_BORDER out of its style and draws the border itself: its
        // edge differs from its inside.
        HDC dc = GetDC(box);
        const COLORREF edge = GetPixel(dc, 0, 11), inside = GetPixel(dc, 2, 11);
        ReleaseDC(box, dc);
        EXPECT_NE(edge, inside);
        EXPECT_TRUE(IsWindowEnabled(box));
    }
    EXPECT_FALSE(IsWindowEnabled(go));
    for (int id : {kBmpFormatId, kPngFormatId})
        EXPECT_EQ(GetWindowLongW(GetDlgItem(window, id), GWL_STYLE) & BS_TYPEMASK,
                  BS_AUTORADIOBUTTON);
    EXPECT_EQ(SendMessageW(GetDlgItem(window, kBmpFormatId), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageW(GetDlgItem(window, kPngFormatId), BM_GETCHECK, 0, 0), BST_UNCHECKED);

    for (POINT p : {POINT{300, 300}, POINT{4, 48}, POINT{2, 46}})
        EXPECT_EQ(rgb_of(pixel(p.x, p.y)), 0xC0C0C0u) << p.x << "," << p.y;
    for (const LabelPlace& l : {kWidthLabel, kHeightLabel, kFormatLabel}) {
        int ink = 0;
        for (int y = l.y; y < l.y + 15; ++y)
            for (int x = l.x; x < l.x + 70; ++x) ink += rgb_of(pixel(x, y)) != 0xC0C0C0u;
        EXPECT_GT(ink, 20) << "no label drawn at " << l.x << "," << l.y;
    }
}

int CALLBACK count_family(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM n) {
    ++*reinterpret_cast<int*>(n);
    return 1;
}

// The title bar and the task bar show the program's icon, not Windows' default one.
TEST_F(Win32Window, ClassHasTheProgramsIcon) {
    const HICON fallback = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    for (int which : {GCLP_HICON, GCLP_HICONSM}) {
        const HICON icon = reinterpret_cast<HICON>(GetClassLongPtrW(window, which));
        EXPECT_NE(icon, nullptr) << which;
        EXPECT_NE(icon, fallback) << which;
    }
}

TEST_F(Win32Window, AJapaneseFontIsInstalled) {
    LOGFONTW lf;
    std::memset(&lf, 0, sizeof lf);
    lf.lfCharSet = SHIFTJIS_CHARSET;
    HDC dc = GetDC(window);
    int families = 0;
    EnumFontFamiliesExW(dc, &lf, count_family, reinterpret_cast<LPARAM>(&families), 0);
    // And one of them really has the labels' glyphs.
    lf.lfHeight = -16;
    HFONT font = CreateFontIndirectW(&lf);
    HGDIOBJ previous = SelectObject(dc, font);
    const std::wstring texts = wide(kWidthLabel.text) + wide(kHeightLabel.text);
    std::vector<WORD> glyphs(texts.size());
    GetGlyphIndicesW(dc, texts.c_str(), static_cast<int>(texts.size()), glyphs.data(),
                     GGI_MARK_NONEXISTING_GLYPHS);
    SelectObject(dc, previous);
    DeleteObject(font);
    ReleaseDC(window, dc);
    EXPECT_GT(families, 0);
    for (WORD g : glyphs) EXPECT_NE(g, 0xFFFF);
}

TEST_F(Win32Window, DropShowsThePictureUnscaledAndFillsTheBoxes) {
    const std::string path = picture("drop\\cat.bmp", 7, 5);
    drop_files(window, {path});
    EXPECT_EQ(text_of(width_box), L"7");
    EXPECT_EQ(text_of(height_box), L"5");
    EXPECT_TRUE(IsWindowEnabled(go));
    for (int t = 0; t < 5; ++t)
        for (int x = 0; x < 7; ++x)
            EXPECT_EQ(rgb_of(pixel(4 + x, 48 + t)), test_pixel_rgb(x, t)) << x << "," << t;
    EXPECT_EQ(rgb_of(pixel(3, 48)), 0xC0C0C0u);
    EXPECT_EQ(rgb_of(pixel(4 + 7, 48)), 0xC0C0C0u);
    EXPECT_EQ(rgb_of(pixel(4, 48 + 5)), 0xC0C0C0u);
}

// "Open with" and a drop on the program's icon start it with the picture on its command line,
// quoted as Explorer quotes it: the picture is taken as if dropped.
TEST_F(Win32Window, APictureOnTheCommandLineIsTakenAsIfDropped) {
    const std::string path = picture("command line\\猫 😀.bmp", 7, 5);
    const std::vector<std::string> arguments = command_line_arguments(
        (L"\"C:\\Program Files\\enlarge3\\enlarge3-window.exe\" \"" + wide(path) + L"\" other.bmp")
            .c_str());
    ASSERT_EQ(arguments.size(), 3u);
    EXPECT_EQ(arguments[0], "C:\\Program Files\\enlarge3\\enlarge3-window.exe");
    EXPECT_EQ(arguments[1], path);
    open_command_line(arguments);
    EXPECT_EQ(text_of(width_box), L"7");
    EXPECT_EQ(text_of(height_box), L"5");
    EXPECT_TRUE(IsWindowEnabled(go));
    EXPECT_EQ(main_window_model().accepted_path, path);
    EXPECT_EQ(rgb_of(pixel(4 + 6, 48 + 4)), test_pixel_rgb(6, 4));
}

// A picture that cannot be read, or none: the window stays empty, as after a refused drop.
TEST_F(Win32Window, AnUnreadablePictureOnTheCommandLineLeavesTheWindowEmpty) {
    make_dirs(root_ + "\\folder");
    for (const std::wstring& line : {L"enlarge3-window.exe \"" + wide(root_) + L"\\missing.bmp\"",
                                     L"enlarge3-window.exe \"" + wide(root_) + L"\\folder\"",
                                     std::wstring(L"enlarge3-window.exe")}) {
        open_command_line(command_line_arguments(line.c_str()));
        EXPECT_EQ(text_of(width_box), L"0");
        EXPECT_EQ(text_of(height_box), L"0");
        EXPECT_FALSE(IsWindowEnabled(go));
        EXPECT_FALSE(main_window_model().picture_held);
        repaint();
        EXPECT_EQ(rgb_of(pixel(4, 48)), 0xC0C0C0u);
    }
}

TEST_F(Win32Window, PictureBehindALargerHeaderAndLargerThanTheWindow) {
    const std::string path = root_ + "\\big\\v5.bmp";
    make_dirs(root_ + "\\big");
    ASSERT_TRUE(write_file(path, make_bmp(900, 700, 84)));
    drop_files(window, {path});
    RECT client;
    GetClientRect(window, &client);
    const int x = client.right - 1, y = client.bottom - 1;
    EXPECT_EQ(rgb_of(pixel(x, y)), test_pixel_rgb(x - 4, y - 48));
    EXPECT_EQ(rgb_of(pixel(100, 100)), test_pixel_rgb(96, 52));
}

// The picture in a file the tool reads, as the windows draw it (transparency over the grey),
// in the form the test pictures take.
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

void expect_panes_in_step(const std::vector<TestPicture>& pictures, std::size_t panes);

TEST_F(Win32Window, PngAndJpegAreTakenShownRunAndCompared) {
    // A PNG with transparency: the left column clear, the rest opaque.
    const TestPicture pic = random_picture(6, 4, 21);
    PngLayout layout;
    layout.width = 6;
    layout.height = 4;
    layout.colour_type = 6;
    for (std::size_t i = 0; i < pic.pixels.size(); ++i)
        layout.samples.insert(layout.samples.end(), {pic.pixels[i].r, pic.pixels[i].g, pic.pixels[i].b,
                                                 static_cast<std::uint16_t>(i % 6 ? 255 : 0)});
    make_dirs(root_ + "\\kinds");
    const std::string png = root_ + "\\kinds\\shot.png", jpeg = root_ + "\\kinds\\photo.jpg";
    ASSERT_TRUE(write_file(png, encode_png_file(layout)));
    const std::vector<std::uint8_t> jpeg_bytes = make_jpeg(pic, JpegLayout{});
    ASSERT_TRUE(write_file(jpeg, jpeg_bytes));
    HWND bmp_button = GetDlgItem(window, kBmpFormatId),
         png_button = GetDlgItem(window, kPngFormatId);

    drop_files(window, {png});
    EXPECT_EQ(text_of(width_box), L"6");
    EXPECT_TRUE(IsWindowEnabled(go));
    EXPECT_EQ(SendMessageW(png_button, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageW(bmp_button, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    for (int t = 0; t < 4; ++t)
        for (int x = 0; x < 6; ++x) {
            const Rgb c = pic.at(x, t);
            EXPECT_EQ(rgb_of(pixel(4 + x, 48 + t)),
                      x == 0 ? 0xC0C0C0u : static_cast<std::uint32_t>(c.r) << 16 | c.g << 8 | c.b)
                << x << "," << t;
        }
    set_sizes(L"12", L"8");
    press_go();
    wait_for_run();
    for (const char* name : {"shot_lanczos3.png", "shot_hybrid.png", "shot_dct.png"})
        EXPECT_TRUE(exists(root_ + "\\kinds\\" + name)) << name;
    ASSERT_NE(compare_window(), nullptr);
    SetWindowPos(compare_window(), HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE);
    pump();
    // The picture itself as the window shows it (its clear column over the grey), then the
    // results as written.
    TestPicture shown = pic;
    for (int t = 0; t < 4; ++t)
        shown.pixels[static_cast<std::size_t>(t * 6)] = Rgb{0xC0, 0xC0, 0xC0};
    std::vector<TestPicture> pictures = {shown};
    for (const char* name : {"shot_lanczos3.png", "shot_hybrid.png", "shot_dct.png"})
        pictures.push_back(picture_in(root_ + "\\kinds\\" + name));
    expect_panes_in_step(pictures, 4);

    // The JPEG, its results asked for as BMP by a click on that button.
    drop_files(window, {jpeg});
    EXPECT_EQ(SendMessageW(png_button, BM_GETCHECK, 0, 0), BST_CHECKED);
    const TestPicture decoded = plain_jpeg_samples(jpeg_bytes);
    for (int t = 0; t < 4; ++t)
        for (int x = 0; x < 6; ++x) {
            const Rgb c = decoded.at(x, t);
            EXPECT_EQ(rgb_of(pixel(4 + x, 48 + t)),
                      static_cast<std::uint32_t>(c.r) << 16 | c.g << 8 | c.b)
                << x << "," << t;
        }
    SendMessageW(bmp_button, BM_CLICK, 0, 0);
    pump();
    EXPECT_EQ(main_window_model().result_format, ResultFormat::bmp);
    EXPECT_EQ(SendMessageW(png_button, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    press_go();
    wait_for_run();
    for (const char* name : {"photo_lanczos3.bmp", "photo_hybrid.bmp", "photo_dct.bmp"})
        EXPECT_TRUE(exists(root_ + "\\kinds\\" + name)) << name;
    EXPECT_FALSE(exists(root_ + "\\kinds\\photo_lanczos3.png"));
}

TEST_F(Win32Window, OnlyTheFirstOfSeveralFilesIsLoaded) {
    const std::string a = picture("several\\a.bmp", 3, 2);
    const std::string b = picture("several\\b.bmp", 9, 8);
    drop_files(window, {a, b});
    EXPECT_EQ(main_window_model().accepted_path, a);
    EXPECT_EQ(text_of(width_box), L"3");
}

TEST_F(Win32Window, GoWritesEveryResultLikeTheRunThenStaysDisabled) {
    const std::string path = picture("go\\cat.bmp", 6, 4);
    const std::string reference = picture("go-reference\\cat.bmp", 6, 4);
    drop_files(window, {path});
    press_go();
    EXPECT_FALSE(IsWindowEnabled(go));
    wait_for_run();
    EXPECT_FALSE(IsWindowEnabled(go));
    ASSERT_TRUE(resize_run(reference, 6, 4).ok());
    int compared = 0;
    for (const char* suffix : {"_lanczos3.bmp", "_hybrid.bmp", "_dct.bmp"}) {
        const std::string expected = stem(reference) + suffix;
        EXPECT_EQ(exists(stem(path) + suffix), exists(expected)) << suffix;
        if (!exists(expected)) continue;
        EXPECT_EQ(read_file(stem(path) + suffix), read_file(expected)) << suffix;
        ++compared;
    }
    EXPECT_GE(compared, 1);

    // A second GO message starts nothing until a picture is accepted again.
    remove_file(stem(path) + "_lanczos3.bmp");
    press_go();
    EXPECT_FALSE(main_window_model().running);
    EXPECT_FALSE(exists(stem(path) + "_lanczos3.bmp"));
    drop_files(window, {path});
    EXPECT_TRUE(IsWindowEnabled(go));
}

TEST_F(Win32Window, BoxesTakeDigitsOnlyAndGoUsesThem) {
    const std::string path = picture("typed\\cat.bmp", 4, 3);
    drop_files(window, {path});
    SetWindowTextW(width_box, L"");
    for (wchar_t c : std::wstring(L"1a-2")) SendMessageW(width_box, WM_CHAR, c, 0);
    EXPECT_EQ(text_of(width_box), L"12");
    SetWindowTextW(height_box, L"9");
    press_go();
    wait_for_run();
    const std::vector<unsigned char> result = read_file(stem(path) + "_lanczos3.bmp");
    ASSERT_GE(result.size(), 54u);
    EXPECT_EQ(result[18], 12);
    EXPECT_EQ(result[22], 9);
}

TEST_F(Win32Window, NonAsciiAndLongPathsWork) {
    const std::string name =
        "長い名前\\" + std::string(120, 'a') + "\\" + std::string(120, 'b') + "\\写真 ①.bmp";
    const std::string path = picture(name, 5, 2);
    ASSERT_GT(wide(path).size(), 260u);
    drop_files(window, {path});
    EXPECT_EQ(main_window_model().accepted_path, path);
    EXPECT_TRUE(IsWindowEnabled(go));
    press_go();
    wait_for_run();
    EXPECT_TRUE(exists(stem(path) + "_lanczos3.bmp"));
}

TEST_F(Win32Window, RefusedDropKeepsGoOnTheAcceptedPicture) {
    const std::string cat = picture("refused\\cat.bmp", 5, 3);
    const std::string eight = root_ + "\\refused\\eight.bmp";
    std::vector<unsigned char> bytes = make_bmp(4, 4);
    put_le16(bytes, 28, 8);
    ASSERT_TRUE(write_file(eight, bytes));
    drop_files(window, {cat});
    SetWindowTextW(width_box, L"8");
    drop_files(window, {eight});
    EXPECT_EQ(text_of(width_box), L"5");
    EXPECT_EQ(text_of(height_box), L"3");
    EXPECT_TRUE(IsWindowEnabled(go));
    repaint();
    EXPECT_EQ(rgb_of(pixel(4, 48)), 0xC0C0C0u);
    press_go();
    wait_for_run();
    EXPECT_TRUE(exists(stem(cat) + "_lanczos3.bmp"));
    EXPECT_FALSE(exists(stem(eight) + "_lanczos3.bmp"));
}

TEST_F(Win32Window, UnopenableDropKeepsThePicture) {
    const std::string cat = picture("unopenable\\cat.bmp", 5, 3);
    drop_files(window, {cat});
    SetWindowTextW(height_box, L"77");
    drop_files(window, {root_ + "\\unopenable\\missing.bmp"});
    drop_files(window, {root_ + "\\unopenable"});  // a folder cannot be opened as a file
    EXPECT_EQ(text_of(height_box), L"3");
    EXPECT_TRUE(IsWindowEnabled(go));
    repaint();
    EXPECT_EQ(rgb_of(pixel(4, 48)), test_pixel_rgb(0, 0));
}

TEST_F(Win32Window, FailedRunShowsItsMessageAndTheWindowStaysUsable) {
    const std::string path = picture("failed\\cat.bmp", 5, 3);
    drop_files(window, {path});
    std::vector<unsigned char> bytes = read_file(path);
    bytes.pop_back();
    ASSERT_TRUE(write_file(path, bytes));
    {
        MessageBoxAnswerer answer;
        press_go();
        wait_for_run();
        EXPECT_EQ(answer.text(), L"InputFileSizeError!!!");
    }
    EXPECT_EQ(main_window_model().progress_text, "失敗");
    EXPECT_FALSE(exists(stem(path) + "_lanczos3.bmp"));
    EXPECT_TRUE(IsWindow(window));

    const std::string good = picture("failed\\dog.bmp", 3, 3);
    drop_files(window, {good});
    EXPECT_TRUE(IsWindowEnabled(go));
    SetWindowTextW(width_box, L"99999999999999999999");
    {
        MessageBoxAnswerer answer;
        press_go();
        wait_for_run();
        EXPECT_NE(answer.text().find(L"2147483647"), std::wstring::npos);
    }
    EXPECT_FALSE(exists(stem(good) + "_lanczos3.bmp"));
}

TEST_F(Win32Window, CloseReleasesThePictureAndQuitsWithZero) {
    drop_files(window, {picture("close\\cat.bmp", 2, 2)});
    ASSERT_TRUE(main_window_model().picture_held);
    SendMessageW(window, WM_CLOSE, 0, 0);
    int code = -1;
    EXPECT_TRUE(pump(&code));
    EXPECT_EQ(code, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(main_window_model().picture_held);
}

TEST_F(Win32Window, RunShowsProgressWhileTheWindowKeepsHandlingMessages) {
    const std::string path = picture("progress\\cat.bmp", 40, 30);
    set_main_window_run_function(slowed_run(12));
    drop_files(window, {path});
    set_sizes(L"200", L"150");
    HWND bar = GetDlgItem(window, kProgressBarId), stop = GetDlgItem(window, kStopButtonId);
    ASSERT_NE(bar, nullptr);
    ASSERT_NE(stop, nullptr);
    EXPECT_FALSE(IsWindowVisible(bar));
    EXPECT_FALSE(IsWindowVisible(stop));
    EXPECT_EQ(_wcsicmp(class_of(bar).c_str(), L"msctls_progress32"), 0);
    EXPECT_EQ(text_of(stop), wide(kStopButton.text));
    press_go();
    EXPECT_TRUE(IsWindowVisible(bar));
    EXPECT_TRUE(IsWindowVisible(stop));
    EXPECT_FALSE(IsWindowEnabled(go));
    // The control row: nothing of the original is covered.
    for (HWND added : {bar, stop}) {
        const RECT r = client_rect_of(added, window);
        EXPECT_GT(r.left, kHeightBox.x + kHeightBox.width);
        EXPECT_LE(r.bottom, kPreviewY);
    }
    std::vector<int> values;
    const auto start = std::chrono::steady_clock::now();
    while (main_window_model().running &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(60)) {
        pump();
        values.push_back(static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0)));
        Sleep(10);
    }
    wait_for_run();
    int distinct = 0;
    for (std::size_t i = 1; i < values.size(); ++i) {
        EXPECT_GE(values[i], values[i - 1]) << i;
        distinct += values[i] > values[i - 1];
    }
    EXPECT_GE(distinct, 20);
    EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), kProgressSteps);
    EXPECT_EQ(main_window_model().progress_text, "完了");
    EXPECT_FALSE(IsWindowVisible(stop));
    EXPECT_FALSE(IsWindowEnabled(go));
    // The text is drawn under the bar.
    repaint();
    int ink = 0;
    for (int y = kProgressText.y; y < kProgressText.y + kProgressText.height; ++y)
        for (int x = kProgressText.x; x < kProgressText.x + 40; ++x)
            ink += rgb_of(pixel(x, y)) != 0xC0C0C0u;
    EXPECT_GT(ink, 10);
}

class Win32Stop : public Win32Window, public ::testing::WithParamInterface<int> {};

TEST_P(Win32Stop, DuringEachMethodLeavesNoFileOfIt) {
    const int method = GetParam();
    const std::string folder = root_ + "\\stop" + std::to_string(method);
    const std::string path = picture("stop" + std::to_string(method) + "\\cat.bmp", 40, 30);
    const std::string reference =
        picture("stop" + std::to_string(method) + "-reference\\cat.bmp", 40, 30);
    ASSERT_TRUE(resize_run(reference, 200, 150).ok());
    set_main_window_run_function(run_held_in(method));
    drop_files(window, {path});
    set_sizes(L"200", L"150");
    press_go();
    ASSERT_TRUE(pump_until([method] {
        return starts_with(main_window_model().progress_text, kMethodTitles[method]);
    }));
    if (method == 1) {
        SendMessageW(GetDlgItem(window, kStopButtonId), BM_CLICK, 0, 0);
    } else {
        // Esc reaches the window from a focused box, and twice is no worse than once.
        SetFocus(width_box);
        PostMessageW(width_box, WM_KEYDOWN, VK_ESCAPE, 0);
        PostMessageW(width_box, WM_KEYDOWN, VK_ESCAPE, 0);
    }
    wait_for_run();
    EXPECT_EQ(main_window_model().progress_text, "中止");
    EXPECT_TRUE(IsWindowEnabled(go));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(window, kStopButtonId)));
    std::vector<std::string> expected = {"cat.bmp"};
    for (int m = 0; m < method; ++m) {
        expected.push_back(std::string("cat") + kSuffixes[m]);
        EXPECT_EQ(read_file(stem(path) + kSuffixes[m]), read_file(stem(reference) + kSuffixes[m]));
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names_in(folder), expected);
    if (method == 0) {
        EXPECT_EQ(compare_window(), nullptr);
    } else {
        ASSERT_NE(compare_window(), nullptr);
        EXPECT_EQ(compare_window_view().contents.panes.size(),
                  static_cast<std::size_t>(method + 1));
    }
    // GO again runs the same picture to its end, and the results are the run's.
    set_main_window_run_function(run_request);
    press_go();
    wait_for_run();
    EXPECT_EQ(main_window_model().progress_text, "完了");
    for (const char* suffix : kSuffixes)
        EXPECT_EQ(read_file(stem(path) + suffix), read_file(stem(reference) + suffix)) << suffix;
    ASSERT_NE(compare_window(), nullptr);
    EXPECT_EQ(compare_window_view().contents.panes.size(), 4u);
}

INSTANTIATE_TEST_SUITE_P(EachMethod, Win32Stop, ::testing::Values(0, 1, 2),
                         [](const ::testing::TestParamInfo<int>& i) {
                             return std::string(method_name(i.param));
                         });

TEST_F(Win32Window, EscapeWithoutARunAndGoTwiceStartNothingExtra) {
    auto runs = std::make_shared<int>(0);
    set_main_window_run_function([runs](const RunRequest& r, RunProgress* p) {
        ++*runs;
        return run_request(r, p);
    });
    SendMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0);
    drop_files(window, {picture("twice\\cat.bmp", 6, 5)});
    SendMessageW(height_box, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_FALSE(main_window_model().running);
    EXPECT_TRUE(IsWindowEnabled(go));
    press_go();
    press_go();
    wait_for_run();
    EXPECT_EQ(*runs, 1);
    EXPECT_EQ(main_window_model().progress_text, "完了");
}

TEST_F(Win32Window, DropDuringARunIsRefused) {
    const std::string path = picture("busy\\cat.bmp", 40, 30);
    const std::string other = picture("busy\\dog.bmp", 9, 7);
    set_main_window_run_function(run_held_in(0));
    drop_files(window, {path});
    set_sizes(L"200", L"150");
    press_go();
    ASSERT_TRUE(
        pump_until([] { return starts_with(main_window_model().progress_text, "Lanczos3"); }));
    drop_files(window, {other});
    EXPECT_EQ(main_window_model().accepted_path, path);
    EXPECT_EQ(text_of(width_box), L"200");
    EXPECT_TRUE(main_window_model().running);
    SendMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0);
    wait_for_run();
    EXPECT_EQ(main_window_model().accepted_path, path);
}

TEST_F(Win32Window, ClosingDuringARunStopsItWithinASecond) {
    const std::string path = picture("close-run\\cat.bmp", 40, 30);
    set_main_window_run_function(run_held_in(2));
    drop_files(window, {path});
    set_sizes(L"200", L"150");
    press_go();
    ASSERT_TRUE(pump_until([] { return starts_with(main_window_model().progress_text, "DCT"); }));
    const auto start = std::chrono::steady_clock::now();
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    int code = -1;
    EXPECT_TRUE(pump(&code));
    EXPECT_EQ(code, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(compare_window(), nullptr);
    EXPECT_EQ(names_in(root_ + "\\close-run"),
              (std::vector<std::string>{"cat.bmp", "cat_hybrid.bmp", "cat_lanczos3.bmp"}));
}

TEST_F(Win32Window, AVanishedPictureAndAnUnwritableFolderSayWhy) {
    const std::string gone = picture("vanished\\cat.bmp", 5, 4);
    drop_files(window, {gone});
    remove_file(gone);
    {
        MessageBoxAnswerer answer;
        press_go();
        wait_for_run();
        EXPECT_NE(answer.text().find(L"cat.bmp"), std::wstring::npos);
    }
    EXPECT_EQ(main_window_model().progress_text, "失敗");
    EXPECT_EQ(compare_window(), nullptr);

    // Every result name taken by a folder: nothing can be written there.
    const std::string path = picture("unwritable\\cat.bmp", 5, 4);
    for (const char* suffix : kSuffixes) make_dirs(stem(path) + suffix);
    drop_files(window, {path});
    std::wstring shown;
    {
        MessageBoxAnswerer answer;
        press_go();
        wait_for_run();
        shown = answer.text();
    }
    int lines = 0;
    for (std::size_t at = shown.find(L"cannot write"); at != std::wstring::npos;
         at = shown.find(L"cannot write", at + 1))
        ++lines;
    EXPECT_EQ(lines, 3) << wide_to_utf8(shown);
    EXPECT_EQ(main_window_model().progress_text, "失敗");
    EXPECT_EQ(compare_window(), nullptr);
    EXPECT_EQ(
        names_in(root_ + "\\unwritable"),
        (std::vector<std::string>{"cat.bmp", "cat_dct.bmp", "cat_hybrid.bmp", "cat_lanczos3.bmp"}));
}

TEST_F(Win32Window, AOnePixelPictureRunsAndCompares) {
    drop_files(window, {picture("one\\dot.bmp", 1, 1)});
    set_sizes(L"3", L"3");
    press_go();
    wait_for_run();
    EXPECT_EQ(main_window_model().progress_text, "完了");
    ASSERT_NE(compare_window(), nullptr);
    EXPECT_EQ(compare_window_view().contents.panes.size(), 4u);
    EXPECT_EQ(compare_draws(compare_window_view()).size(), 4u);
}

// Every pane shows, at the middle of its picture area, the pixel of its own picture that the
// view puts there; the results all show the same pixel.
void expect_panes_in_step(const std::vector<TestPicture>& pictures, std::size_t panes) {
    HWND c = compare_window();
    ASSERT_NE(c, nullptr);
    InvalidateRect(c, nullptr, FALSE);
    UpdateWindow(c);
    const std::vector<PaneDraw> draws = compare_draws(compare_window_view());
    ASSERT_EQ(draws.size(), panes);
    HDC dc = GetDC(c);
    int result_x = -1, result_y = -1;
    for (const PaneDraw& d : draws) {
        const TestPicture& pic = pictures[static_cast<std::size_t>(d.pane)];
        const double mx = d.clip.x + d.clip.width / 2.0, my = d.clip.y + d.clip.height / 2.0;
        const int ix = d.src.x + static_cast<int>((mx - d.dst.x) * d.src.width / d.dst.width);
        const int iy = d.src.y + static_cast<int>((my - d.dst.y) * d.src.height / d.dst.height);
        ASSERT_TRUE(ix >= 0 && ix < pic.width && iy >= 0 && iy < pic.height);
        const int sx = static_cast<int>(d.dst.x + (ix - d.src.x + 0.5) * d.dst.width / d.src.width);
        const int sy =
            static_cast<int>(d.dst.y + (iy - d.src.y + 0.5) * d.dst.height / d.src.height);
        const Rgb want = pic.at(ix, iy);
        EXPECT_EQ(rgb_of(GetPixel(dc, sx, sy)),
                  static_cast<std::uint32_t>(want.r) << 16 | want.g << 8 | want.b)
            << "pane " << d.pane << " at " << sx << "," << sy;
        if (d.pane == 0) continue;
        if (result_x < 0) {
            result_x = ix;
            result_y = iy;
        }
        EXPECT_EQ(ix, result_x);
        EXPECT_EQ(iy, result_y);
    }
    ReleaseDC(c, dc);
}

TEST_F(Win32Window, CompareWindowShowsEveryResultInStep) {
    const std::string path = picture("compare\\cat.bmp", 40, 30);
    drop_files(window, {path});
    set_sizes(L"160", L"120");
    press_go();
    wait_for_run();
    HWND c = compare_window();
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(class_of(c), kCompareClassName);
    EXPECT_EQ(text_of(c), L"比較 - cat.bmp");
    // On top and all on screen, so that its pixels can be read back.
    SetWindowPos(c, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE);
    pump();
    const CompareView& v = compare_window_view();
    ASSERT_EQ(v.contents.panes.size(), 4u);
    EXPECT_EQ(v.contents.panes[0].label, "元画像 - cat.bmp");
    for (int m = 0; m < kMethodCount; ++m)
        EXPECT_EQ(v.contents.panes[static_cast<std::size_t>(m + 1)].label,
                  std::string(kMethodTitles[m]) + " - cat" + kSuffixes[m]);
    std::vector<TestPicture> pictures = {pattern_picture(40, 30)};
    for (const char* suffix : kSuffixes)
        pictures.push_back(decode_result_bmp(read_file(stem(path) + suffix)));
    expect_panes_in_step(pictures, 4);

    // Zoom with the keys and the wheel, move with a drag and the arrows: all in step.
    SendMessageW(c, WM_KEYDOWN, VK_ADD, 0);
    SendMessageW(c, WM_KEYDOWN, VK_OEM_PLUS, 0);
    const double scale = compare_scale(v);
    EXPECT_GT(scale, 2.5);
    const PaneLayout second = compare_layout(v)[1];
    POINT at = {second.picture.x + 40, second.picture.y + 30};
    POINT screen = at;
    ClientToScreen(c, &screen);
    SendMessageW(c, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(screen.x, screen.y));
    EXPECT_GT(compare_scale(v), scale);
    const double before_x = v.center_x;
    SendMessageW(c, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    SendMessageW(c, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(at.x - 30, at.y - 20));
    SendMessageW(c, WM_LBUTTONUP, 0, MAKELPARAM(at.x - 30, at.y - 20));
    EXPECT_GT(v.center_x, before_x);
    SendMessageW(c, WM_KEYDOWN, VK_RIGHT, 0);
    expect_panes_in_step(pictures, 4);

    // Key 3 shows the Hybrid alone over the whole window; 0 all four again.
    SendMessageW(c, WM_KEYDOWN, '3', 0);
    ASSERT_EQ(compare_layout(v).size(), 1u);
    EXPECT_EQ(compare_layout(v)[0].pane, 2);
    expect_panes_in_step(pictures, 1);
    SendMessageW(c, WM_KEYDOWN, '0', 0);
    EXPECT_EQ(compare_layout(v).size(), 4u);

    // A double-click on a pane, or its open button, opens that file in the viewer.
    const PaneLayout hybrid = compare_layout(v)[2];
    SendMessageW(c, WM_LBUTTONDBLCLK, MK_LBUTTON,
                 MAKELPARAM(hybrid.picture.x + 5, hybrid.picture.y + 5));
    const PaneLayout first = compare_layout(v)[1];
    SendMessageW(c, WM_LBUTTONDOWN, MK_LBUTTON,
                 MAKELPARAM(first.open_button.x + 3, first.open_button.y + 3));
    SendMessageW(c, WM_LBUTTONUP, 0, MAKELPARAM(first.open_button.x + 3, first.open_button.y + 3));
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0], stem(path) + "_hybrid.bmp");
    EXPECT_EQ(opened[1], stem(path) + "_lanczos3.bmp");

    // The window can be resized and closed at any time; the main window lives on.
    SetWindowPos(c, nullptr, 0, 0, 500, 300, SWP_NOMOVE | SWP_NOZORDER);
    RECT client;
    GetClientRect(c, &client);
    EXPECT_EQ(v.client_width, client.right);
    SendMessageW(c, WM_CLOSE, 0, 0);
    pump();
    EXPECT_EQ(compare_window(), nullptr);
    EXPECT_TRUE(IsWindow(window));
}

// The whole window, frame and title included, as a BMP file, read back from the screen.
bool save_window_shot(HWND w, const std::string& path) {
    RECT r;
    GetWindowRect(w, &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(mem, bitmap);
    BitBlt(mem, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    SelectObject(mem, previous);
    std::vector<unsigned char> file = make_bmp(width, height);
    BITMAPINFO info;
    std::memset(&info, 0, sizeof info);
    std::memcpy(&info.bmiHeader, file.data() + 14, sizeof(BITMAPINFOHEADER));
    GetDIBits(mem, bitmap, 0, static_cast<UINT>(height), file.data() + 54, &info, DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return write_file(path, file);
}

// Saves the window at rest, the window during a run and the compare window as BMPs when
// ENLARGE3_SCREENSHOT_DIR names a folder; for the documentation, not a check.
TEST_F(Win32Window, Screenshot) {
    const char* dir = std::getenv("ENLARGE3_SCREENSHOT_DIR");
    if (dir == nullptr || *dir == '\0') GTEST_SKIP() << "ENLARGE3_SCREENSHOT_DIR not set";
    std::string folder = dir;
    if (folder[0] == '/') folder = "Z:" + folder;  // a Unix path as Wine's drive Z: sees it
    const std::string photo = root_ + "\\shot\\photo.bmp";
    make_dirs(root_ + "\\shot");
    ASSERT_TRUE(write_file(photo, encode_bmp(demo_picture(320, 200))));
    SetWindowPos(window, HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE);
    drop_files(window, {photo});
    pump();
    EXPECT_TRUE(save_window_shot(window, folder + "/window-win32.bmp"));

    auto release = std::make_shared<std::atomic<bool>>(false);
    set_main_window_run_function(run_held_in(2, release));
    set_sizes(L"960", L"600");
    press_go();
    ASSERT_TRUE(pump_until([] {
        return starts_with(main_window_model().progress_text, "DCT") &&
               main_window_model().progress_steps > 400;
    }));
    for (int i = 0; i < 10; ++i) {
        pump();
        Sleep(10);
    }
    EXPECT_TRUE(save_window_shot(window, folder + "/window-win32-run.bmp"));
    *release = true;
    wait_for_run();
    HWND c = compare_window();
    ASSERT_NE(c, nullptr);
    SetWindowPos(c, HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE);
    // Near the hills' edge against the sky, two steps in: where the methods differ.
    const CompareView& v = compare_window_view();
    const PaneLayout p = compare_layout(v)[1];
    const double s = compare_scale(v);
    POINT at = {static_cast<LONG>(p.picture.x + p.picture.width / 2.0 + (300 - v.center_x) * s),
                static_cast<LONG>(p.picture.y + p.picture.height / 2.0 + (330 - v.center_y) * s)};
    ClientToScreen(c, &at);
    SendMessageW(c, WM_MOUSEWHEEL, MAKEWPARAM(0, 2 * WHEEL_DELTA), MAKELPARAM(at.x, at.y));
    UpdateWindow(c);
    for (int i = 0; i < 10; ++i) {
        pump();
        Sleep(10);
    }
    EXPECT_TRUE(save_window_shot(c, folder + "/compare-win32.bmp"));
}

}  // namespace
