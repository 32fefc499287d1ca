// enlarge3-window.exe: the tool as a Windows window. Drop a picture (BMP, PNG or JPEG) on it,
// type the wanted size and press GO; the results appear beside the picture.

#include <windows.h>

#include "app/win32/main_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    if (!register_main_window_class(instance)) return 1;
    HWND window = create_main_window(instance);
    if (window == nullptr) return 1;
    ShowWindow(window, show);
    UpdateWindow(window);
    // The narrow command line WinMain gets is in the ANSI code page; the wide one spells every
    // file name.
    open_command_line(command_line_arguments(GetCommandLineW()));
    return run_message_loop();
}
