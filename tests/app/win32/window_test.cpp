// The Win32 window under the shared scenarios, driven as the shell and the user drive it:
// drops as DROPFILES blocks, GO as WM_COMMAND, keys and the mouse's clicks as input from the
// devices (SendInput), and what the window shows read back from its DC; names as assistive
// technology reads them (Active Accessibility). Beside them, what only the Win32 window has.
// The program declares itself per-monitor DPI aware as its manifest does.

// windows.h first: the other Windows headers build on it.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <oleacc.h>
#include <shellapi.h>
#include <shlobj.h>
// clang-format on

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <tuple>
#include <utility>

#include "app/win32/compare_window.h"
#include "app/win32/main_window.h"
#include "base/file_io.h"
#include "tests/app/window_driver.h"
#include "tests/app/window_languages.h"

namespace {

std::wstring wide(const std::string& s) {
    return utf8_to_wide(s);
}

std::string text_of(HWND w) {
    wchar_t buf[512] = {};
    GetWindowTextW(w, buf, 512);
    return wide_to_utf8(buf);
}

std::wstring class_of(HWND w) {
    wchar_t buf[64] = {};
    GetClassNameW(w, buf, 64);
    return buf;
}

Rect client_place(HWND child, HWND parent) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

// The pixels of rectangle r of dc, read into a top-down 32-bit DIB.
Shot pixels_of(HDC dc, int x, int y, int width, int height) {
    Shot shot;
    if (width <= 0 || height <= 0) return shot;
    BITMAPINFO info;
    std::memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap == nullptr) return shot;
    HDC mem = CreateCompatibleDC(dc);
    HGDIOBJ previous = SelectObject(mem, bitmap);
    BitBlt(mem, 0, 0, width, height, dc, x, y, SRCCOPY);
    GdiFlush();
    shot.width = width;
    shot.height = height;
    const auto* p = static_cast<const std::uint32_t*>(bits);
    shot.rgb.assign(p, p + static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (std::uint32_t& c : shot.rgb) c &= 0xFFFFFFu;
    SelectObject(mem, previous);
    DeleteDC(mem);
    DeleteObject(bitmap);
    return shot;
}

Shot client_shot(HWND w) {
    RECT client;
    GetClientRect(w, &client);
    HDC dc = GetDC(w);
    Shot shot = pixels_of(dc, 0, 0, client.right, client.bottom);
    ReleaseDC(w, dc);
    return shot;
}

// The whole window, frame and title included, as a BMP file, read back from the screen.
bool save_window_shot(HWND w, const std::string& path) {
    RECT r;
    GetWindowRect(w, &r);
    HDC screen = GetDC(nullptr);
    const Shot shot = pixels_of(screen, r.left, r.top, r.right - r.left, r.bottom - r.top);
    ReleaseDC(nullptr, screen);
    TestPicture pic;
    pic.width = shot.width;
    pic.height = shot.height;
    for (std::uint32_t c : shot.rgb)
        pic.pixels.push_back({static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 8),
                              static_cast<std::uint8_t>(c)});
    return write_file(path, encode_bmp(pic));
}

// The virtual keys of Key, in its order.
constexpr WPARAM kVirtualKeys[] = {VK_ESCAPE, VK_OEM_PLUS, VK_ADD,    VK_RIGHT, '0',
                                   '3',       VK_TAB,      VK_RETURN, VK_SPACE};

WPARAM virtual_key(Key key) {
    return kVirtualKeys[static_cast<int>(key)];
}

// As the manifest of the programs declares it, before any window exists.
const bool kPerMonitorAware = [] {
    using SetContextFn = BOOL(WINAPI*)(HANDLE);
    const FARPROC f =
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext");
    const auto set = reinterpret_cast<SetContextFn>(reinterpret_cast<void (*)()>(f));
    // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
    return set != nullptr && set(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4)));
}();

void send_input(std::vector<INPUT> inputs) {
    const UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    EXPECT_EQ(sent, inputs.size()) << "error " << GetLastError();
}

// A key pressed and released.
void send_key(WORD vk) {
    INPUT down = {};
    down.type = INPUT_KEYBOARD;
    down.ki.wVk = vk;
    down.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    INPUT up = down;
    up.ki.dwFlags = KEYEVENTF_KEYUP;
    send_input({down, up});
}

