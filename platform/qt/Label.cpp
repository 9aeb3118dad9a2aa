#include "platform/Label.h"

#include "platform/qt/Natives.h"
#include "platform/qt/QtColour.h"
#include "platform/qt/QtFont.h"
#include "platform/qt/Resources.h"

Label::Label(Form& form, const std::string& caption, int left, int top, int width, int height)
    : Control(form)
    , native_(
          std::make_unique<Native>(*this, QString::fromStdString(caption), &form.native().widget)) {
    native_->widget.setGeometry(left, top, width, height);
}

Label::~Label() = default;

std::string Label::Caption() const {
    return native_->widget.text().toStdString();
}

void Label::setCaption(const std::string& caption) {
    native_->widget.setText(QString::fromStdString(caption));
}

std::uint32_t Label::ForeColor() const {
    return native_->foreColor;
}

void Label::setForeColor(std::uint32_t colour) {
    native_->foreColor = colour;
    setPaletteColour(native_->widget, QPalette::WindowText, colour);
}

void Label::setFont(const StdFont& font) {
    native_->widget.setFont(qtFont(font));
}

void Label::setMouseIcon(const char* cursor) {
    native_->widget.setCursor(resourceCursor(cursor));
}
