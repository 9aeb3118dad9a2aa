#pragma once

class Form;

// Something a form is made of. A control belongs to the form it is made on, which destroys it:
// the program makes controls with new and frees none. Controls made later lie in front of
// those made earlier.
class Control {
public:
    virtual ~Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    Form& form() const { return form_; }

protected:
    explicit Control(Form& form);

private:
    Form& form_;
};
