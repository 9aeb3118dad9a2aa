#pragma once

class Form;

// Something a form is made of. A control belongs to the form it is made on, which destroys it
// (last made first): the program makes controls with new and frees none. Controls made later
// lie in front of those made earlier.
class Control {
public:
    // Leaves its form: the form will not destroy it again.
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    Form& form() const { return form_; }

protected:
    explicit Control(Form& form);

private:
    Form& form_;
};
