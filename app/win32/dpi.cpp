#include "app/win32/dpi.h"

#include <cstring>

namespace {

// A function of user32.dll by name, or nullptr where this Windows has none.
template <typename Function>
Function user32_function(const char* name) {
    const HMODULE user32 = GetModuleHandleW(L"user32.dll");
    const FARPROC f = user32 != nullptr ? GetProcAddress(user32, name) : nullptr;
    // Through void (*)() : the one function pointer type every other converts to and back.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(f));
}

int system_dpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen != nullptr) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

}  // namespace

int window_dpi(HWND window) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto get_dpi = user32_function<GetDpiForWindowFn>("GetDpiForWindow");
    const UINT dpi = get_dpi != nullptr && window != nullptr ? get_dpi(window) : 0;
    return dpi > 0 ? static_cast<int>(dpi) : system_dpi();
}

HFONT message_font(int dpi) {
    using ForDpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
    static const auto for_dpi = user32_function<ForDpiFn>("SystemParametersInfoForDpi");
    NONCLIENTMETRICSW metrics;
    std::memset(&metrics, 0, sizeof metrics);
    metrics.cbSize = sizeof metrics;
    if (for_dpi != nullptr &&
        for_dpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, static_cast<UINT>(dpi)))
        return CreateFontIndirectW(&metrics.lfMessageFont);
    // The metrics are those of the system's DPI.
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        return nullptr;
    metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, dpi, system_dpi());
    return CreateFontIndirectW(&metrics.lfMessageFont);
}

SIZE window_size_for_client(int client_width, int client_height, DWORD style, int dpi) {
    using AdjustForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    static const auto adjust = user32_function<AdjustForDpiFn>("AdjustWindowRectExForDpi");
    RECT r = {0, 0, client_width, client_height};
    if (adjust == nullptr || !adjust(&r, style, FALSE, 0, static_cast<UINT>(dpi)))
        AdjustWindowRectEx(&r, style, FALSE, 0);
    return {r.right - r.left, r.bottom - r.top};
}

void take_suggested_place(HWND window, LPARAM suggested) {
    const RECT* r = reinterpret_cast<const RECT*>(suggested);
    SetWindowPos(window, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}