// The left button clicked at x, y of the screen.
void send_click(int x, int y) {
    INPUT move = {};
    move.type = INPUT_MOUSE;
    move.mi.dx = MulDiv(x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    move.mi.dy = MulDiv(y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    INPUT down = move, up = move;
    down.mi.dwFlags |= MOUSEEVENTF_LEFTDOWN;
    up.mi.dwFlags |= MOUSEEVENTF_LEFTUP;
    send_input({move, down, up});
}

// The name Active Accessibility gives a window, as a screen reader reads it.
std::string accessibility_name(HWND w) {
    static const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    EXPECT_TRUE(SUCCEEDED(com));
    IAccessible* a = nullptr;
    const HRESULT made = AccessibleObjectFromWindow(
        w, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible), reinterpret_cast<void**>(&a));
    if (FAILED(made) || a == nullptr)
        return "(no accessible object: " + std::to_string(static_cast<unsigned long>(made)) + ")";
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    const HRESULT got = a->get_accName(self, &name);
    std::string out = got == S_OK && name != nullptr ? wide_to_utf8(name) : std::string();
    SysFreeString(name);
    a->Release();
    return out;
}

// Closes the window's next message box from another thread (the box runs its own modal loop
// on this one) and keeps its text.
class MessageBoxAnswerer {
   public:
    MessageBoxAnswerer() : thread_([this] { run(); }) {}
    ~MessageBoxAnswerer() {
        stop_ = true;
        thread_.join();
    }
    bool answered() const { return answered_; }
    std::string text() const { return answered_ ? text_ : std::string(); }

   private:
    void run() {
        const std::wstring title = wide(window_title(main_window_model().texts));
        for (int i = 0; i < 3000 && !stop_; ++i) {
            HWND box = FindWindowW(L"#32770", title.c_str());
            if (box != nullptr) {
                wchar_t buf[1024] = {};
                GetDlgItemTextW(box, 0xFFFF, buf, 1024);  // the message's static control
                text_ = wide_to_utf8(buf);
                answered_ = true;
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                return;
            }
            Sleep(10);
        }
    }
    std::atomic<bool> stop_{false};
    std::atomic<bool> answered_{false};
    std::string text_;
    std::thread thread_;
};

class Win32Driver : public WindowDriver {
   public:
    Win32Driver() {
        (void)kPerMonitorAware;  // made before the first window
        const HINSTANCE instance = GetModuleHandleW(nullptr);
        // Once per process: a class stays registered until the process ends.
        static const bool registered = register_main_window_class(instance) != 0;
        EXPECT_TRUE(registered);
        set_main_window_run_function(run_request);
        set_compare_opener([this](const std::string& path) { opened.push_back(path); });
        window_ = create_main_window(instance);
        EXPECT_NE(window_, nullptr) << "error " << GetLastError();
        ShowWindow(window_, SW_SHOWNORMAL);
        UpdateWindow(window_);
        SetForegroundWindow(window_);
        pump();
    }

    ~Win32Driver() override {
        if (IsWindow(window_)) SendMessageW(window_, WM_CLOSE, 0, 0);
        pump();
        set_compare_opener([](const std::string&) {});
    }

    HWND window() const { return window_; }
    HWND control(Control c) const {
        // The ids of Control, in its order; a label is the static control before what it
        // names, which is how assistive technology finds it.
        static constexpr int kIds[] = {-1,           kGoButtonId,  kWidthBoxId,   kHeightBoxId,
                                       kBmpFormatId, kPngFormatId, kStopButtonId, kProgressBarId};
        switch (c) {
            case Control::window:
                return window_;
            case Control::none:
                return nullptr;
            case Control::width_label:
                return GetWindow(control(Control::width_box), GW_HWNDPREV);
            case Control::height_label:
                return GetWindow(control(Control::height_box), GW_HWNDPREV);
            case Control::format_label:
                return GetWindow(control(Control::bmp_format), GW_HWNDPREV);
            default:
                return GetDlgItem(window_, kIds[static_cast<int>(c)]);
        }
    }
    // Whether WM_QUIT came, and its exit code.
    bool quit = false;
    int quit_code = -1;

    // As the shell hands over a drop: a DROPFILES block in movable global memory, the wide
    // paths one after another, ended by an empty one. The window frees it with DragFinish.
    void drop(const std::vector<std::string>& paths) override {
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
        SendMessageW(window_, WM_DROPFILES, reinterpret_cast<WPARAM>(block), 0);
    }

    // Through the command line Windows hands the program, quoted, and split again.
    void open_command_line(const std::vector<std::string>& arguments) override {
        std::wstring line;
        for (const std::string& a : arguments) line += L"\"" + wide(a) + L"\" ";
        const std::vector<std::string> split = command_line_arguments(line.c_str());
        EXPECT_EQ(split, arguments);
        ::open_command_line(split);
    }

    void set_text(Control box, const std::string& text) override {
        SetWindowTextW(control(box), wide(text).c_str());
    }

    void type(Control box, const std::string& keys) override {
        for (wchar_t c : wide(keys)) SendMessageW(control(box), WM_CHAR, c, 0);
    }

    // GO as its click reaches the window, even while disabled; the other buttons clicked.
    void click(Control c) override {
        if (c == Control::go)
            SendMessageW(window_, WM_COMMAND, MAKEWPARAM(kGoButtonId, BN_CLICKED),
                         reinterpret_cast<LPARAM>(control(c)));
        else
            SendMessageW(control(c), BM_CLICK, 0, 0);
        pump();
    }

    void click_at(int x, int y) override {
        POINT at = {x, y};
        ClientToScreen(window_, &at);
        send_click(at.x, at.y);
        settle();
    }

    void focus_on(Control c) override {
        SetForegroundWindow(window_);
        SetFocus(c == Control::none ? nullptr : control(c));
        pump();
    }

    void press(Key key) override {
        send_key(static_cast<WORD>(virtual_key(key)));
        settle();
    }

    void resize(int width, int height) override {
        SetWindowPos(window_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
        pump();
    }

    void maximize() override {
        ShowWindow(window_, SW_MAXIMIZE);
        pump();
    }

    std::string accessible_name(Control c) override { return accessibility_name(control(c)); }

    Control focused() override {
        const HWND f = GetFocus();
        if (f == nullptr) return Control::none;
        for (int c = 0; c < static_cast<int>(Control::none); ++c)
            if (control(static_cast<Control>(c)) == f) return static_cast<Control>(c);
        return Control::none;
    }

    void close() override {
        SendMessageW(window_, WM_CLOSE, 0, 0);
        pump();
        EXPECT_TRUE(quit);
        EXPECT_EQ(quit_code, 0);
    }

    // As the program's loop hands messages on.
    void pump() override {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quit = true;
                quit_code = static_cast<int>(msg.wParam);
                continue;
            }
            dispatch_message(&msg);
        }
    }

    // Input from the devices reaches the queue through the system: pumped for a while.
    void settle() {
        wait_until([] { return false; }, std::chrono::milliseconds(60));
    }

    std::string title() override { return text_of(window_); }
    std::string text(Control c) override { return text_of(control(c)); }
    Rect place(Control c) override { return client_place(control(c), window_); }
    bool enabled(Control c) override { return IsWindowEnabled(control(c)) != 0; }
    bool visible(Control c) override { return IsWindowVisible(control(c)) != 0; }

    bool checked(Control c) override {
        return SendMessageW(control(c), BM_GETCHECK, 0, 0) == BST_CHECKED;
    }

    int bar_position() override {
        return static_cast<int>(SendMessageW(control(Control::bar), PBM_GETPOS, 0, 0));
    }

    Shot shot() override { return client_shot(window_); }

    void repaint() override {
        InvalidateRect(window_, nullptr, TRUE);
        UpdateWindow(window_);
    }

    bool is_open() override { return IsWindow(window_) != 0; }
    const WindowModel& model() override { return main_window_model(); }

    void answer_next_message() override { answerer_ = std::make_unique<MessageBoxAnswerer>(); }

    std::string answered_message() override {
        if (!answerer_) return std::string();
        wait_until([this] { return answerer_->answered(); });
        const std::string text = answerer_->text();
        answerer_.reset();
        return text;
    }

    void set_run_function(RunFn run) override { set_main_window_run_function(std::move(run)); }

    bool compare_open() override {
        return compare_window() != nullptr && IsWindowVisible(compare_window());
    }

    const CompareView& compare_view() override { return compare_window_view(); }
    std::string compare_title() override { return text_of(compare_window()); }

    // On top and all on screen, so that its pixels can be read back.
    Shot compare_shot() override {
        HWND c = compare_window();
        SetWindowPos(c, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE);
        pump();
        InvalidateRect(c, nullptr, FALSE);
        UpdateWindow(c);
        return client_shot(c);
    }

    void compare_press(Key key) override {
        SendMessageW(compare_window(), WM_KEYDOWN, virtual_key(key), 0);
    }

    void compare_mouse(Mouse action, int x, int y) override {
        static constexpr struct {
            UINT message;
            WPARAM keys;
        } kMessages[] = {{WM_LBUTTONDOWN, MK_LBUTTON},
                         {WM_MOUSEMOVE, MK_LBUTTON},
                         {WM_LBUTTONUP, 0},
                         {WM_LBUTTONDBLCLK, MK_LBUTTON},
                         {WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA)}};
        POINT at = {x, y};
        if (action == Mouse::wheel) ClientToScreen(compare_window(), &at);  // its point is
        const auto& m = kMessages[static_cast<int>(action)];                // on the screen
        SendMessageW(compare_window(), m.message, m.keys, MAKELPARAM(at.x, at.y));
    }

    int compare_resize(int width, int height) override {
        SetWindowPos(compare_window(), nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
        RECT client;
        GetClientRect(compare_window(), &client);
        return client.right;
    }

    void compare_close() override {
        SendMessageW(compare_window(), WM_CLOSE, 0, 0);
        pump();
    }

    // Read from the screen, frame and all: each window put on top, apart from the other.
    bool save_shot(bool compare, const std::string& folder, const std::string& suffix) override {
        HWND shown = compare ? compare_window() : window_;
        SetWindowPos(shown, HWND_TOP, compare ? 40 : 20, compare ? 40 : 20, 0, 0, SWP_NOSIZE);
        UpdateWindow(shown);
        wait_until([] { return false; }, std::chrono::milliseconds(100));
        return save_window_shot(
            shown, folder + (compare ? "/compare-win32" : "/window-win32") + suffix + ".bmp");
    }

   private:
    HWND window_ = nullptr;
    std::unique_ptr<MessageBoxAnswerer> answerer_;
};

