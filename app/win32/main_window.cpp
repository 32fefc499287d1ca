#include "app/win32/main_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "app/run_controller.h"
#include "app/win32/compare_window.h"
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
    HFONT font = nullptr;
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

void apply(const WindowEffects& e) {
    if (e.set_box_texts) {
        SetWindowTextW(g.width_box, utf8_to_wide(g.model.width_text).c_str());
        SetWindowTextW(g.height_box, utf8_to_wide(g.model.height_text).c_str());
    }
    EnableWindow(g.go, g.model.go_enabled ? TRUE : FALSE);
    const bool png = g.model.result_format == ResultFormat::png;
    SendMessageW(g.bmp, BM_SETCHECK, png ? BST_UNCHECKED : BST_CHECKED, 0);
    SendMessageW(g.png, BM_SETCHECK, png ? BST_CHECKED : BST_UNCHECKED, 0);
    if (e.update_progress) {
        ShowWindow(g.bar, g.model.progress_shown ? SW_SHOWNA : SW_HIDE);
        SendMessageW(g.bar, PBM_SETPOS, static_cast<WPARAM>(g.model.progress_steps), 0);
        ShowWindow(g.stop, g.model.running ? SW_SHOWNA : SW_HIDE);
        const RECT text = {kProgressText.x, kProgressText.y, kProgressText.x + kProgressText.width,
                           kProgressText.y + kProgressText.height};
        InvalidateRect(g.window, &text, FALSE);
    }
    if (e.repaint) {
        InvalidateRgn(g.window, nullptr, FALSE);
        UpdateWindow(g.window);
    }
    if (e.stop) g.run.request_stop();
    if (!e.message.empty())
        MessageBoxW(g.window, utf8_to_wide(e.message).c_str(), utf8_to_wide(kWindowTitle).c_str(),
                    MB_OK | MB_ICONWARNING);
    if (e.run) start_run(e.request);
    if (e.compare) show_compare_window(g.instance, g.font, e.compare_contents);
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

// Esc stops the run whichever control has the focus: the controls hand it to the window.
LRESULT CALLBACK pass_escape(HWND control, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                             DWORD_PTR) {
    if ((message == WM_KEYDOWN || message == WM_CHAR) && wparam == VK_ESCAPE) {
        if (message == WM_KEYDOWN) apply(window_stop(&g.model));
        return 0;
    }
    return DefSubclassProc(control, message, wparam, lparam);
}

HWND create_control(HWND parent, const wchar_t* class_name, const ControlPlace& place,
                    DWORD style) {
    HWND control = CreateWindowExW(
        0, class_name, utf8_to_wide(place.text).c_str(), WS_CHILD | WS_VISIBLE | style, place.x,
        place.y, place.width, place.height, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(place.id)), g.instance, nullptr);
    // The system's message font has (or links to) Japanese glyphs on every display language;
    // the controls' default bitmap font has them only on a Japanese Windows.
    if (control != nullptr && g.font != nullptr)
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(g.font), FALSE);
    return control;
}

void on_create(HWND window) {
    g.window = window;
    NONCLIENTMETRICSW metrics;
    std::memset(&metrics, 0, sizeof metrics);
    metrics.cbSize = sizeof metrics;
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        g.font = CreateFontIndirectW(&metrics.lfMessageFont);
    g.go = create_control(window, L"Button", kGoButton, 0);
    g.width_box = create_control(window, L"edit", kWidthBox, WS_BORDER | ES_NUMBER | ES_RIGHT);
    g.height_box = create_control(window, L"edit", kHeightBox, WS_BORDER | ES_NUMBER | ES_RIGHT);
    EnableWindow(g.width_box, TRUE);
    EnableWindow(g.height_box, TRUE);
    // WS_GROUP on the first: the two buttons are one group, and a click checks only its own.
    g.bmp = create_control(window, L"Button", kBmpFormat, BS_AUTORADIOBUTTON | WS_GROUP);
    g.png = create_control(window, L"Button", kPngFormat, BS_AUTORADIOBUTTON);
    // Shown once a run starts.
    g.stop = create_control(window, L"Button", kStopButton, 0);
    ShowWindow(g.stop, SW_HIDE);
    g.bar = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD, kProgressBar.x, kProgressBar.y,
                            kProgressBar.width, kProgressBar.height, window,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kProgressBarId)),
                            g.instance, nullptr);
    SendMessageW(g.bar, PBM_SETRANGE32, 0, kProgressSteps);
    for (HWND control : {g.go, g.width_box, g.height_box, g.stop, g.bmp, g.png})
        SetWindowSubclass(control, pass_escape, 1, 0);
    apply(window_create(&g.model));
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
    PostQuitMessage(0);
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
        case WM_KEYDOWN:
            if (wparam == VK_ESCAPE) apply(window_stop(&g.model));
            break;
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
    return CreateWindowExW(0, utf8_to_wide(kWindowClassName).c_str(),
                           utf8_to_wide(kWindowTitle).c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                           CW_USEDEFAULT, kWindowWidth, kWindowHeight, nullptr, nullptr, instance,
                           nullptr);
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

int run_message_loop() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

const WindowModel& main_window_model() {
    return g.model;
}

void set_main_window_run_function(RunFn run) {
    g.run.set_run_function(std::move(run));
}
