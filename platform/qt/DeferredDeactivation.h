#pragma once

#include <QAbstractNativeEventFilter>

#include <memory>

class QEventLoop;

// Qt's xcb layer does not deactivate the application at a FocusOut of one of its windows: it
// waits 100 ms for a FocusIn of another, then deactivates it, and deactivating it closes every
// pop-up menu. Those 100 ms run on the clock, while the FocusIn that calls them off counts only
// once the event loop has handled it. A menu opened by a click that comes just after a FocusOut
// (another window took the focus, or the last menu's keyboard grab ended while another window
// held it) takes the focus back with its keyboard grab; on a slow machine the grab's FocusIn is
// handled after the 100 ms have run out, and the menu closes the moment it appears. This filter
// follows the focus events the toolkit handles, so that a menu can let such a deactivation
// happen first.
class DeferredDeactivation : public QAbstractNativeEventFilter {
public:
    // Null when the program does not run on Qt's xcb platform.
    static std::unique_ptr<DeferredDeactivation> open();
    ~DeferredDeactivation() override;

    // Runs the event loop, leaving user input queued, until the deactivation that a FocusOut
    // already handled is to bring has come, or a FocusIn has called it off; at most one second.
    void settle();

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    DeferredDeactivation() = default;
    bool pending() const;

    // The last focus event the toolkit handled for one of the program's windows was a FocusOut.
    bool focusLost = false;
    // The loop settle() runs, while it runs.
    QEventLoop* waiting = nullptr;
};
