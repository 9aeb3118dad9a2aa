#include "platform/Timer.h"

#include "platform/qt/Natives.h"

Timer::Timer(Form& form, int interval)
    : Control(form)
    , native_(std::make_unique<Native>()) {
    QObject::connect(&native_->timer, &QTimer::timeout, [this] { Tick(); });
    setInterval(interval);
}

Timer::~Timer() = default;

void Timer::applyInterval() {
    if (interval_ > 0)
        native_->timer.start(interval_);
    else
        native_->timer.stop();
}
