<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<!-- The window's texts in English. Each message is one text of app/window_text.h, named by its id;
     %1, %2 and %3 are filled in by the window. -->
<TS version="2.1" language="en">
<context>
    <name></name>
    <message id="title">
        <translation>Koropon's picture enlarger! Choose from three kinds Ver%1</translation>
    </message>
    <message id="go">
        <translation>GO</translation>
    </message>
    <message id="width_label">
        <translation>Width</translation>
    </message>
    <message id="height_label">
        <translation>Height</translation>
    </message>
    <message id="format_label">
        <translation>Save as</translation>
    </message>
    <message id="stop">
        <translation>Stop</translation>
    </message>
    <message id="progress">
        <translation>Progress</translation>
    </message>
    <message id="done">
        <translation>Done</translation>
    </message>
    <message id="failed">
        <translation>Failed</translation>
    </message>
    <message id="stopped">
        <translation>Stopped</translation>
    </message>
    <message id="stopping">
        <translation>Stopping…</translation>
    </message>
    <message id="picture_size">
        <translation>%1 × %2, shown at %3%</translation>
    </message>
    <message id="compare_title">
        <translation>Compare - %1</translation>
    </message>
    <message id="source_pane">
        <translation>Original</translation>
    </message>
    <message id="open">
        <translation>Open</translation>
    </message>
</context>
</TS>
