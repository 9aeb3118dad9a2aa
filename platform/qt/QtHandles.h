#pragma once

#include "platform/ApiTypes.h"

#include <QRegion>

class QWidget;

// What the handles of the system calls stand for in the Qt run-time: a window handle is a
// form's top-level widget, a region handle a QRegion made by CreatePolygonRgn and taken over by
// SetWindowRgn, which frees it.
HWND handleOf(QWidget* window);
QWidget* widgetOf(HWND window);

HRGN makeRegion(const QRegion& region);
// Frees the handle and returns what it held; an empty region for a null handle.
QRegion takeRegion(HRGN region);
