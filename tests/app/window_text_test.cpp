#include "app/window_text.h"

#include <gtest/gtest.h>

TEST(WindowLanguage, EnlargeLangChoosesElseTheUsersLanguageElseEnglish) {
    const struct {
        const char* chosen;
        const char* user;
        const char* language;
    } cases[] = {
        {nullptr, "ja-JP", "ja"}, {nullptr, "ja_JP.UTF-8", "ja"},
        {nullptr, "JA", "ja"},    {nullptr, "en-US", "en"},
        {nullptr, "de_DE", "de"}, {nullptr, "C.UTF-8", "en"},
        {nullptr, "", "en"},      {"", "ja-JP", "ja"},
        {"en", "ja-JP", "en"},    {"ja", "en-GB", "ja"},
        {"JA_jp", "en", "ja"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(window_language(c.chosen, c.user), c.language)
            << (c.chosen ? c.chosen : "(unset)") << ", " << c.user;
}

TEST(FillText, PutsEachValueInPlaceOfItsNumber) {
    EXPECT_EQ(fill_text("%1 × %2、%3% で表示", {"640", "480", "50"}), "640 × 480、50% で表示");
    EXPECT_EQ(fill_text("%2 before %1", {"a", "b"}), "b before a");
    // A number without a value, a lone % and one at the end stay.
    EXPECT_EQ(fill_text("%3 100% %", {"a"}), "%3 100% %");
}
