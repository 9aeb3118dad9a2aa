#include "platform/Timer.h"

#include "platform/win32/Natives.h"

#include <algorithm>

Timer::Native::Native(Timer& control, Form::Native& form)
    : control(control)
    , form(form) {}

// A window timer of the form's window: its ticks are WM_TIMER messages, so they wait while a
// handler runs and arrive between other events. Setting it again restarts the period.
void Timer::Native::apply() {
    if (!form.hwnd)
        return;
    const int interval = control.Interval();
    if (interval > 0)
        SetTimer(form.hwnd, id(), static_cast<UINT>(interval), nullptr);
    else
        KillTimer(form.hwnd, id());
}

void Timer::Native::stop() {
    if (form.hwnd)
        KillTimer(form.hwnd, id());
}

Timer::Timer(Form& form, int interval)
    : Control(form)
    , native_(std::make_unique<Native>(*this, form.native()))
    , interval_(interval) {
    form.native().timers.push_back(native_.get());
    native_->apply();
}

Timer::~Timer() {
    native_->stop();
    auto& timers = native_->form.timers;
    timers.erase(std::remove(timers.begin(), timers.end(), native_.get()), timers.end());
}

void Timer::applyInterval() {
    native_->apply();
}
