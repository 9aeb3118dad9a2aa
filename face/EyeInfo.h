#pragma once

#include "platform/ApiTypes.h"

#include <cstdint>

// One eye, in client pixels of the face window: the point the pupil's centre rests on, and the
// largest distance of that centre from it along each axis.
struct EyeInfo {
    std::int32_t CenterX = 0;
    std::int32_t CenterY = 0;
    std::int32_t RangeX = 0;
    std::int32_t RangeY = 0;
};

// A corner of the head outline, in window pixels: from the outer top-left corner of a window
// with a fixed dialog frame and caption bar (see Form1's client offset).
using OutlinePoint = PointApi;

struct PupilCentre {
    float px = 0;
    float py = 0;
};

// Where the pupil's centre goes for a cursor at (X, Y) client pixels: on the ellipse with
// half-axes RangeX, RangeY around the rest point, in the cursor's direction; the rest point
// itself when the cursor is exactly on it. Each single-precision intermediate is computed in
// double and rounded once as it is stored, so results match across compilers.
PupilCentre aimPupil(const EyeInfo& eye, float X, float Y);
