#include "app/win32/main_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "app/run_controller.h"
#include "app/win32/compare_window.h"
#include "app/win32/dpi.h"
#include "app/win32/texts.h"
#include "base/file_io.h"

namespace {

// Posted by the run's thread when the run has returned; g.run keeps its report.
constexpr UINT kRunEndedMessage = WM_APP + 1;
constexpr UINT_PTR kProgressTimer = 1;
constexpr UINT kProgressInterval = 30;  // ms

struct MainWindow {
    HINSTANCE instance = nullptr;
    HWND window = nullptr;
    HWND go = nullptr;
    HWND width_box = nullptr;
    HWND height_box = nullptr;
    HWND stop = nullptr;
    HWND bar = nullptr;
    HWND bmp = nullptr;
    HWND png = nullptr;
    HWND width_label = nullptr;
    HWND height_label = nullptr;
    HWND format_label = nullptr;
    HFONT font = nullptr;  // the message font at the window's DPI
    // The texts the next window speaks (create_main_window), and the control that had the
    // focus when the window was last deactivated.
    WindowTexts texts;
    HWND last_focus = nullptr;
    WindowModel model;
    RunController run;
};

MainWindow g;

// The dropped file whole, in a zero-initialised global-heap block, read with one share-nothing
// open so a file another program is writing is not read half-done.
bool read_dropped_file(const std::string& path, FileBytes* out) {
    HANDLE f = CreateFileW(windows_file_path(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER length;
    if (!GetFileSizeEx(f, &length)) {
        CloseHandle(f);
        return false;
    }
    // No BMP header can announce more than 2^31 - 1 bytes; the rest is never looked at.
    const std::uint64_t file_length = static_cast<std::uint64_t>(length.QuadPart);
    const std::size_t n =
        static_cast<std::size_t>(file_length < 0x7FFFFFFF ? file_length : 0x7FFFFFFF);
    auto* block = static_cast<unsigned char*>(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, n ? n : 1));
    if (block == nullptr) {
        CloseHandle(f);
        return false;
    }
    std::size_t done = 0;
    while (done < n) {
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(n - done < (1u << 30) ? n - done : (1u << 30));
        if (!ReadFile(f, block + done, want, &got, nullptr) || got == 0) break;
        done += got;
    }
    CloseHandle(f);
    if (done < n) {
        GlobalFree(block);
        return false;
    }
    out->data = std::shared_ptr<unsigned char>(block, [](unsigned char* p) { GlobalFree(p); });
    out->size = n;
    out->file_length = file_length;
    return true;
}

std::wstring window_text(HWND control) {
    const int n = GetWindowTextLengthW(control);
    std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
    const int got = GetWindowTextW(control, &text[0], n + 1);
    text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
    return text;
}

void start_run(const RunRequest& request) {
    const HWND window = g.window;
    g.run.start(request, [window] { PostMessageW(window, kRunEndedMessage, 0, 0); });
    SetTimer(g.window, kProgressTimer, kProgressInterval, nullptr);
}

// Every control at its place for the window's DPI, in the font of that DPI.
void place_controls() {
    const WindowLayout l = window_layout(g.model.dpi, g.model.client_width, g.model.client_height);
    const struct {
        HWND control;
        Rect place;
    } places[] = {{g.go, l.go},
                  {g.width_label, l.width_label},
                  {g.width_box, l.width_box},
                  {g.height_label, l.height_label},
                  {g.height_box, l.height_box},
                  {g.format_label, l.format_label},
                  {g.bmp, l.bmp},
                  {g.png, l.png},
                  {g.stop, l.stop},
                  {g.bar, l.bar}};
    for (const auto& p : places) {
        SetWindowPos(p.control, nullptr, p.place.x, p.place.y, p.place.width, p.place.height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageW(p.control, WM_SETFONT, reinterpret_cast<WPARAM>(g.font), FALSE);
    }
    InvalidateRect(g.window, nullptr, TRUE);
}

// The control of the main window with this id, or nullptr.
HWND control_of(int id) {
    switch (id) {
        case kGoButtonId:
            return g.go;
        case kWidthBoxId:
            return g.width_box;
        case kHeightBoxId:
            return g.height_box;
        case kBmpFormatId:
            return g.bmp;
        case kPngFormatId:
            return g.png;
        case kStopButtonId:
            return g.stop;
        default:
            return nullptr;
    }
}

// Windows takes the focus from a control that is disabled or hidden and gives it to nothing,
// so that no key reaches the window: GO disables itself when pressed. The model says where it
// goes instead. Only while the window is active, or the focus would activate it.
void keep_focus() {
    if (GetActiveWindow() != g.window) return;
    const HWND focus = GetFocus();
    if (focus == g.window) return;  // the window takes its keys itself
    int id = -1;
    if (focus != nullptr && GetParent(focus) == g.window) id = GetDlgCtrlID(focus);
    const HWND next = control_of(focus_after(g.model, control_of(id) == focus ? id : -1));
    if (next != nullptr && next != focus) SetFocus(next);
}

void set_tab_stop(HWND control, bool on) {
    const LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE);
    SetWindowLongPtrW(control, GWL_STYLE, on ? style | WS_TABSTOP : style & ~WS_TABSTOP);
}

void apply(const WindowEffects& e) {
    if (e.relayout) place_controls();
    if (e.set_box_texts) {
        SetWindowTextW(g.width_box, utf8_to_wide(g.model.width_text).c_str());
        SetWindowTextW(g.height_box, utf8_to_wide(g.model.height_text).c_str());
    }
    EnableWindow(g.go, g.model.go_enabled ? TRUE : FALSE);
    const bool png = g.model.result_format == ResultFormat::png;
    SendMessageW(g.bmp, BM_SETCHECK, png ? BST_UNCHECKED : BST_CHECKED, 0);
    SendMessageW(g.png, BM_SETCHECK, png ? BST_CHECKED : BST_UNCHECKED, 0);
    // Tab goes into the format choice at the checked button, as in a dialog.
    set_tab_stop(g.bmp, !png);
    set_tab_stop(g.png, png);
    if (e.update_progress) {
        ShowWindow(g.bar, g.model.progress_shown ? SW_SHOWNA : SW_HIDE);
        SendMessageW(g.bar, PBM_SETPOS, static_cast<WPARAM>(g.model.progress_steps), 0);
        ShowWindow(g.stop, g.model.running ? SW_SHOWNA : SW_HIDE);
        const Rect t =
            window_layout(g.model.dpi, g.model.client_width, g.model.client_height).progress_text;
        const RECT text = {t.x, t.y, t.x + t.width, t.y + t.height};
        InvalidateRect(g.window, &text, FALSE);
    }
    keep_focus();
    if (e.repaint) {
        InvalidateRgn(g.window, nullptr, FALSE);
        UpdateWindow(g.window);
    }
    if (e.stop) g.run.request_stop();
    if (!e.message.empty())
        MessageBoxW(g.window, utf8_to_wide(e.message).c_str(),
                    utf8_to_wide(window_title(g.model.texts)).c_str(), MB_OK | MB_ICONWARNING);
    if (e.run) start_run(e.request);
    if (e.compare) show_compare_window(g.instance, e.compare_contents);
}

void on_run_ended() {
    if (!g.run.going()) return;  // abandoned when the window closed
    KillTimer(g.window, kProgressTimer);
    std::string notice;
    const WindowEffects e = g.run.finish(&g.model, &notice);
    // As a refused drop's line: for whoever redirected the window's standard error.
    if (!notice.empty()) std::fprintf(stderr, "%s\n", notice.c_str());
    apply(e);
}

HWND create_control(HWND parent, const wchar_t* class_name, int id, const std::string& text,
                    DWORD style) {
    return CreateWindowExW(0, class_name, utf8_to_wide(text).c_str(), WS_CHILD | WS_VISIBLE | style,
                           0, 0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           g.instance, nullptr);
}

// A label: a static control just before what it names, which is how assistive technology
// finds a box's name.
HWND create_label(HWND parent, UiText text) {
    return create_control(parent, L"Static", -1, ui_text(g.model.texts, text),
                          SS_LEFT | SS_NOPREFIX);
}

void on_create(HWND window) {
    g.window = window;
    (void)window_create(&g.model, g.texts);
    RECT client;
    GetClientRect(window, &client);
    g.model.dpi = window_dpi(window);
    g.model.client_width = client.right;
    g.model.client_height = client.bottom;
    // The system's message font has (or links to) Japanese glyphs on every display language;
    // the controls' default bitmap font has them only on a Japanese Windows.
    g.font = message_font(g.model.dpi);
    // In the order Tab goes through them: GO, the boxes, the format choice, the stop button.
    g.go = create_control(window, L"Button", kGoButtonId, control_text(g.model, kGoButtonId),
                          WS_TABSTOP);
    g.width_label = create_label(window, UiText::width_label);
    g.width_box = create_control(window, L"edit", kWidthBoxId, control_text(g.model, kWidthBoxId),
                                 WS_TABSTOP | WS_BORDER | ES_NUMBER | ES_RIGHT);
    g.height_label = create_label(window, UiText::height_label);
    g.height_box =
        create_control(window, L"edit", kHeightBoxId, control_text(g.model, kHeightBoxId),
                       WS_TABSTOP | WS_BORDER | ES_NUMBER | ES_RIGHT);
    EnableWindow(g.width_box, TRUE);
    EnableWindow(g.height_box, TRUE);
    // WS_GROUP on the first: the two buttons are one group, and a click checks only its own;
    // the arrows move between them.
    g.format_label = create_label(window, UiText::format_label);
    g.bmp = create_control(window, L"Button", kBmpFormatId, control_text(g.model, kBmpFormatId),
                           BS_AUTORADIOBUTTON | WS_GROUP);
    g.png = create_control(window, L"Button", kPngFormatId, control_text(g.model, kPngFormatId),
                           BS_AUTORADIOBUTTON);
    // Shown once a run starts.
    g.stop = create_control(window, L"Button", kStopButtonId, control_text(g.model, kStopButtonId),
                            WS_TABSTOP | WS_GROUP);
    ShowWindow(g.stop, SW_HIDE);
    g.bar = CreateWindowExW(
        0, PROGRESS_CLASSW, utf8_to_wide(accessible_name(g.model, kProgressBarId)).c_str(),
        WS_CHILD, 0, 0, 0, 0, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kProgressBarId)),
        g.instance, nullptr);
    SendMessageW(g.bar, PBM_SETRANGE32, 0, kProgressSteps);
    place_controls();
    apply(WindowEffects{});
    DragAcceptFiles(window, TRUE);
}

