// The Win32 window driven through its messages as the shell and the user drive it: drops as
// DROPFILES blocks, GO as WM_COMMAND, and what the window shows read back from its DC.

// windows.h first: the other Windows headers build on it.
// clang-format off
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
// clang-format on

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

#include "app/resize_run.h"
#include "app/win32/main_window.h"
#include "base/file_io.h"
#include "tests/support/bmp_builder.h"

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

class Win32Window : public ::testing::Test {
   protected:
    static void SetUpTestSuite() {
        instance_ = GetModuleHandleW(nullptr);
        registered_ = register_main_window_class(instance_) != 0;
        folder_ = std::make_unique<TempDir>();
        root_ = folder_->path();
    }

    static void TearDownTestSuite() { folder_.reset(); }

    void SetUp() override {
        ASSERT_TRUE(registered_);
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
                    {height_box, L"edit", kHeightBox}};
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

    for (POINT p : {POINT{300, 300}, POINT{4, 48}, POINT{2, 46}})
        EXPECT_EQ(rgb_of(pixel(p.x, p.y)), 0xC0C0C0u) << p.x << "," << p.y;
    for (int x0 : {kWidthLabel.x, kHeightLabel.x}) {
        int ink = 0;
        for (int y = 10; y < 30; ++y)
            for (int x = x0; x < x0 + 70; ++x) ink += rgb_of(pixel(x, y)) != 0xC0C0C0u;
        EXPECT_GT(ink, 20) << "no label drawn at " << x0;
    }
}

int CALLBACK count_family(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM n) {
    ++*reinterpret_cast<int*>(n);
    return 1;
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
        EXPECT_EQ(answer.text(), L"InputFileSizeError!!!");
    }
    EXPECT_FALSE(exists(stem(path) + "_lanczos3.bmp"));
    EXPECT_TRUE(IsWindow(window));

    const std::string good = picture("failed\\dog.bmp", 3, 3);
    drop_files(window, {good});
    EXPECT_TRUE(IsWindowEnabled(go));
    SetWindowTextW(width_box, L"99999999999999999999");
    {
        MessageBoxAnswerer answer;
        press_go();
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

// Saves the whole window, frame and title included, as a BMP when ENLARGE3_SCREENSHOT_DIR
// names a folder; for the documentation, not a check.
TEST_F(Win32Window, Screenshot) {
    const char* dir = std::getenv("ENLARGE3_SCREENSHOT_DIR");
    if (dir == nullptr || *dir == '\0') GTEST_SKIP() << "ENLARGE3_SCREENSHOT_DIR not set";
    std::string folder = dir;
    if (folder[0] == '/') folder = "Z:" + folder;  // a Unix path as Wine's drive Z: sees it
    const std::string photo = root_ + "\\shot\\photo.bmp";
    make_dirs(root_ + "\\shot");
    ASSERT_TRUE(write_file(photo, encode_bmp(demo_picture(320, 200))));
    drop_files(window, {photo});
    pump();
    RECT r;
    GetWindowRect(window, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ previous = SelectObject(mem, bitmap);
    BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    SelectObject(mem, previous);
    std::vector<unsigned char> file = make_bmp(w, h);
    BITMAPINFO info;
    std::memset(&info, 0, sizeof info);
    std::memcpy(&info.bmiHeader, file.data() + 14, sizeof(BITMAPINFOHEADER));
    GetDIBits(mem, bitmap, 0, static_cast<UINT>(h), file.data() + 54, &info, DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    EXPECT_TRUE(write_file(folder + "/window-win32.bmp", file));
}

}  // namespace
