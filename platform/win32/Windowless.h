#pragma once

#include "platform/ApiTypes.h"

#include <windows.h>

class Canvas;

// A control with no window of its own (an image, a label): its form draws it, back to front,
// and hands it the mouse events over its rectangle.
class Windowless {
public:
    virtual ~Windowless() = default;

    // Where the control stands, in logical client pixels.
    virtual RECT box() const = 0;
    // Draws the part of the control inside area (device pixels of the canvas, at its form's
    // scale), over what lies behind it.
    virtual void paint(Canvas& canvas, const RECT& area) = 0;
    // x and y relative to the control's corner, in logical pixels.
    virtual void mouseDown(int, int, float, float) {}
    virtual void mouseMove(int, int, float, float) {}
    virtual void mouseUp(int, int, float, float) {}
    // The pointer over the control; null for the form's arrow.
    virtual HCURSOR cursor() const { return nullptr; }
};
