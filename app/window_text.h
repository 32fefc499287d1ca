#pragma once
// The texts the windows show, named by what they say, and the language they say them in.
// The models compose their texts from a table of these (WindowTexts) that each front-end fills
// from its own translations, one file per language: the Qt window's app/qt/i18n/LANG.ts, the
// Win32 window's app/win32/strings_LANG.rc. A new language is one more file for each; the
// Japanese texts are the tool's original ones. A text may hold %1, %2, ... for what
// fill_text puts in. Texts are UTF-8.

#include <array>
#include <initializer_list>
#include <string>

enum class UiText {
    title,          // the main window's title; %1 the version ("1.00")
    go,             // the GO button
    width_label,    // left of the horizontal size box, and its accessible name
    height_label,   // left of the vertical size box, and its accessible name
    format_label,   // left of the format buttons, and their group's name
    stop,           // the stop button
    progress,       // the progress bar's accessible name
    done,           // the progress text after a finished run,
    failed,         // after a failed one,
    stopped,        // after a stopped one,
    stopping,       // and while the stop is under way
    picture_size,   // under the preview: %1 x %2 the picture's size, %3 the scale it is shown at
    compare_title,  // the compare window's title; %1 the picture's file name
    source_pane,    // the picture's own pane in the compare window
    open,           // each compare pane's button that opens its file
};
inline constexpr int kUiTextCount = static_cast<int>(UiText::open) + 1;

// Each text at its UiText's index.
using WindowTexts = std::array<std::string, kUiTextCount>;

inline const std::string& ui_text(const WindowTexts& texts, UiText which) {
    return texts[static_cast<std::size_t>(which)];
}

// text with each %N (N = 1 .. 9) replaced by the N-th of values; a %N without a value, and any
// other %, stay as they are.
std::string fill_text(const std::string& text, std::initializer_list<std::string> values);

// The main window's title in the language of texts, with the project's version.
std::string window_title(const WindowTexts& texts);

// The language the windows speak, as a lower-case primary tag ("ja", "en"): chosen
// (ENLARGE3_LANG) when it names a language, else the user's interface language as the
// platform gives it ("ja-JP", "ja_JP.UTF-8", "en"). A front-end that has no file for the
// result speaks English.
std::string window_language(const char* chosen, const std::string& user_language);
