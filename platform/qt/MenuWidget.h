#pragma once

#include <QMenu>

class Menu;

// A pop-up menu's widget. It tells its control when it takes a left-button release: a release
// the menu takes never reaches the window beneath.
class MenuWidget : public QMenu {
    Q_OBJECT

public:
    MenuWidget(Menu& control, const QString& title, QWidget* parent);

    // Shows the menu with its corner at position (screen pixels) and returns once it has
    // closed: true if the left button went up meanwhile.
    bool popUp(QPoint position);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    Menu& control_;
    bool leftReleased_ = false;
};
