#pragma once

#include <QWidget>

class Form;

// The top-level widget of a form. A request to close it (the close box, the window manager's
// close) goes to the form's Form_QueryUnload instead of closing it.
class FormWidget : public QWidget {
    Q_OBJECT

public:
    explicit FormWidget(Form& form);

    Form& form() const { return form_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    Form& form_;
};
