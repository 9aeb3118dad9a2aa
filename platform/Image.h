#pragma once

#include "platform/Control.h"
#include "platform/Event.h"

#include <memory>

// An image control: shows its picture at the picture's own size, at a position in client
// pixels of its form, and takes the mouse events over its rectangle. While a button is held
// the control that took the press keeps getting the moves and the release, also outside it.
class Image : public Control {
public:
    // picture names a picture of the program's resources ("face.gif").
    Image(Form& form, const char* picture, int left, int top);
    ~Image() override;

    // Position within the form, in client pixels. A fractional value lands on the nearest
    // whole pixel, ties to even.
    float Left() const;
    void setLeft(float left);
    float Top() const;
    void setTop(float top);
    // Left and Top at once, each rounded as on its own: the control moves in one step, so only
    // where it stood and where it lands need repainting.
    void Move(float left, float top);
    float Width() const;
    float Height() const;

    MouseEvent MouseDown;
    MouseEvent MouseMove;
    MouseEvent MouseUp;

    struct Native;
    Native& native() const { return *native_; }

private:
    // The run-time's: moves the control to whole client pixels, repainting what changed.
    void place(int left, int top);

    std::unique_ptr<Native> native_;
};
