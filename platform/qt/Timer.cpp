#include "platform/Timer.h"

#include "platform/qt/Natives.h"

Timer::Timer(Form& form, int interval)
    : Control(form)
    , native_(std::make_unique<Native>([this] { Tick(); })) {
    setInterval(interval);
}

Timer::~Timer() = default;

void Timer::applyInterval() {
    native_->gate.setInterval(interval_);
}
