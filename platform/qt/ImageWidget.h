#pragma once

#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

class Image;

// An image control's widget: paints its picture at its own size and raises the control's mouse
// events with the button codes and client-pixel coordinates of the form's scale. A move
// repaints only where the control stood and where it lands, and writes those pixels to the
// screen itself where it can (see DirectRepaint).
class ImageWidget : public QWidget {
    Q_OBJECT

public:
    ImageWidget(Image& control, const QPixmap& picture, QWidget* parent);

    // Moves to position (client pixels) and repaints what the move changed.
    void moveTo(QPoint position);

    // A pop-up menu is taking the pointer, and with it the release of a left press that an
    // image took and has not had the release of: that image has its MouseUp now, at the
    // pointer, and the release itself, should it come later, is not reported again.
    static void pointerTaken();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    static bool repaintDirectly(QWidget& form, QRect a, QRect b);
    QPointF localPosition(QPointF global) const;
    void raiseLeftUp(QPointF global, Qt::KeyboardModifiers modifiers);

    // The image that took the left press and has not had its release yet.
    static QPointer<ImageWidget> leftPressed_;

    Image& control_;
    QImage picture_;
};