void on_paint(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT client;
    GetClientRect(window, &client);
    for (const PaintOp& op : window_paint(g.model)) {
        switch (op.kind) {
            case PaintKind::fill:
                FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
                SetBkMode(dc, TRANSPARENT);
                break;
            case PaintKind::text: {
                const std::wstring text = utf8_to_wide(op.text);
                HGDIOBJ previous = g.font ? SelectObject(dc, g.font) : nullptr;
                TextOutW(dc, op.x, op.y, text.c_str(), static_cast<int>(text.size()));
                if (previous) SelectObject(dc, previous);
                break;
            }
            case PaintKind::picture: {
                // A plain 40-byte copy of the held header: a larger header's colour profile
                // offset or a colour count would make the display read outside the file.
                BITMAPINFO info;
                std::memset(&info, 0, sizeof info);
                std::memcpy(&info.bmiHeader, op.info_header, sizeof(BITMAPINFOHEADER));
                info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
                info.bmiHeader.biSizeImage = 0;
                info.bmiHeader.biClrUsed = 0;
                info.bmiHeader.biClrImportant = 0;
                StretchDIBits(dc, op.x, op.y, op.width, op.height, 0, 0, op.width, op.height,
                              op.pixels, &info, DIB_RGB_COLORS, SRCCOPY);
                break;
            }
        }
    }
    EndPaint(window, &ps);
}

