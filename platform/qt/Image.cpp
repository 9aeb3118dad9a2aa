#include "platform/Image.h"

#include "platform/qt/Natives.h"
#include "platform/qt/Resources.h"

#include <cmath>

namespace {

int nearest(float value) {
    return static_cast<int>(std::nearbyint(value));
}

} // namespace

Image::Image(Form& form, const char* picture, int left, int top)
    : Control(form)
    , native_(std::make_unique<Native>(*this, resourcePicture(picture), &form.native().widget)) {
    native_->widget.move(left, top);
}

Image::~Image() = default;

float Image::Left() const {
    return static_cast<float>(native_->widget.x());
}

void Image::setLeft(float left) {
    native_->widget.moveTo(QPoint(nearest(left), native_->widget.y()));
}

float Image::Top() const {
    return static_cast<float>(native_->widget.y());
}

void Image::setTop(float top) {
    native_->widget.moveTo(QPoint(native_->widget.x(), nearest(top)));
}

void Image::Move(float left, float top) {
    native_->widget.moveTo(QPoint(nearest(left), nearest(top)));
}

float Image::Width() const {
    return static_cast<float>(native_->widget.width());
}

float Image::Height() const {
    return static_cast<float>(native_->widget.height());
}
