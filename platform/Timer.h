#pragma once

#include "platform/Control.h"
#include "platform/Event.h"

#include <memory>

// A timer control: raises Tick every Interval milliseconds while Interval is above 0.
class Timer : public Control {
public:
    Timer(Form& form, int interval);
    ~Timer() override;

    int Interval() const;
    // 0 stops the ticks; a positive value (re)starts them with that period.
    void setInterval(int milliseconds);

    Event<> Tick;

    struct Native;
    Native& native() const { return *native_; }

private:
    // The run-time's: starts, restarts or stops the ticks to match interval_.
    void applyInterval();

    std::unique_ptr<Native> native_;
    int interval_ = 0;
};
