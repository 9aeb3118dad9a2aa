#include "platform/Image.h"

#include "platform/qt/Natives.h"
#include "platform/qt/Resources.h"

Image::Image(Form& form, const char* picture, int left, int top)
    : Control(form)
    , native_(std::make_unique<Native>(*this, resourcePicture(picture), &form.native().widget)) {
    native_->widget.move(left, top);
}

Image::~Image() = default;

float Image::Left() const {
    return static_cast<float>(native_->widget.x());
}

float Image::Top() const {
    return static_cast<float>(native_->widget.y());
}

void Image::place(int left, int top) {
    native_->widget.moveTo(QPoint(left, top));
}

float Image::Width() const {
    return static_cast<float>(native_->widget.width());
}

float Image::Height() const {
    return static_cast<float>(native_->widget.height());
}