void take_drop(const std::vector<std::string>& paths) {
    apply(window_drop(&g.model, paths, read_dropped_file));
    if (!g.model.refusal.empty()) std::fprintf(stderr, "%s\n", g.model.refusal.c_str());
}

void on_drop(HDROP drop) {
    // The length first: a path of any length arrives whole.
    const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
    std::wstring path(static_cast<std::size_t>(length) + 1, L'\0');
    const UINT got = length > 0 ? DragQueryFileW(drop, 0, &path[0], length + 1) : 0;
    path.resize(got);
    DragFinish(drop);
    std::vector<std::string> paths;
    if (got > 0) paths.push_back(wide_to_utf8(path));
    take_drop(paths);
}

void on_command(int id, unsigned notification, HWND control) {
    // What the dialog manager makes of Enter in a box and of Esc anywhere.
    if (id == IDOK) {
        const HWND focus = GetFocus();
        if (focus == g.width_box || focus == g.height_box)
            apply(window_command(&g.model, kGoButtonId, 0, std::string()));
        return;
    }
    if (id == IDCANCEL) {
        apply(window_stop(&g.model));
        return;
    }
    std::string text;
    if ((id == kWidthBoxId || id == kHeightBoxId) && control != nullptr)
        text = wide_to_utf8(window_text(control));
    apply(window_command(&g.model, id, notification, text));
}

