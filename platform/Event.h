#pragma once

#include <functional>
#include <utility>

// An event of a form or a control: the run-time raises it, and the one handler the program
// attached runs. Raised with no handler attached, it does nothing.
template <typename... Args> class Event {
public:
    template <typename Owner> void connect(Owner* owner, void (Owner::*handler)(Args...)) {
        handler_ = [owner, handler](Args... args) {
            (owner->*handler)(args...);
        };
    }
    void connect(std::function<void(Args...)> handler) { handler_ = std::move(handler); }

    void operator()(Args... args) const {
        if (handler_)
            handler_(args...);
    }

private:
    std::function<void(Args...)> handler_;
};

// Button: 1 left, 2 right, 4 middle; in a move the sum of those held. Shift: 1 shift, 2 control,
// 4 alt. X, Y: the pointer relative to the control, in client pixels of its form.
using MouseEvent = Event<int, int, float, float>;
