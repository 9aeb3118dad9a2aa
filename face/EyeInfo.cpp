#include "face/EyeInfo.h"

#include <cmath>

PupilCentre aimPupil(const EyeInfo& eye, float X, float Y) {
    float dx = static_cast<float>(static_cast<double>(X) - eye.CenterX);
    float dy = static_cast<float>(static_cast<double>(Y) - eye.CenterY);
    // The sum of squares stays in double up to the root.
    const float d =
        static_cast<float>(std::sqrt(static_cast<double>(dx) * dx + static_cast<double>(dy) * dy));
    if (d > 0) {
        dx = static_cast<float>(static_cast<double>(dx) / d);
        dy = static_cast<float>(static_cast<double>(dy) / d);
    } else {
        dx = 0;
        dy = 0;
    }
    // Direction first, in pixel space, then scaled per axis: the centre lands on the rim of
    // the ellipse however near or far the cursor is.
    return {static_cast<float>(static_cast<double>(dx) * eye.RangeX + eye.CenterX),
            static_cast<float>(static_cast<double>(dy) * eye.RangeY + eye.CenterY)};
}
