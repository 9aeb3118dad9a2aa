#include "platform/Timer.h"

int Timer::Interval() const {
    return interval_;
}

void Timer::setInterval(int milliseconds) {
    interval_ = milliseconds;
    applyInterval();
}
