#pragma once
// The window on Windows: class "CWindow" with its controls and their labels, file drops, and
// painting from the model's paint list, all through the wide-character calls; the run
// (RunController), whose thread posts its end to the window, with a progress control read by a
// timer and a stop button; and the compare window (compare_window.h). It speaks the user's
// interface language from the string tables (texts.h), scales its layout and font to its
// monitor's DPI (dpi.h), and takes keys as a dialog does: Tab, Enter in a box for GO, and Esc
// stopping the run from wherever the focus is. All behaviour lives in WindowModel and
// CompareView; the window procedures only turn messages into model events and carry out the
// effects. One window per process.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "app/window_model.h"

// The program's icon among its resources (app/program.rc.in).
inline constexpr int kProgramIconId = 1;

// Registers the window classes (main and compare window); 0 on failure. The main window takes
// the program's icon from instance's resources, Windows' default one when it has none.
ATOM register_main_window_class(HINSTANCE instance);

// Creates the main window at its initial size for its DPI, not yet shown, in the language of
// ENLARGE3_LANG or else the user's; nullptr on failure.
HWND create_main_window(HINSTANCE instance);

// The arguments of a command line split as Windows' shell splits it (CommandLineToArgvW), in
// UTF-8; the first is the program. The window's own comes from GetCommandLineW().
std::vector<std::string> command_line_arguments(const wchar_t* command_line);

// Takes the pictures named after the program (arguments[1] on) as a drop of them, which only
// looks at the first: how "Open with" and a drop on the program's icon in Explorer hand the
// window a picture. Call after create_main_window; without arguments nothing happens.
void open_command_line(const std::vector<std::string>& arguments);

// Hands on a message of the thread's queue as the program's loop does: the main window's keys
// through the dialog manager (IsDialogMessage: Tab, Enter, Esc), the rest translated and
// dispatched.
void dispatch_message(MSG* msg);

// Runs the message loop until WM_QUIT and returns its exit code.
int run_message_loop();

// The state behind the window, for tests.
const WindowModel& main_window_model();

// For tests: what GO runs (run_request unless set).
void set_main_window_run_function(RunFn run);
