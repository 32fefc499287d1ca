#pragma once
// The compare window on Windows: a second top-level window of its own class showing a run's
// results side by side with the picture enlarged by pixel repetition. All behaviour lives in
// CompareView; this window decodes each picture once into a DIB section and lets GDI scale
// only the pixels on screen (StretchBlt without smoothing), through double buffering so a drag
// does not flicker.

#include <windows.h>

#include <functional>
#include <string>

#include "app/compare_view.h"

inline constexpr wchar_t kCompareClassName[] = L"enlarge3Compare";

// Registers the compare window's class; 0 on failure.
ATOM register_compare_window_class(HINSTANCE instance);

// Opens the compare window with a run's results, or gives the open one these contents. A result
// that cannot be read draws as an empty pane. The window scales its gaps, strips and font to
// its monitor's DPI (dpi.h), and follows a move to another.
void show_compare_window(HINSTANCE instance, CompareContents contents);

// Closes the compare window if it is open.
void close_compare_window();

// The compare window, or nullptr when none is open; and what it shows.
HWND compare_window();
const CompareView& compare_window_view();

// What opens a file in the picture viewer: ShellExecuteW's "open" unless set (tests).
void set_compare_opener(std::function<void(const std::string& path)> opener);
