#pragma once

#include <QMenu>

class Menu;

// A pop-up menu's widget. It tells its control when it takes a left-button release: a release
// the menu takes never reaches the window beneath.
class MenuWidget : public QMenu {
    Q_OBJECT

public:
    MenuWidget(Menu& control, const QString& title, QWidget* parent);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    Menu& control_;
};