// Closing during a run stops it and waits for its thread: the working method stops within a
// unit of work, and its file is whole or absent, so the process may end right after.
void on_close() {
    apply(window_close(&g.model));
    g.run.abandon();
    KillTimer(g.window, kProgressTimer);
    close_compare_window();
}

void on_destroy() {
    g.run.abandon();
    KillTimer(g.window, kProgressTimer);
    close_compare_window();
    window_destroy(&g.model);
    DestroyWindow(g.go);
    if (g.font) DeleteObject(g.font);
    g.font = nullptr;
    g.last_focus = nullptr;
    g.window = nullptr;
    PostQuitMessage(0);
}

void on_size(int client_width, int client_height) {
    apply(window_resize(&g.model, client_width, client_height, g.model.dpi));
}

// The window moved to a monitor of another density: its font, then its place and size as
// Windows suggests, and with them the layout.
void on_dpi_changed(int dpi, LPARAM suggested) {
    HFONT font = message_font(dpi);
    HFONT old = nullptr;
    if (font != nullptr) {
        old = g.font;
        g.font = font;
    }
    take_suggested_place(g.window, suggested);
    RECT client;
    GetClientRect(g.window, &client);
    apply(window_resize(&g.model, client.right, client.bottom, dpi));
    // Only now that every control has the new font: until then they still draw with the old.
    if (old != nullptr) DeleteObject(old);
}

// Activated, the window gives the focus back to the control that had it, where the keys it
// takes are; Windows would give it to the window itself.
void on_activate(bool active) {
    if (!active) {
        const HWND focus = GetFocus();
        g.last_focus = focus != nullptr && GetParent(focus) == g.window ? focus : nullptr;
        return;
    }
    if (g.last_focus != nullptr && IsWindowVisible(g.last_focus) && IsWindowEnabled(g.last_focus))
        SetFocus(g.last_focus);
    keep_focus();
}

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_CREATE:
            on_create(window);
            break;
        case WM_PAINT:
            on_paint(window);
            break;
        case WM_DROPFILES:
            on_drop(reinterpret_cast<HDROP>(wparam));
            break;
        case WM_COMMAND:
            on_command(LOWORD(wparam), HIWORD(wparam), reinterpret_cast<HWND>(lparam));
            break;
        // Esc with the focus on the window itself, or on nothing: a key pressed while the active
        // window has no focus comes as a system key.
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            if (wparam == VK_ESCAPE) apply(window_stop(&g.model));
            break;
        case WM_SIZE:
            if (wparam != SIZE_MINIMIZED) on_size(LOWORD(lparam), HIWORD(lparam));
            break;
        case WM_DPICHANGED:
            on_dpi_changed(LOWORD(wparam), lparam);
            return 0;
        case WM_ACTIVATE: {
            const LRESULT result = DefWindowProcW(window, message, wparam, lparam);
            on_activate(LOWORD(wparam) != WA_INACTIVE);
            return result;
        }
        // The labels and the format buttons on the window's grey.
        case WM_CTLCOLORSTATIC:
            SetBkMode(reinterpret_cast<HDC>(wparam), TRANSPARENT);
            return reinterpret_cast<LRESULT>(GetStockObject(LTGRAY_BRUSH));
        case WM_TIMER:
            if (wparam == kProgressTimer) apply(g.run.poll(&g.model));
            break;
        case kRunEndedMessage:
            on_run_ended();
            break;
        case WM_CLOSE:
            on_close();
            break;
        case WM_DESTROY:
            on_destroy();
            break;
        default:
            break;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

