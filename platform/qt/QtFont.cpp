#include "platform/qt/QtFont.h"

#include "platform/StdFont.h"

#include <cmath>

QFont qtFont(const StdFont& font) {
    QFont qt(font.Name == "MS Sans Serif" ? QStringLiteral("Liberation Sans")
                                          : QString::fromStdString(font.Name));
    qt.setStyleHint(QFont::SansSerif);
    qt.setPixelSize(static_cast<int>(std::lround(font.Size * 96 / 72)));
    qt.setUnderline(font.Underline);
    return qt;
}
