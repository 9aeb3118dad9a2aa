#include "platform/win32/Scale.h"

#include <cmath>

namespace {

// Rounds towards minus infinity, also for the negative positions left of or above a window.
int floorDivide(long long numerator, long long denominator) {
    long long quotient = numerator / denominator;
    if ((numerator % denominator != 0) && ((numerator < 0) != (denominator < 0)))
        --quotient;
    return static_cast<int>(quotient);
}

} // namespace

int Scale::toDevice(int logical, int dpi) {
    return floorDivide(static_cast<long long>(logical) * dpi + standard / 2, standard);
}

// The largest x with toDevice(x) <= device: the pixel whose block holds the device pixel.
int Scale::logicalPixel(int device, int dpi) {
    return floorDivide(static_cast<long long>(device) * standard + standard / 2 - 1, dpi);
}

double Scale::toLogical(int device, int dpi) {
    return static_cast<double>(device) * standard / dpi;
}

int Scale::nearestDevice(float logical, int dpi) {
    return static_cast<int>(std::nearbyint(static_cast<double>(logical) * dpi / standard));
}
