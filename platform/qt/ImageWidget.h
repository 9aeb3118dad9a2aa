#pragma once

#include <QImage>
#include <QPixmap>
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

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    static bool repaintDirectly(QWidget& form, QRect a, QRect b);
    QPointF localPosition(const QMouseEvent& event) const;

    Image& control_;
    QImage picture_;
};
