#pragma once
// The window on Windows: class "CWindow" with its three controls, file drops, and painting from
// the model's paint list, all through the wide-character calls so the Japanese texts show on a
// Windows of any display language. All behaviour lives in WindowModel; the window procedure
// only turns messages into model events and carries out the effects. One window per process.

#include <windows.h>

#include "app/window_model.h"

// Registers the window class; 0 on failure.
ATOM register_main_window_class(HINSTANCE instance);

// Creates the main window at its initial size, not yet shown; nullptr on failure.
HWND create_main_window(HINSTANCE instance);

// Runs the message loop until WM_QUIT and returns its exit code.
int run_message_loop();

// The state behind the window, for tests.
const WindowModel& main_window_model();
