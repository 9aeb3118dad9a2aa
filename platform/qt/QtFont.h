#pragma once

#include <QFont>

struct StdFont;

// The Qt font for a font of a window definition. The classic dialog face "MS Sans Serif" is not
// on Linux desktops: Liberation Sans stands in for it. Sizes go from points to pixels at 96
// pixels per inch (8.25 points are 11 pixels): the layouts are fixed in pixels, so the text
// is too, whatever the screen's DPI setting.
QFont qtFont(const StdFont& font);
