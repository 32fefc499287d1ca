#pragma once
// The windows' texts on Windows: string tables in the program's resources, one per language
// (strings_LANG.rc), taken in the user's interface language.

#include <windows.h>

#include <string>

#include "app/window_text.h"

// The user's interface language (GetUserDefaultUILanguage) as a tag such as "ja".
std::string user_language();

// The texts of language (a primary tag, window_language) from module's string tables; those
// of English where module has no table in that language.
WindowTexts load_texts(HMODULE module, const std::string& language);