HICON program_icon(HINSTANCE instance, int size) {
    // The .ico holds several sizes; LoadImage picks the one nearest to size.
    HANDLE icon = LoadImageW(instance, MAKEINTRESOURCEW(kProgramIconId), IMAGE_ICON, size, size,
                             LR_DEFAULTCOLOR);
    if (icon != nullptr) return static_cast<HICON>(icon);
    return LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
}

}  // namespace

ATOM register_main_window_class(HINSTANCE instance) {
    g.instance = instance;
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    if (!register_compare_window_class(instance)) return 0;
    WNDCLASSEXW wc;
    std::memset(&wc, 0, sizeof wc);
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = window_procedure;
    wc.hInstance = instance;
    wc.hIcon = program_icon(instance, GetSystemMetrics(SM_CXICON));
    wc.hIconSm = program_icon(instance, GetSystemMetrics(SM_CXSMICON));
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    const std::wstring class_name = utf8_to_wide(kWindowClassName);
    wc.lpszClassName = class_name.c_str();
    return RegisterClassExW(&wc);
}

HWND create_main_window(HINSTANCE instance) {
    g.instance = instance;
    g.texts = load_texts(GetModuleHandleW(nullptr),
                         window_language(std::getenv("ENLARGE3_LANG"), user_language()));
    HWND window = CreateWindowExW(0, utf8_to_wide(kWindowClassName).c_str(),
                                  utf8_to_wide(window_title(g.texts)).c_str(), WS_OVERLAPPEDWINDOW,
                                  CW_USEDEFAULT, CW_USEDEFAULT, kWindowWidth, kWindowHeight,
                                  nullptr, nullptr, instance, nullptr);
    // The size at 96 DPI, grown with the DPI of the monitor it opened on.
    const int dpi = window != nullptr ? window_dpi(window) : 96;
    if (dpi != 96)
        SetWindowPos(window, nullptr, 0, 0, scale_to_dpi(kWindowWidth, dpi),
                     scale_to_dpi(kWindowHeight, dpi), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    return window;
}

std::vector<std::string> command_line_arguments(const wchar_t* command_line) {
    std::vector<std::string> arguments;
    int count = 0;
    wchar_t** split = CommandLineToArgvW(command_line, &count);
    if (split == nullptr) return arguments;
    for (int i = 0; i < count; ++i) arguments.push_back(wide_to_utf8(split[i]));
    LocalFree(split);
    return arguments;
}

void open_command_line(const std::vector<std::string>& arguments) {
    if (arguments.size() > 1) take_drop({arguments.begin() + 1, arguments.end()});
}

void dispatch_message(MSG* msg) {
    if (g.window != nullptr && IsDialogMessageW(g.window, msg)) return;
    TranslateMessage(msg);
    DispatchMessageW(msg);
}

int run_message_loop() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) dispatch_message(&msg);
    return static_cast<int>(msg.wParam);
}

const WindowModel& main_window_model() {
    return g.model;
}

void set_main_window_run_function(RunFn run) {
    g.run.set_run_function(std::move(run));
}
