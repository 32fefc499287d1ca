// The ids of the window's texts in the string tables (strings_LANG.rc): kFirstTextId plus each
// UiText's index (app/window_text.h), in its order. Read by the resource compiler too, so
// plain definitions only.
#pragma once

#define IDS_TITLE 100
#define IDS_GO 101
#define IDS_WIDTH_LABEL 102
#define IDS_HEIGHT_LABEL 103
#define IDS_FORMAT_LABEL 104
#define IDS_STOP 105
#define IDS_PROGRESS 106
#define IDS_DONE 107
#define IDS_FAILED 108
#define IDS_STOPPED 109
#define IDS_STOPPING 110
#define IDS_PICTURE_SIZE 111
#define IDS_COMPARE_TITLE 112
#define IDS_SOURCE_PANE 113
#define IDS_OPEN 114
