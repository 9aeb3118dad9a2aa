#pragma once

#include <QLabel>

class Label;

// A label control's widget: an opaque box with its caption centred on one line, raising the
// control's mouse events in client pixels of the label.
class LabelWidget : public QLabel {
    Q_OBJECT

public:
    LabelWidget(Label& control, const QString& caption, QWidget* parent);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    Label& control_;
};
