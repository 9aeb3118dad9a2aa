#pragma once

#include "platform/qt/MotionWatch.h"
#include "platform/qt/Stillness.h"

#include <QObject>
#include <QPoint>
#include <QTimer>

#include <functional>
#include <optional>

// A periodic timer that rests while the pointer does. The ticks look at the pointer (the
// platform reports each look through pointerRead), and once they have found it still for a
// whole interval (Stillness decides) the ticks stop; the program's MotionWatch starts them
// again at the next move, with a tick at once and then one every interval, until the pointer
// has lain still once more. Without a watch, or while it cannot watch, the timer ticks every
// interval whatever happens.
//
// A tick that does not look at the pointer never lets the timer rest: only a tick whose whole
// business is the pointer's position may be left out while the pointer stays put.
class RestGate : public QObject {
public:
    explicit RestGate(std::function<void()> tick);
    ~RestGate() override;

    // Ticks every `milliseconds` from now on; 0 stops the ticks.
    void setInterval(int milliseconds);
    // Started, and waiting for the pointer to move.
    bool resting() const { return resting_; }

    // The program's watch, or none. Set before any timer starts; the watch must outlive them.
    static void useWatch(MotionWatch* watch);
    // The platform saw the pointer at `screen` (screen pixels) for the tick that runs now, if
    // one runs.
    static void pointerRead(QPoint screen);

private:
    void fire();
    void rest(QPoint cursor);
    void wake();
    void leaveSleepers();
    static void pointerMoved();

    std::function<void()> tick;
    QTimer timer;
    // The tick that follows a move, at once.
    QTimer soon;
    int interval = 0;
    bool resting_ = false;
    // Where this tick found the pointer, if it looked.
    std::optional<QPoint> readNow;
    Stillness stillness;
};
