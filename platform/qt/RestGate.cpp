#include "platform/qt/RestGate.h"

#include <QElapsedTimer>
#include <QPointer>

#include <algorithm>
#include <vector>

namespace {

MotionWatch* watch = nullptr;
// The gate whose tick runs now; ticks run one at a time on the main thread.
RestGate* ticking = nullptr;
// How long the gates rest.
QElapsedTimer restClock;
// The gates that wait for the pointer to move. The watch listens while there are any.
std::vector<RestGate*> sleepers;

} // namespace

RestGate::RestGate(std::function<void()> tick)
    : tick(std::move(tick)) {
    if (!restClock.isValid())
        restClock.start();
    soon.setSingleShot(true);
    connect(&timer, &QTimer::timeout, this, &RestGate::fire);
    connect(&soon, &QTimer::timeout, this, &RestGate::fire);
}

RestGate::~RestGate() {
    leaveSleepers();
    if (ticking == this)
        ticking = nullptr;
}

void RestGate::useWatch(MotionWatch* newWatch) {
    watch = newWatch;
    if (watch)
        watch->moved = &RestGate::pointerMoved;
}

void RestGate::pointerRead(QPoint screen) {
    if (ticking)
        ticking->readNow = screen;
}

void RestGate::setInterval(int milliseconds) {
    interval = milliseconds;
    soon.stop();
    leaveSleepers();
    stillness.reset();
    if (milliseconds > 0)
        timer.start(milliseconds);
    else
        timer.stop();
}

void RestGate::fire() {
    readNow.reset();
    RestGate* outer = ticking;
    ticking = this;
    // The tick may end the timer's form, and the timer with it.
    const QPointer<RestGate> alive(this);
    tick();
    ticking = outer;
    if (!alive)
        return;
    if (!readNow) {
        stillness.forget();
        return;
    }
    // The tick may have stopped or restarted the timer itself.
    if (stillness.look(*readNow) && timer.isActive())
        rest(*readNow);
}

void RestGate::rest(QPoint cursor) {
    if (!watch)
        return;
    resting_ = true;
    sleepers.push_back(this);
    // The watch may be unable to see the next move, or find that the pointer has moved since
    // the tick looked: then the ticks go on as they were.
    if (!watch->listen(cursor)) {
        leaveSleepers();
        return;
    }
    stillness.rested(restClock.elapsed());
    timer.stop();
}

void RestGate::wake() {
    leaveSleepers();
    stillness.woke(restClock.elapsed());
    timer.start(interval);
    soon.start(0);
}

void RestGate::leaveSleepers() {
    if (!resting_)
        return;
    resting_ = false;
    sleepers.erase(std::remove(sleepers.begin(), sleepers.end(), this), sleepers.end());
    if (sleepers.empty() && watch)
        watch->stopListening();
}

void RestGate::pointerMoved() {
    // A copy: each wake changes the list.
    const std::vector<RestGate*> waking = sleepers;
    for (RestGate* gate : waking)
        gate->wake();
}
