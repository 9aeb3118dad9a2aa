#pragma once

#include <QPoint>

#include <functional>

// Tells when the pointer moves, so that a timer which only looks at the pointer can rest while
// it lies still (RestGate). An X11 session watches the X server's raw motion; a Wayland
// desktop's compositor pushes each move.
class MotionWatch {
public:
    virtual ~MotionWatch() = default;

    // Starts reporting moves through `moved`. `cursor` is where the last look found the pointer,
    // in screen pixels. False when this watch cannot see the next move, or the pointer has
    // already left `cursor`: then the caller keeps looking itself.
    virtual bool listen(QPoint cursor) = 0;
    // Nobody waits for a move any more.
    virtual void stopListening() {}

    // Called on the main thread at the first move after listen, and perhaps on others.
    std::function<void()> moved;

protected:
    void reportMove() {
        if (moved)
            moved();
    }
};