using Win32Window = WindowScenario;

Win32Driver& driver(WindowDriver* w) {
    return *static_cast<Win32Driver*>(w);
}

TEST_F(Win32Window, ClassStylesAndControlClasses) {
    Win32Driver& d = driver(w.get());
    const HWND window = d.window();
    EXPECT_EQ(class_of(window), wide(kWindowClassName));
    EXPECT_EQ(GetWindowLongW(window, GWL_STYLE) & WS_OVERLAPPEDWINDOW, WS_OVERLAPPEDWINDOW);
    EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    RECT outer;
    GetWindowRect(window, &outer);
    EXPECT_EQ(outer.right - outer.left, kWindowWidth);
    EXPECT_EQ(outer.bottom - outer.top, kWindowHeight);
    EXPECT_EQ(GetClassLongPtrW(window, GCL_STYLE), CS_HREDRAW | CS_VREDRAW);
    EXPECT_EQ(reinterpret_cast<HGDIOBJ>(GetClassLongPtrW(window, GCLP_HBRBACKGROUND)),
              GetStockObject(LTGRAY_BRUSH));

    const struct {
        Control control;
        const wchar_t* class_name;
        LONG mask, style;
    } controls[] = {{Control::go, L"button", BS_TYPEMASK, BS_PUSHBUTTON},
                    {Control::bmp_format, L"button", BS_TYPEMASK, BS_AUTORADIOBUTTON},
                    {Control::png_format, L"button", BS_TYPEMASK, BS_AUTORADIOBUTTON},
                    {Control::stop, L"button", BS_TYPEMASK, BS_PUSHBUTTON},
                    {Control::width_box, L"edit", ES_NUMBER | ES_RIGHT, ES_NUMBER | ES_RIGHT},
                    {Control::height_box, L"edit", ES_NUMBER | ES_RIGHT, ES_NUMBER | ES_RIGHT},
                    {Control::bar, L"msctls_progress32", 0, 0}};
    for (const auto& c : controls) {
        const HWND control = d.control(c.control);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(_wcsicmp(class_of(control).c_str(), c.class_name), 0) << class_of(control);
        EXPECT_EQ(GetWindowLongW(control, GWL_STYLE) & c.mask, c.style) << class_of(control);
    }
    // An edit control takes WS_BORDER out of its style and draws the border itself: its edge
    // differs from its inside.
    for (Control box : {Control::width_box, Control::height_box}) {
        HDC dc = GetDC(d.control(box));
        const COLORREF edge = GetPixel(dc, 0, 11), inside = GetPixel(dc, 2, 11);
        ReleaseDC(d.control(box), dc);
        EXPECT_NE(edge, inside);
    }
}

