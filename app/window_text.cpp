#include "app/window_text.h"

#include <cctype>
#include <cstddef>

namespace {

// The primary tag of a language tag or locale name: its leading letters, lower case.
std::string primary_tag(const std::string& tag) {
    std::string out;
    for (char c : tag) {
        if (!std::isalpha(static_cast<unsigned char>(c))) break;
        out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

}  // namespace

std::string fill_text(const std::string& text, std::initializer_list<std::string> values) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::size_t n =
            i + 1 < text.size() && text[i] == '%' && text[i + 1] >= '1' && text[i + 1] <= '9'
                ? static_cast<std::size_t>(text[i + 1] - '1')
                : values.size();
        if (n < values.size()) {
            out += values.begin()[n];
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string window_title(const WindowTexts& texts) {
    const int minor = ENLARGE3_VERSION_MINOR;
    const std::string version = std::to_string(ENLARGE3_VERSION_MAJOR) + "." +
                                (minor < 10 ? "0" : "") + std::to_string(minor);
    return fill_text(ui_text(texts, UiText::title), {version});
}

std::string window_language(const char* chosen, const std::string& user_language) {
    const std::string tag = primary_tag(chosen != nullptr ? chosen : "");
    if (!tag.empty()) return tag;
    // The C and POSIX locales say nothing of a language.
    const std::string user = primary_tag(user_language);
    return user.empty() || user == "c" || user == "posix" ? "en" : user;
}
