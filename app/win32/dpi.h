#pragma once
// The windows' size on screens of any density. With the manifest's per-monitor awareness each
// window is told its monitor's DPI and scales its layout and fonts from the 96-DPI places
// itself (window_layout, compare_layout); without it Windows reports 96 and scales the window
// as a bitmap. The calls that report a window's DPI exist from Windows 10 on and are looked up
// when the program starts, so it runs on older Windows too.

#include <windows.h>

// The DPI the window is drawn at: its monitor's when the process is per-monitor aware, the
// system's or 96 otherwise.
int window_dpi(HWND window);

// The system's message font at dpi; the caller deletes it.
HFONT message_font(int dpi);

// The outer size of a window of the given style whose client area is client_width x
// client_height at dpi.
SIZE window_size_for_client(int client_width, int client_height, DWORD style, int dpi);

// WM_DPICHANGED: the window takes the place Windows suggests for its new DPI (lparam).
void take_suggested_place(HWND window, LPARAM suggested);