// The title bar and the task bar show the program's icon, not Windows' default one.
TEST_F(Win32Window, ClassHasTheProgramsIcon) {
    const HICON fallback = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    for (int which : {GCLP_HICON, GCLP_HICONSM}) {
        const HICON icon =
            reinterpret_cast<HICON>(GetClassLongPtrW(driver(w.get()).window(), which));
        EXPECT_NE(icon, nullptr) << which;
        EXPECT_NE(icon, fallback) << which;
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
    const HWND window = driver(w.get()).window();
    HDC dc = GetDC(window);
    int families = 0;
    EnumFontFamiliesExW(dc, &lf, count_family, reinterpret_cast<LPARAM>(&families), 0);
    // And one of them really has the labels' glyphs.
    lf.lfHeight = -16;
    HFONT font = CreateFontIndirectW(&lf);
    HGDIOBJ previous = SelectObject(dc, font);
    std::wstring texts;
    for (const std::string& text : expected_texts("ja")) texts += wide(text);
    std::vector<WORD> glyphs(texts.size());
    GetGlyphIndicesW(dc, texts.c_str(), static_cast<int>(texts.size()), glyphs.data(),
                     GGI_MARK_NONEXISTING_GLYPHS);
    SelectObject(dc, previous);
    DeleteObject(font);
    ReleaseDC(window, dc);
    EXPECT_GT(families, 0);
    for (WORD g : glyphs) EXPECT_NE(g, 0xFFFF);
}

// "Open with" and a drop on the program's icon quote the program and the picture as Explorer
// does; the split gives them back whole.
TEST_F(Win32Window, TheCommandLineIsSplitAsExplorerQuotesIt) {
    const std::string path = at("command line/猫 😀.bmp");
    const std::vector<std::string> arguments = command_line_arguments(
        (L"\"C:\\Program Files\\enlarge3\\enlarge3-window.exe\" \"" + wide(path) + L"\" other.bmp")
            .c_str());
    EXPECT_EQ(arguments,
              (std::vector<std::string>{"C:\\Program Files\\enlarge3\\enlarge3-window.exe", path,
                                        "other.bmp"}));
}

TEST_F(Win32Window, CloseReleasesThePictureAndQuitsWithZero) {
    w->drop({picture("close/cat.bmp", 2, 2)});
    ASSERT_TRUE(w->model().picture_held);
    w->close();
    EXPECT_FALSE(w->is_open());
    EXPECT_FALSE(w->model().picture_held);
}

int font_height(HWND control) {
    LOGFONTW lf = {};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof lf, &lf);
    return lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight;
}

