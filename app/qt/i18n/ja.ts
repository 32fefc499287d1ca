<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<!-- The window's original texts. Each message is one text of app/window_text.h, named by its id;
     %1, %2 and %3 are filled in by the window. -->
<TS version="2.1" language="ja">
<context>
    <name></name>
    <message id="title">
        <translation>ころぽんの画像拡大!３種類から選んでね Ver%1</translation>
    </message>
    <message id="go">
        <translation>　ＧＯ　</translation>
    </message>
    <message id="width_label">
        <translation>水平サイズ</translation>
    </message>
    <message id="height_label">
        <translation>垂直サイズ</translation>
    </message>
    <message id="format_label">
        <translation>保存形式</translation>
    </message>
    <message id="stop">
        <translation>中止</translation>
    </message>
    <message id="progress">
        <translation>進行状況</translation>
    </message>
    <message id="done">
        <translation>完了</translation>
    </message>
    <message id="failed">
        <translation>失敗</translation>
    </message>
    <message id="stopped">
        <translation>中止</translation>
    </message>
    <message id="stopping">
        <translation>中止中…</translation>
    </message>
    <message id="picture_size">
        <translation>%1 × %2、%3% で表示</translation>
    </message>
    <message id="compare_title">
        <translation>比較 - %1</translation>
    </message>
    <message id="source_pane">
        <translation>元画像</translation>
    </message>
    <message id="open">
        <translation>開く</translation>
    </message>
</context>
</TS>
