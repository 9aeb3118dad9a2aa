#pragma once

#include <QObject>

#include <cstdint>

class QAction;
class QMenu;

// The run-time's Boolean: true is -1, so bitwise negation flips it.
using VbBoolean = std::int16_t;
inline constexpr VbBoolean vbTrue = -1;
inline constexpr VbBoolean vbFalse = 0;

// One entry of a menu; a caption of "-" makes a separator. The check mark belongs to the
// program: a click does not flip it, the Click handler does.
class MenuEntry : public QObject {
    Q_OBJECT

public:
    MenuEntry(const QString& caption, QMenu& menu);

    QString Caption() const;
    VbBoolean Checked() const;
    void setChecked(VbBoolean checked);
    QAction& action() const { return *action_; }

signals:
    void Click();

private:
    QAction* action_;
};
