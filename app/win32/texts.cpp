#include "app/win32/texts.h"

#include <vector>

#include "app/win32/string_ids.h"
#include "base/file_io.h"

static_assert(IDS_OPEN - IDS_TITLE + 1 == kUiTextCount, "a string id for every text");

namespace {

// The string tables are stored in blocks of 16 strings; block n + 1 holds ids 16n .. 16n + 15.
WORD block_of(int id) {
    return static_cast<WORD>(id / 16 + 1);
}

BOOL CALLBACK add_language(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR found) {
    reinterpret_cast<std::vector<WORD>*>(found)->push_back(language);
    return TRUE;
}

// The language of the table to read: the one of primary language `wanted`, else English's,
// else whichever there is.
WORD table_language(HMODULE module, WORD wanted) {
    std::vector<WORD> languages;
    EnumResourceLanguagesW(module, RT_STRING, MAKEINTRESOURCEW(block_of(IDS_TITLE)), add_language,
                           reinterpret_cast<LONG_PTR>(&languages));
    for (WORD primary : {wanted, static_cast<WORD>(LANG_ENGLISH)})
        for (WORD language : languages)
            if (PRIMARYLANGID(language) == primary) return language;
    return languages.empty() ? MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US) : languages.front();
}

// String id of the table in language, read from its block as Windows lays it out: each string
// a count of UTF-16 units, then the units.
std::string table_string(HMODULE module, int id, WORD language) {
    HRSRC found = FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(block_of(id)), language);
    HGLOBAL block = found != nullptr ? LoadResource(module, found) : nullptr;
    const auto* p = block != nullptr ? static_cast<const WCHAR*>(LockResource(block)) : nullptr;
    if (p == nullptr) return std::string();
    for (int i = 0; i < id % 16; ++i) p += 1 + *p;
    return wide_to_utf8(std::wstring(p + 1, p + 1 + *p));
}

}  // namespace

std::string user_language() {
    wchar_t tag[LOCALE_NAME_MAX_LENGTH] = {};
    const LCID locale = MAKELCID(GetUserDefaultUILanguage(), SORT_DEFAULT);
    if (GetLocaleInfoW(locale, LOCALE_SISO639LANGNAME, tag, LOCALE_NAME_MAX_LENGTH) == 0)
        return std::string();
    return wide_to_utf8(tag);
}

WindowTexts load_texts(HMODULE module, const std::string& language) {
    const LCID locale = LocaleNameToLCID(utf8_to_wide(language).c_str(), 0);
    const WORD table = table_language(module, PRIMARYLANGID(LANGIDFROMLCID(locale)));
    WindowTexts texts;
    for (int i = 0; i < kUiTextCount; ++i)
        texts[static_cast<std::size_t>(i)] = table_string(module, IDS_TITLE + i, table);
    return texts;
}