// Moved to a monitor of 144 DPI and back, as Windows tells a per-monitor aware window: it takes
// the size Windows suggests, and its controls and fonts scale from the 96-DPI places, and so
// do the compare window's panes.
TEST_F(Win32Window, FollowsTheDpiOfItsMonitor) {
    Win32Driver& d = driver(w.get());
    w->drop({picture("dpi/dot.bmp", 1, 1)});
    set_sizes("3", "3");
    w->click(Control::go);
    w->wait_for_run();
    ASSERT_TRUE(w->compare_open());
    const int font_at_96 = font_height(d.control(Control::go));
    for (int dpi : {144, 96}) {
        for (HWND window : {d.window(), compare_window()}) {
            RECT r;
            GetWindowRect(window, &r);
            const RECT suggested = {r.left, r.top, r.left + scale_to_dpi(800, dpi),
                                    r.top + scale_to_dpi(600, dpi)};
            SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                         reinterpret_cast<LPARAM>(&suggested));
            GetWindowRect(window, &r);
            EXPECT_EQ(r.right - r.left, scale_to_dpi(800, dpi));
            EXPECT_EQ(r.bottom - r.top, scale_to_dpi(600, dpi));
        }
        w->pump();
        const WindowModel& m = w->model();
        EXPECT_EQ(m.dpi, dpi);
        const WindowLayout layout = window_layout(dpi, m.client_width, m.client_height);
        const struct {
            Control control;
            Rect place;
        } places[] = {{Control::go, layout.go},
                      {Control::height_box, layout.height_box},
                      {Control::png_format, layout.png},
                      {Control::format_label, layout.format_label},
                      {Control::stop, layout.stop}};
        for (const auto& p : places) {
            const Rect r = w->place(p.control);
            EXPECT_EQ(std::tie(r.x, r.y, r.width, r.height),
                      std::tie(p.place.x, p.place.y, p.place.width, p.place.height))
                << dpi << " DPI, control " << static_cast<int>(p.control);
        }
        EXPECT_NEAR(font_height(d.control(Control::go)), font_at_96 * dpi / 96, 1) << dpi;
        EXPECT_EQ(w->compare_view().dpi, dpi);
        EXPECT_EQ(compare_layout(w->compare_view())[0].label.height,
                  scale_to_dpi(kPaneLabelHeight, dpi));
    }
}

TEST_F(Win32Window, TheCompareWindowHasAClassOfItsOwn) {
    w->drop({picture("class/dot.bmp", 1, 1)});
    set_sizes("3", "3");
    w->click(Control::go);
    w->wait_for_run();
    ASSERT_TRUE(w->compare_open());
    EXPECT_EQ(class_of(compare_window()), kCompareClassName);
}

}  // namespace

std::unique_ptr<WindowDriver> open_main_window() {
    return std::make_unique<Win32Driver>();
}
