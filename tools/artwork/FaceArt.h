#pragma once

#include <QImage>
#include <QPolygonF>
#include <QSize>
#include <QTransform>

// Size of the face picture, in pixels.
inline constexpr int faceWidth = 94;
inline constexpr int faceHeight = 138;

// The window's background colour; the face picture uses it outside the head.
inline constexpr QRgb windowBackground = 0xffe0e0e0;

// Rest points of the pupil centres, in face-picture pixels, and how far a centre moves from
// its rest point along each axis.
inline constexpr int leftEyeX = 28;
inline constexpr int rightEyeX = 63;
inline constexpr int eyeY = 80;
inline constexpr int pupilRangeX = 2;
inline constexpr int pupilRangeY = 1;

// The head outline the window is cut to, in face-picture pixels (window pixels less the
// client area's offset of (3, 22)).
QPolygonF headOutline();

enum class FaceUse {
    // The face picture: the head is painted a little past the outline so that the window cut
    // lands on it; everything else is the window's background colour. No pupils, those are
    // separate pictures.
    Window,
    // The program icon: the head ends at the outline, alpha gives the share of each pixel
    // inside it, colours are those of the head alone; pupils at their rest points.
    Icon,
};

// Renders the face into an ARGB32 image of `size` pixels. `faceToImage` maps face-picture
// pixels to image pixels. Every pixel is the mean of a grid of samples, each drawn without
// antialiasing and shaded by this program's own arithmetic, so the result is the same on every
// machine.
QImage renderFace(QSize size, const QTransform& faceToImage, FaceUse use);
