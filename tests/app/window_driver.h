#pragma once
// The main window as the window scenarios (window_scenarios.cpp) drive it: what a user does to
// it and what they see, the same for either toolkit. Each front-end's test program supplies
// one adapter, made by open_main_window, and keeps beside it only what exists on its platform
// alone. Texts and paths are UTF-8; places are client pixels of the window concerned.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/compare_view.h"
#include "app/window_model.h"
#include "tests/support/bmp_builder.h"
#include "tests/support/temp_dir.h"

// The window's controls and labels; `window` is the window itself, and `none` no control at
// all (as focused() says when nothing has the focus). The adapters map these enums by
// position, in tables kept in their order.
enum class Control {
    window,
    go,
    width_box,
    height_box,
    bmp_format,
    png_format,
    stop,
    bar,
    width_label,
    height_label,
    format_label,
    none
};

// The keys the scenarios press.
enum class Key { escape, plus, keypad_plus, right, digit_0, digit_3, tab, enter, space };

// What the mouse does at a point: the left button's press, a move with it held, its
// release, a double-click, a notch of the wheel away from the user.
enum class Mouse { press, move, release, double_click, wheel };

// A client area as it is on screen, read back at once.
struct Shot {
    int width = 0, height = 0;
    std::vector<std::uint32_t> rgb;  // 0xRRGGBB, rows from the top
    std::uint32_t at(int x, int y) const;
    std::vector<std::uint32_t> part(const Rect& r) const;
    // The pixels of r dark enough to be text.
    int ink(const Rect& r) const;
};

class WindowDriver {
   public:
    virtual ~WindowDriver() = default;

    // What the user does. A drop is offered, as the shell offers it, and then made.
    virtual void drop(const std::vector<std::string>& paths) = 0;
    // The program started with these arguments (the program first), as "Open with" does.
    virtual void open_command_line(const std::vector<std::string>& arguments) = 0;
    // A box's text replaced at once, as by a paste.
    virtual void set_text(Control box, const std::string& text) = 0;
    // Characters typed one by one into a box, which may refuse some.
    virtual void type(Control box, const std::string& keys) = 0;
    virtual void click(Control control) = 0;
    // A click of the mouse's left button at x, y of the client area, from the mouse itself.
    virtual void click_at(int x, int y) = 0;
    // The keyboard focus given to a control (or the window itself).
    virtual void focus_on(Control control) = 0;
    // A key pressed and released on the keyboard itself: it goes wherever the platform sends
    // it, as it does for a user.
    virtual void press(Key key) = 0;
    void press(Key key, Control focus) {
        focus_on(focus);
        press(key);
    }
    // The window's outer size set as the user drags its frame, or maximised.
    virtual void resize(int width, int height) = 0;
    virtual void maximize() = 0;
    virtual void close() = 0;
    // Handles what is queued for the window, as its event loop would.
    virtual void pump() = 0;

    // Pumps until done() holds; false after limit.
    bool wait_until(const std::function<bool()>& done,
                    std::chrono::milliseconds limit = std::chrono::seconds(30));
    // Pumps until the run GO started has ended; fails the test when it has not within a minute.
    void wait_for_run();

    // What the user sees.
    virtual std::string title() = 0;
    virtual std::string text(Control control) = 0;
    // What assistive technology reads as the control's name.
    virtual std::string accessible_name(Control control) = 0;
    // The control that has the keyboard focus: window, none, or one of the controls.
    virtual Control focused() = 0;
    virtual Rect place(Control control) = 0;
    virtual bool enabled(Control control) = 0;
    virtual bool visible(Control control) = 0;
    virtual bool checked(Control control) = 0;
    virtual int bar_position() = 0;
    // The client area as now on screen; repaint first where a scenario asks for a fresh paint.
    virtual Shot shot() = 0;
    virtual void repaint() = 0;
    virtual bool is_open() = 0;
    virtual const WindowModel& model() = 0;

    // Closes the next message box the window shows as soon as it shows.
    virtual void answer_next_message() = 0;
    // That box's text, waiting for it at most 30 seconds; empty when none showed.
    virtual std::string answered_message() = 0;

    // What GO runs (run_request unless set).
    virtual void set_run_function(RunFn run) = 0;

    // The compare window, which a run with results opens.
    virtual bool compare_open() = 0;
    virtual const CompareView& compare_view() = 0;
    virtual std::string compare_title() = 0;
    virtual Shot compare_shot() = 0;
    virtual void compare_press(Key key) = 0;
    virtual void compare_mouse(Mouse action, int x, int y) = 0;
    // The window's size changed by the user to about width x height; gives its client width.
    virtual int compare_resize(int width, int height) = 0;
    virtual void compare_close() = 0;
    // The files the compare window handed the picture viewer, in order.
    std::vector<std::string> opened;

    // Saves the main window (or the compare window) for the documentation in folder, as
    // window-PLATFORM.EXT (compare-PLATFORM.EXT) with suffix before the extension.
    virtual bool save_shot(bool compare, const std::string& folder, const std::string& suffix) = 0;
};

// A new main window, shown, whose compare window hands files to `opened` instead of the
// picture viewer. One at a time.
std::unique_ptr<WindowDriver> open_main_window();

// The scenarios' fixture, which the platforms' own tests share: a fresh window per test,
// speaking Japanese, the tool's original texts, and pictures in one folder for the whole
// program.
class WindowScenario : public ::testing::Test {
   protected:
    void SetUp() override;
    void TearDown() override;

    // A new window in place of the open one, started with ENLARGE3_LANG set to language (or
    // unset for nullptr); ENLARGE3_LANG is Japanese again after the test.
    void reopen(const char* language);

    // A path in the folder; relative is spelled with '/'.
    static std::string at(const std::string& relative);
    // Makes the folder at relative, with any missing parents, and gives its path.
    static std::string folder(const std::string& relative);
    // A file written at relative, its folders made; gives its path.
    static std::string file(const std::string& relative, const std::vector<std::uint8_t>& bytes);
    // A 24-bit BMP in the test pattern at relative.
    static std::string picture(const std::string& relative, int width, int height);

    void set_sizes(const std::string& width, const std::string& height);

    std::unique_ptr<WindowDriver> w;
};
