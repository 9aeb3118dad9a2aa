#pragma once

#include "platform/ApiTypes.h"

#include <QPoint>
#include <QWidget>

class Platform;

// A top-level window built from a definition: its constructor lays out the controls, Load runs
// Form_Load once, Show puts it on the screen, Unload closes and destroys it.
class Form : public QWidget {
    Q_OBJECT

public:
    explicit Form(Platform& platform, QWidget* parent = nullptr);

    // The window as the platform calls know it: the widget. Its native window is made when the
    // form is first shown, with what Form_Load has set on the widget by then (region, topmost
    // band). Made any earlier, Qt's xcb layer would destroy it and make it again at show() to
    // apply the band, which it does only that way on a window that was never mapped.
    HWND hWnd();

    void Load();
    bool isLoaded() const { return loaded_; }
    // Visible and modeless; centred on the primary screen the first time, brought forward after.
    void Show();
    // Closes the window and destroys it once control returns to the event loop.
    void Unload();

    // Position of the window's outer corner on the screen, in screen pixels (single precision
    // like the design's twips, rounded to the nearest pixel when written).
    float Left() const;
    void setLeft(float left);
    float Top() const;
    void setTop(float top);

    // Where the client area starts in window pixels, the origin of a window region.
    QPoint clientOffset() const { return clientOffset_; }

    bool showInTaskbar() const { return showInTaskbar_; }

signals:
    void Unloaded();

protected:
    virtual void Form_Load() {}
    void setClientOffset(QPoint offset) { clientOffset_ = offset; }
    // Takes effect when the window is first shown.
    void setShowInTaskbar(bool show) { showInTaskbar_ = show; }
    // Client width and height in pixels; the window cannot be resized.
    void setClientSize(int width, int height);
    Platform& platform() const { return platform_; }

private:
    void centreOnPrimaryScreen();

    Platform& platform_;
    QPoint clientOffset_;
    bool showInTaskbar_ = true;
    bool loaded_ = false;
    bool shown_ = false;
};
