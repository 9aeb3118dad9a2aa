#include "platform/Timer.h"

Timer::Timer(int interval, QObject* parent)
    : QObject(parent) {
    connect(&timer_, &QTimer::timeout, this, &Timer::Tick);
    setInterval(interval);
}

void Timer::setInterval(int milliseconds) {
    interval_ = milliseconds;
    if (milliseconds > 0)
        timer_.start(milliseconds);
    else
        timer_.stop();
}
