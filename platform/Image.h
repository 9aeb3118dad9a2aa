#pragma once

#include <QImage>
#include <QPixmap>
#include <QWidget>

// An image control: shows its picture at its own size and reports the mouse with the button
// codes and client-pixel coordinates of the form's scale. A move repaints only where the
// control stood and where it lands, and writes those pixels to the screen itself where it
// can (see DirectRepaint).
class Image : public QWidget {
    Q_OBJECT

public:
    Image(const QPixmap& picture, QWidget* parent);

    // Position within the form, in client pixels. A fractional value lands on the nearest
    // whole pixel, ties to even.
    float Left() const { return static_cast<float>(x()); }
    void setLeft(float left);
    float Top() const { return static_cast<float>(y()); }
    void setTop(float top);
    // Left and Top at once, each rounded as on its own: the control moves in one step, so only
    // where it stood and where it lands need repainting.
    void Move(float left, float top);
    float Width() const { return static_cast<float>(width()); }
    float Height() const { return static_cast<float>(height()); }

signals:
    // Button: 1 left, 2 right, 4 middle; in MouseMove the sum of those held. Shift: 1 shift,
    // 2 control, 4 alt. X, Y: the pointer relative to this control, in client pixels.
    void MouseDown(int Button, int Shift, float X, float Y);
    void MouseMove(int Button, int Shift, float X, float Y);
    void MouseUp(int Button, int Shift, float X, float Y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void moveTo(QPoint position);
    static bool repaintDirectly(QWidget& form, QRect a, QRect b);
    QPointF localPosition(const QMouseEvent& event) const;

    QImage picture_;
};
