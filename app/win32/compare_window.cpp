#include "app/win32/compare_window.h"

#include <shellapi.h>
#include <windowsx.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "app/win32/dpi.h"
#include "base/file_io.h"
#include "image/bmp.h"

namespace {

// One pane's picture as a bottom-up 24-bit DIB section, selected into a memory DC of its own.
struct PanePicture {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
};

struct CompareWindow {
    HINSTANCE instance = nullptr;
    HWND window = nullptr;
    HFONT font = nullptr;  // the message font at view.dpi, the window's own
    CompareView view;
    std::vector<PanePicture> pictures;
    std::function<void(const std::string&)> opener;
    bool dragging = false;
    POINT last = {0, 0};
};

CompareWindow c;

COLORREF colour(std::uint32_t rgb) {
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

void release_pictures() {
    for (PanePicture& p : c.pictures) {
        if (p.dc != nullptr) {
            SelectObject(p.dc, p.previous);
            DeleteDC(p.dc);
        }
        if (p.bitmap != nullptr) DeleteObject(p.bitmap);
    }
    c.pictures.clear();
}

// The BMP's rows are already a bottom-up DIB's rows, padding included: one copy.
PanePicture picture_of(const BmpPicture& bmp) {
    PanePicture p;
    if (bmp.bytes == nullptr || bmp.width <= 0 || bmp.height <= 0) return p;
    BITMAPINFO info;
    std::memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = bmp.width;
    info.bmiHeader.biHeight = bmp.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    p.bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (p.bitmap == nullptr) return p;  // too large for GDI: drawn as an empty pane
    const std::size_t size =
        static_cast<std::size_t>(bmp_row_stride(static_cast<std::uint64_t>(bmp.width)) *
                                 static_cast<std::uint64_t>(bmp.height));
    std::memcpy(bits, bmp.rows(), size);
    p.dc = CreateCompatibleDC(nullptr);
    p.previous = SelectObject(p.dc, p.bitmap);
    return p;
}

void open_pane(int pane) {
    const std::vector<ComparePane>& panes = c.view.contents.panes;
    if (pane < 0 || pane >= static_cast<int>(panes.size())) return;
    const std::string& path = panes[static_cast<std::size_t>(pane)].path;
    if (c.opener) {
        c.opener(path);
    } else {
        ShellExecuteW(c.window, L"open", windows_file_path(path).c_str(), nullptr, nullptr,
                      SW_SHOWNORMAL);
    }
}

void draw(HDC dc, const RECT& client) {
    HBRUSH background = CreateSolidBrush(colour(kCompareBackgroundRgb));
    FillRect(dc, &client, background);
    DeleteObject(background);
    // Without smoothing GDI repeats pixels, so every result pixel is a sharp block.
    SetStretchBltMode(dc, COLORONCOLOR);
    for (const PaneDraw& d : compare_draws(c.view)) {
        const PanePicture& p = c.pictures[static_cast<std::size_t>(d.pane)];
        if (p.dc == nullptr) continue;
        const int saved = SaveDC(dc);
        IntersectClipRect(dc, d.clip.x, d.clip.y, d.clip.x + d.clip.width,
                          d.clip.y + d.clip.height);
        StretchBlt(dc, d.dst.x, d.dst.y, d.dst.width, d.dst.height, p.dc, d.src.x, d.src.y,
                   d.src.width, d.src.height, SRCCOPY);
        RestoreDC(dc, saved);
    }
    HGDIOBJ previous_font = c.font != nullptr ? SelectObject(dc, c.font) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    HBRUSH strip = CreateSolidBrush(RGB(0x30, 0x30, 0x30));
    for (const PaneLayout& l : compare_layout(c.view)) {
        const ComparePane& pane = c.view.contents.panes[static_cast<std::size_t>(l.pane)];
        RECT label = {l.label.x, l.label.y, l.label.x + l.label.width, l.label.y + l.label.height};
        FillRect(dc, &label, strip);
        label.left += 6;
        SetTextColor(dc, RGB(0xFF, 0xFF, 0xFF));
        const std::wstring text = std::to_wstring(l.pane + 1) + L"  " + utf8_to_wide(pane.label);
        DrawTextW(dc, text.c_str(), -1, &label,
                  DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
        RECT button = {l.open_button.x, l.open_button.y, l.open_button.x + l.open_button.width,
                       l.open_button.y + l.open_button.height};
        DrawFrameControl(dc, &button, DFC_BUTTON, DFCS_BUTTONPUSH);
        SetTextColor(dc, RGB(0, 0, 0));
        DrawTextW(dc, utf8_to_wide(c.view.contents.open_text).c_str(), -1, &button,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    DeleteObject(strip);
    if (previous_font != nullptr) SelectObject(dc, previous_font);
}

void on_paint(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT client;
    GetClientRect(window, &client);
    // Drawn off screen and copied at once, so a drag does not flicker.
    HDC mem = CreateCompatibleDC(dc);
    HBITMAP buffer = CreateCompatibleBitmap(dc, client.right > 0 ? client.right : 1,
                                            client.bottom > 0 ? client.bottom : 1);
    HGDIOBJ previous = SelectObject(mem, buffer);
    draw(mem, client);
    BitBlt(dc, 0, 0, client.right, client.bottom, mem, 0, 0, SRCCOPY);
    SelectObject(mem, previous);
    DeleteObject(buffer);
    DeleteDC(mem);
    EndPaint(window, &ps);
}

void redraw() {
    InvalidateRect(c.window, nullptr, FALSE);
}

bool on_key(WPARAM key) {
    if (key >= '0' && key <= '4') {
        compare_show(&c.view, static_cast<int>(key - '0'));
    } else if (key >= VK_NUMPAD0 && key <= VK_NUMPAD4) {
        compare_show(&c.view, static_cast<int>(key - VK_NUMPAD0));
    } else if (key == VK_ADD || key == VK_OEM_PLUS) {
        compare_key(&c.view, CompareKey::zoom_in);
    } else if (key == VK_SUBTRACT || key == VK_OEM_MINUS) {
        compare_key(&c.view, CompareKey::zoom_out);
    } else if (key == VK_LEFT) {
        compare_key(&c.view, CompareKey::left);
    } else if (key == VK_RIGHT) {
        compare_key(&c.view, CompareKey::right);
    } else if (key == VK_UP) {
        compare_key(&c.view, CompareKey::up);
    } else if (key == VK_DOWN) {
        compare_key(&c.view, CompareKey::down);
    } else {
        return false;
    }
    redraw();
    return true;
}

// The window's gaps and strips in the view, and its font, for dpi.
void set_dpi(int dpi) {
    compare_set_dpi(&c.view, dpi);
    HFONT font = message_font(dpi);
    if (font == nullptr) return;
    if (c.font != nullptr) DeleteObject(c.font);
    c.font = font;
}

LRESULT CALLBACK compare_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_PAINT:
            on_paint(window);
            return 0;
        case WM_ERASEBKGND:
            return 1;  // the paint covers everything
        case WM_SIZE:
            compare_resize(&c.view, LOWORD(lparam), HIWORD(lparam));
            redraw();
            break;
        case WM_KEYDOWN:
            if (on_key(wparam)) return 0;
            break;
        case WM_MOUSEWHEEL: {
            POINT at = {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
            ScreenToClient(window, &at);
            compare_zoom(&c.view, GET_WHEEL_DELTA_WPARAM(wparam) / WHEEL_DELTA, at.x, at.y);
            redraw();
            return 0;
        }
        case WM_LBUTTONDOWN: {
            const int x = GET_X_LPARAM(lparam), y = GET_Y_LPARAM(lparam);
            SetFocus(window);
            const int button = compare_open_button_at(c.view, x, y);
            if (button >= 0) {
                open_pane(button);
                return 0;
            }
            c.dragging = true;
            c.last = {x, y};
            SetCapture(window);
            return 0;
        }
        case WM_MOUSEMOVE:
            if (c.dragging) {
                const int x = GET_X_LPARAM(lparam), y = GET_Y_LPARAM(lparam);
                compare_drag(&c.view, x - c.last.x, y - c.last.y);
                c.last = {x, y};
                redraw();
            }
            return 0;
        case WM_LBUTTONUP:
            if (c.dragging) ReleaseCapture();
            c.dragging = false;
            return 0;
        case WM_LBUTTONDBLCLK: {
            const int x = GET_X_LPARAM(lparam), y = GET_Y_LPARAM(lparam);
            if (compare_open_button_at(c.view, x, y) < 0) open_pane(compare_pane_at(c.view, x, y));
            return 0;
        }
        case WM_DPICHANGED: {
            set_dpi(LOWORD(wparam));
            take_suggested_place(window, lparam);
            redraw();
            return 0;
        }
        case WM_DESTROY:
            release_pictures();
            if (c.font != nullptr) DeleteObject(c.font);
            c.font = nullptr;
            c.window = nullptr;
            c.dragging = false;
            break;
        default:
            break;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

ATOM register_compare_window_class(HINSTANCE instance) {
    WNDCLASSEXW wc;
    std::memset(&wc, 0, sizeof wc);
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = compare_procedure;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    wc.hIconSm = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = kCompareClassName;
    return RegisterClassExW(&wc);
}

void show_compare_window(HINSTANCE instance, CompareContents contents) {
    c.instance = instance;
    if (c.window == nullptr) {
        c.window = CreateWindowExW(0, kCompareClassName, L"", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                   CW_USEDEFAULT, kCompareWidth, kCompareHeight, nullptr, nullptr,
                                   instance, nullptr);
        if (c.window == nullptr) return;
        // Its client size at 96 DPI, grown with the DPI of the monitor it opened on.
        const int dpi = window_dpi(c.window);
        set_dpi(dpi);
        const SIZE outer =
            window_size_for_client(scale_to_dpi(kCompareWidth, dpi),
                                   scale_to_dpi(kCompareHeight, dpi), WS_OVERLAPPEDWINDOW, dpi);
        SetWindowPos(c.window, nullptr, 0, 0, outer.cx, outer.cy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    release_pictures();
    for (const ComparePane& pane : contents.panes) {
        if (pane.method < 0) {
            c.pictures.push_back(picture_of(contents.source));
            continue;
        }
        BmpPicture bmp;
        const Status st = load_window_picture(pane.path, &bmp);
        if (st.ok()) {
            c.pictures.push_back(picture_of(bmp));
        } else {
            std::fprintf(stderr, "%s\n", st.message.c_str());
            c.pictures.emplace_back();
        }
    }
    // The pictures now live in the DIB sections; the source's file stays with the main window.
    contents.source.bytes.reset();
    SetWindowTextW(c.window, utf8_to_wide(contents.title).c_str());
    RECT client;
    GetClientRect(c.window, &client);
    compare_open(&c.view, std::move(contents), client.right, client.bottom);
    ShowWindow(c.window, SW_SHOWNORMAL);
    redraw();
    UpdateWindow(c.window);
}

void close_compare_window() {
    if (c.window != nullptr) DestroyWindow(c.window);
}

HWND compare_window() {
    return c.window;
}

const CompareView& compare_window_view() {
    return c.view;
}

void set_compare_opener(std::function<void(const std::string& path)> opener) {
    c.opener = std::move(opener);
}
