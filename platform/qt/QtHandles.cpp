#include "platform/qt/QtHandles.h"

#include <QWidget>

#include <memory>

// HWND__ and HRGN__ are never defined: the pointers are cast back to what they were made from.
HWND handleOf(QWidget* window) {
    return reinterpret_cast<HWND>(window);
}

QWidget* widgetOf(HWND window) {
    return reinterpret_cast<QWidget*>(window);
}

HRGN makeRegion(const QRegion& region) {
    return reinterpret_cast<HRGN>(new QRegion(region));
}

QRegion takeRegion(HRGN region) {
    if (!region)
        return QRegion();
    const std::unique_ptr<QRegion> held(reinterpret_cast<QRegion*>(region));
    return *held;
}
