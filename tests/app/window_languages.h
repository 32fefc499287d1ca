#pragma once
// The windows' texts as each language must give them: the tool's original Japanese ones, which
// the front-ends' translation files must hold exactly, and the English ones. The model's tests
// speak Japanese; the window scenarios check each front-end's files against these.

#include <string>

#include "app/window_text.h"

inline const WindowTexts& expected_texts(const std::string& language) {
    // In UiText's order.
    static const WindowTexts japanese = {
        "ころぽんの画像拡大!３種類から選んでね Ver%1",
        "　ＧＯ　",
        "水平サイズ",
        "垂直サイズ",
        "保存形式",
        "中止",
        "進行状況",
        "完了",
        "失敗",
        "中止",
        "中止中…",
        "%1 × %2、%3% で表示",
        "比較 - %1",
        "元画像",
        "開く",
    };
    static const WindowTexts english = {
        "Koropon's picture enlarger! Choose from three kinds Ver%1",
        "GO",
        "Width",
        "Height",
        "Save as",
        "Stop",
        "Progress",
        "Done",
        "Failed",
        "Stopped",
        "Stopping…",
        "%1 × %2, shown at %3%",
        "Compare - %1",
        "Original",
        "Open",
    };
    return language == "ja" ? japanese : english;
}
