#include "platform/Timer.h"

#include "platform/qt/Natives.h"

Timer::Timer(Form& form, int interval)
    : Control(form)
    , native_(std::make_unique<Native>([this] { Tick(); })) {
    setInterval(interval);
}

Timer::~Timer() = default;

int Timer::Interval() const {
    return native_->interval;
}

void Timer::setInterval(int milliseconds) {
    native_->interval = milliseconds;
    native_->gate.setInterval(milliseconds);
}
