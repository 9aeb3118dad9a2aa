#pragma once

#include <QLabel>

#include <cstdint>

// A label control: an opaque box with its caption centred on one line, in the window's font.
class Label : public QLabel {
    Q_OBJECT

public:
    Label(const QString& caption, QWidget* parent);

    QString Caption() const { return text(); }
    void setCaption(const QString& caption) { setText(caption); }
    // Colour as 0x00BBGGRR: red in the lowest byte, blue in the third.
    std::uint32_t ForeColor() const { return foreColor_; }
    void setForeColor(std::uint32_t colour);

signals:
    // Button: 1 left, 2 right, 4 middle. X, Y: client pixels of the label.
    void MouseDown(int Button, int Shift, float X, float Y);
    void MouseUp(int Button, int Shift, float X, float Y);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    std::uint32_t foreColor_ = 0;
};
