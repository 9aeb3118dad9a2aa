#include "platform/Image.h"

#include <cmath>

namespace {

// The nearest whole pixel, ties to even.
int nearest(float value) {
    return static_cast<int>(std::nearbyint(value));
}

} // namespace

void Image::setLeft(float left) {
    place(nearest(left), static_cast<int>(Top()));
}

void Image::setTop(float top) {
    place(static_cast<int>(Left()), nearest(top));
}

void Image::Move(float left, float top) {
    place(nearest(left), nearest(top));
}
