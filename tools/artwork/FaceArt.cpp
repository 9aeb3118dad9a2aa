#include "FaceArt.h"

#include <QPainter>
#include <QPainterPath>
#include <QPen>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace {

// Samples per pixel along each axis.
constexpr int supersample = 8;

// The right half of the face mirrors the left about this vertical line (between the two eye
// rest points), in face-picture pixels.
constexpr double mirrorAxis = (leftEyeX + rightEyeX) / 2.0;

// What a sample shows. The drawing pass paints these as the red channel of a plain image;
// the shading pass turns them into colours.
enum Material : std::uint8_t {
    Background,
    Skin,
    Crease, // lines in the skin: nose, ears, smile
    EarSkin,
    EarShade, // the hollow of an ear
    Hair,
    HairLight,
    HairDark,
    Brow,
    EyeWhite,
    Lid,
    Mouth,
    Teeth,
    Tongue,
    LipLine,
    Pupil,
};

bool isHair(int m) {
    return m == Hair || m == HairLight || m == HairDark;
}

struct Rgb {
    double r = 0;
    double g = 0;
    double b = 0;
};

constexpr Rgb hex(std::uint32_t v) {
    return {double((v >> 16) & 0xff), double((v >> 8) & 0xff), double(v & 0xff)};
}

Rgb mix(Rgb a, Rgb b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

double clamp01(double v) {
    return std::clamp(v, 0.0, 1.0);
}

double smoothstep(double edge0, double edge1, double v) {
    const double t = clamp01((v - edge0) / (edge1 - edge0));
    return t * t * (3 - 2 * t);
}

// Three-stop ramp: shadow at 0, base at 0.5, lit at 1.
Rgb ramp(Rgb shadow, Rgb base, Rgb lit, double t) {
    t = clamp01(t);
    return t < 0.5 ? mix(shadow, base, t * 2) : mix(base, lit, (t - 0.5) * 2);
}

// Diffuse light on an ellipsoid around (cx, cy) with half-axes rx, ry (face pixels), lit from
// the upper left and a little from the front. Returns roughly 0 (turned away) to 1 (facing
// the light).
double lambert(double x, double y, double cx, double cy, double rx, double ry) {
    double nx = (x - cx) / rx;
    double ny = (y - cy) / ry;
    double s = nx * nx + ny * ny;
    // Near and past the silhouette keep a grazing normal instead of a degenerate one.
    constexpr double maxS = 0.96;
    if (s > maxS) {
        const double k = std::sqrt(maxS / s);
        nx *= k;
        ny *= k;
        s = maxS;
    }
    const double nz = std::sqrt(1 - s);
    constexpr double lx = -0.48, ly = -0.58, lz = 0.66; // unit length
    return clamp01(nx * lx + ny * ly + nz * lz);
}

// ---- Geometry, in face-picture pixels -------------------------------------------------------

QPointF mirrored(QPointF p) {
    return {2 * mirrorAxis - p.x(), p.y()};
}

QPainterPath mirrored(const QPainterPath& path) {
    QTransform flip(-1, 0, 0, 1, 2 * mirrorAxis, 0);
    return flip.map(path);
}

// A superellipse |dx/a|^n + |dy/b|^n = 1: rounder at the corners than an ellipse, so the white
// of an eye can cover the square a pupil sweeps without growing too tall.
QPolygonF superellipse(QPointF centre, double a, double b, double n, double fromAngle,
                       double toAngle, int steps) {
    QPolygonF points;
    for (int i = 0; i <= steps; ++i) {
        const double t = fromAngle + (toAngle - fromAngle) * i / steps;
        const double c = std::cos(t);
        const double s = std::sin(t);
        const double px = std::copysign(std::pow(std::abs(c), 2 / n), c);
        const double py = std::copysign(std::pow(std::abs(s), 2 / n), s);
        points << QPointF(centre.x() + a * px, centre.y() + b * py);
    }
    return points;
}

constexpr double pi = 3.14159265358979323846;

struct EyeShape {
    QPainterPath white;
    QPainterPath upperLid;
};

EyeShape eyeShape(double cx, double size) {
    const QPointF centre(cx, eyeY);
    EyeShape eye;
    eye.white.addPolygon(superellipse(centre, 8.3 * size, 7.4 * size, 2.7, 0, 2 * pi, 96));
    eye.white.closeSubpath();
    // Upper half, y pointing down: angles between pi and 2 pi; the lid reaches further round
    // the outer corner than the inner one.
    const bool left = cx < mirrorAxis;
    const double outer = left ? pi + 0.1 : 2 * pi - 0.1;
    const double inner = left ? 2 * pi - 0.45 : pi + 0.45;
    eye.upperLid.addPolygon(superellipse(centre, 8.3 * size, 7.4 * size, 2.7, outer, inner, 48));
    return eye;
}

QPainterPath leftBrow() {
    QPainterPath brow;
    brow.moveTo(17.5, 68.5);
    brow.cubicTo(20, 62.5, 30, 60.5, 37.5, 65);
    brow.cubicTo(30, 63.2, 21, 64.8, 17.5, 68.5);
    return brow;
}

QPainterPath hairShape() {
    QPainterPath hair;
    hair.moveTo(-8, -8);
    hair.lineTo(102, -8);
    hair.lineTo(102, 56);
    // Right sideburn, down to the top of the ear.
    hair.cubicTo(94, 58, 90, 61, 86.5, 60.5);
    hair.cubicTo(85, 58.5, 84, 56, 84, 53);
    // Fringe, right to left: locks combed towards the viewer's left, each ending in a point.
    hair.cubicTo(82, 50, 80, 47, 76, 45);
    hair.cubicTo(74, 49, 72, 52, 68, 53);
    hair.cubicTo(68, 49, 66, 46, 62, 43.5);
    hair.cubicTo(60, 48, 57, 51, 52, 52.5);
    hair.cubicTo(53, 48, 51, 45, 47, 42.5);
    hair.cubicTo(45, 47, 41, 50, 36, 51.5);
    hair.cubicTo(37, 47, 35, 44.5, 32, 43);
    hair.cubicTo(29, 48, 25, 51, 20, 53);
    hair.cubicTo(21, 50, 20, 48, 18, 46.5);
    hair.cubicTo(16, 50, 13, 52, 10, 53);
    // Left sideburn.
    hair.cubicTo(9.5, 56, 9.5, 60, 8.5, 63.5);
    hair.cubicTo(5, 63.5, 1, 61, -8, 60);
    hair.closeSubpath();
    return hair;
}

// Strands inside the hair, drawn as thin strokes: light ones where the hair faces the light,
// dark ones between locks.
void addStrands(QPainterPath& light, QPainterPath& dark) {
    // From the crown (around x 40, y 4) outwards and down to the fringe.
    dark.moveTo(76, 45.5);
    dark.cubicTo(72, 34, 62, 22, 48, 10);
    dark.moveTo(62, 44);
    dark.cubicTo(58, 32, 52, 22, 42, 12);
    dark.moveTo(47, 43);
    dark.cubicTo(44, 32, 40, 22, 36, 14);
    dark.moveTo(32, 43.5);
    dark.cubicTo(30, 34, 28, 26, 28, 17);
    dark.moveTo(18, 47);
    dark.cubicTo(16, 38, 16, 30, 20, 22);
    dark.moveTo(86, 58);
    dark.cubicTo(88, 44, 82, 28, 66, 14);
    dark.moveTo(8, 58);
    dark.cubicTo(6, 48, 8, 38, 14, 26);

    light.moveTo(24, 44);
    light.cubicTo(22, 34, 24, 22, 30, 12);
    light.moveTo(38, 40);
    light.cubicTo(35, 30, 33, 20, 34, 10);
    light.moveTo(54, 40);
    light.cubicTo(50, 30, 46, 20, 40, 8);
    light.moveTo(12, 46);
    light.cubicTo(10, 38, 12, 28, 18, 18);
    light.moveTo(70, 42);
    light.cubicTo(66, 30, 58, 18, 50, 8);
    // The tuft on the crown.
    light.moveTo(15.5, 12);
    light.cubicTo(19, 10, 24, 9, 30, 10);
    dark.moveTo(17, 17);
    dark.cubicTo(20, 14, 25, 13, 31, 13);
}

// Signed distance from p to the outline, positive inside, in face pixels.
double signedDistance(const QPolygonF& outline, QPointF p) {
    double best = 1e9;
    bool inside = false;
    const int n = static_cast<int>(outline.size());
    for (int i = 0, j = n - 1; i < n; j = i++) {
        const QPointF a = outline[j];
        const QPointF b = outline[i];
        const double ex = b.x() - a.x();
        const double ey = b.y() - a.y();
        const double len2 = ex * ex + ey * ey;
        double t = len2 > 0 ? ((p.x() - a.x()) * ex + (p.y() - a.y()) * ey) / len2 : 0;
        t = clamp01(t);
        const double dx = p.x() - (a.x() + t * ex);
        const double dy = p.y() - (a.y() + t * ey);
        best = std::min(best, dx * dx + dy * dy);
        if ((a.y() > p.y()) != (b.y() > p.y()) && p.x() < a.x() + (p.y() - a.y()) * ex / ey)
            inside = !inside;
    }
    const double d = std::sqrt(best);
    return inside ? d : -d;
}

// ---- Colours ---------------------------------------------------------------------------------

constexpr Rgb skinShadow = hex(0xb87452);
constexpr Rgb skinBase = hex(0xf0b892);
constexpr Rgb skinLit = hex(0xffe2c8);
constexpr Rgb skinRim = hex(0x6e3a24);
constexpr Rgb blush = hex(0xf08878);
constexpr Rgb hairShadow = hex(0x2e160a);
constexpr Rgb hairBase = hex(0x76401e);
constexpr Rgb hairLit = hex(0xb87238);
constexpr Rgb hairGloss = hex(0xe0a868);
constexpr Rgb hairRim = hex(0x1e0e06);

Rgb skinAt(double x, double y) {
    Rgb c = ramp(skinShadow, skinBase, skinLit, lambert(x, y, 47, 76, 52, 74) * 1.15 - 0.05);
    // Rosy cheeks below and outside the eyes.
    for (double cx : {21.0, 2 * mirrorAxis - 21.0}) {
        const double dx = x - cx;
        const double dy = y - 97;
        c = mix(c, blush, 0.32 * std::exp(-(dx * dx + dy * dy) / (2 * 5.5 * 5.5)));
    }
    return c;
}

Rgb hairAt(double x, double y) {
    const double t = lambert(x, y, 44, 40, 54, 50);
    Rgb c = ramp(hairShadow, hairBase, hairLit, t * 1.1);
    // A soft sheen band across the upper left of the crown.
    const double dx = x - 40;
    const double dy = y - 38;
    const double r = std::sqrt(dx * dx * 0.8 + dy * dy);
    const double band = std::exp(-std::pow((r - 27) / 5.0, 2)) * smoothstep(60, 20, x);
    return mix(c, hairGloss, 0.45 * band);
}

// rim: distance to the outline in image pixels (positive inside); shadowed: hair lies just
// towards the light from here.
Rgb shade(int material, double x, double y, double rim, bool shadowed) {
    Rgb c;
    bool hairFamily = false;
    switch (material) {
    case Skin:
        c = skinAt(x, y);
        break;
    case Crease:
        c = mix(skinAt(x, y), hex(0x8e4e32), 0.62);
        break;
    case EarSkin:
        c = mix(skinAt(x, y), hex(0xe09a7c), 0.3);
        break;
    case EarShade:
        c = mix(skinAt(x, y), hex(0xa86040), 0.7);
        break;
    case Hair:
        c = hairAt(x, y);
        hairFamily = true;
        break;
    case HairLight:
        c = mix(hairAt(x, y), hairGloss, 0.4);
        hairFamily = true;
        break;
    case HairDark:
        c = mix(hairAt(x, y), hairShadow, 0.55);
        hairFamily = true;
        break;
    case Brow:
        c = mix(hex(0x3a1c0c), hex(0x5a3018), smoothstep(70, 62, y));
        break;
    case EyeWhite: {
        // The upper lid shades the top of the eyeball a little, bluish.
        const double fromTop = (y - (eyeY - 7.4)) / 14.8;
        c = mix(hex(0xe2e6ee), hex(0xfffefc), smoothstep(0.05, 0.4, fromTop));
        break;
    }
    case Lid:
        c = hex(0x341c12);
        break;
    case Mouth:
        c = mix(hex(0x5a1216), hex(0x8a2a26), smoothstep(108, 118, y));
        break;
    case Teeth:
        c = mix(hex(0xfbf8f2), hex(0xdcd4cc), smoothstep(109, 113.5, y));
        break;
    case Tongue:
        c = mix(hex(0xc84e50), hex(0xe07470), smoothstep(116, 121, y));
        break;
    case LipLine:
        c = hex(0x6e2a22);
        break;
    case Pupil:
        c = hex(0x140c08);
        break;
    default:
        return hex(windowBackground & 0xffffff);
    }
    if (shadowed && !hairFamily)
        c = mix(c, skinShadow, 0.55);
    // A darker rim just inside the outline makes a clean silhouette against any desktop.
    const double keep = smoothstep(0.35, 1.6, rim);
    if (keep < 1)
        c = mix(hairFamily ? hairRim : skinRim, c, keep);
    return c;
}

// ---- Drawing ---------------------------------------------------------------------------------

class SamplePainter {
public:
    explicit SamplePainter(QImage& target, const QTransform& faceToSamples)
        : painter(&target) {
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setTransform(faceToSamples);
    }

    void fill(const QPainterPath& path, Material m) { painter.fillPath(path, QColor(m, 0, 0)); }
    void stroke(const QPainterPath& path, Material m, double width) {
        QPen pen(QColor(m, 0, 0), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        painter.strokePath(path, pen);
    }
    void clipTo(const QPainterPath& path) { painter.setClipPath(path); }
    void noClip() { painter.setClipping(false); }

private:
    QPainter painter;
};

void drawEar(SamplePainter& p, bool right) {
    auto place = [right](const QPainterPath& path) {
        return right ? mirrored(path) : path;
    };
    // The hollow and the rim of the ear, in the left ear's place; the right ear is its
    // mirror image moved out to where the outline bulges.
    QPainterPath ear;
    ear.moveTo(11, 61);
    ear.cubicTo(4, 57, -3, 62, -3, 76);
    ear.cubicTo(-3, 88, 4, 96, 11, 94);
    ear.closeSubpath();
    QPainterPath hollow;
    hollow.addEllipse(QPointF(7, 77), 2.2, 7.5);
    QPainterPath helix;
    helix.moveTo(10, 64.5);
    helix.cubicTo(5.5, 65.5, 4.2, 72, 4.4, 78);
    helix.cubicTo(4.6, 85, 6.5, 89, 9.5, 91.5);
    QPainterPath joint; // where the ear meets the cheek
    joint.moveTo(10.8, 64);
    joint.cubicTo(11.8, 72, 11.8, 84, 11, 93);

    QTransform shift;
    if (right)
        shift.translate(-1, -4); // the outline's right ear sits a little further in and up
    p.fill(shift.map(place(ear)), EarSkin);
    p.fill(shift.map(place(hollow)), EarShade);
    p.stroke(shift.map(place(helix)), Crease, 1.3);
    p.stroke(shift.map(place(joint)), EarShade, 1.2);
}

void drawScene(SamplePainter& p, const QPolygonF& outline, FaceUse use) {
    // At icon size a face pixel is a quarter of an image pixel: the lines that carry the
    // expression (lids, brows, nose, mouth) are drawn this much wider there to stay readable.
    const double line = use == FaceUse::Icon ? 2.6 : 1.0;

    QPainterPath head;
    head.addPolygon(outline);
    head.closeSubpath();
    p.fill(head, Skin);
    if (use == FaceUse::Window)
        p.stroke(head, Skin, 5.0); // past the edge, so the window cut lands on the head

    drawEar(p, false);
    drawEar(p, true);

    const QPainterPath hair = hairShape();
    p.fill(hair, Hair);
    QPainterPath light, dark;
    addStrands(light, dark);
    p.clipTo(hair);
    p.stroke(dark, HairDark, 1.1);
    p.stroke(light, HairLight, 1.0);
    p.noClip();

    const QPainterPath brow = leftBrow();
    p.fill(brow, Brow);
    p.stroke(brow, Brow, 0.6 * line);
    p.fill(mirrored(brow), Brow);
    p.stroke(mirrored(brow), Brow, 0.6 * line);

    for (int cx : {leftEyeX, rightEyeX}) {
        // In the icon a full outline would swallow the white; it gets a larger eye and only
        // the upper lid.
        const EyeShape eye = eyeShape(cx, use == FaceUse::Icon ? 1.2 : 1.0);
        p.fill(eye.white, EyeWhite);
        if (use == FaceUse::Window)
            p.stroke(eye.white, Lid, 1.3);
        p.stroke(eye.upperLid, Lid, use == FaceUse::Icon ? 4.0 : 2.2);
        if (use == FaceUse::Icon) {
            QPainterPath pupil;
            pupil.addRoundedRect(QRectF(cx - 3.5, eyeY - 5, 7, 10), 3, 3);
            p.fill(pupil, Pupil);
        }
    }

    // Nose: its outline on the right, the side away from the light.
    QPainterPath nose;
    nose.moveTo(48.5, 82);
    nose.cubicTo(49.5, 88, 52.5, 92, 51, 96);
    nose.cubicTo(50, 98.8, 46.5, 99.5, 44, 98.2);
    p.stroke(nose, Crease, 1.2 * line);
    QPainterPath nostrils;
    nostrils.addEllipse(QPointF(42.2, 96.8), 1.3, 0.9);
    nostrils.addEllipse(QPointF(48.4, 97.2), 1.1, 0.8);
    p.fill(nostrils, Crease);

    // Smile, open, with teeth above and the tongue below.
    const QPointF leftCorner(31, 108);
    const QPointF rightCorner = mirrored(leftCorner);
    QPainterPath mouth;
    mouth.moveTo(leftCorner);
    mouth.cubicTo(38, 111.5, 53, 111.5, rightCorner.x(), rightCorner.y());
    mouth.cubicTo(56, 123, 35, 123, leftCorner.x(), leftCorner.y());
    mouth.closeSubpath();
    p.fill(mouth, Mouth);
    p.clipTo(mouth);
    QPainterPath teeth;
    teeth.moveTo(25, 100);
    teeth.lineTo(66, 100);
    teeth.lineTo(66, 106.5);
    teeth.cubicTo(53, 115.5, 38, 115.5, 25, 106.5);
    teeth.closeSubpath();
    p.fill(teeth, Teeth);
    QPainterPath tongue;
    tongue.addEllipse(QPointF(mirrorAxis + 1, 121.5), 9.5, 4.8);
    p.fill(tongue, Tongue);
    p.noClip();
    p.stroke(mouth, LipLine, 1.1 * line);
    QPainterPath dimple;
    dimple.moveTo(29.2, 105.2);
    dimple.cubicTo(28.4, 107, 28.8, 109, 30.4, 110.6);
    p.stroke(dimple, Crease, 0.9);
    p.stroke(mirrored(dimple), Crease, 0.9);
    QPainterPath chin; // the fold under the lower lip
    chin.moveTo(40, 124.8);
    chin.cubicTo(43, 126.2, 48, 126.2, 51, 124.8);
    p.stroke(chin, Crease, 0.9);
}

} // namespace

QPolygonF headOutline() {
    // Window pixels, as the window's shape is defined.
    static constexpr std::array<std::array<int, 2>, 50> window{{
        {4, 89},   {4, 78},   {5, 77},   {5, 70},   {9, 58},   {10, 56},  {11, 52},  {18, 44},
        {19, 40},  {19, 38},  {17, 33},  {20, 29},  {26, 27},  {32, 24},  {42, 23},  {62, 24},
        {68, 26},  {77, 30},  {81, 33},  {87, 43},  {90, 47},  {92, 60},  {95, 62},  {94, 68},
        {95, 75},  {93, 89},  {92, 91},  {92, 99},  {90, 103}, {88, 111}, {87, 116}, {81, 120},
        {80, 133}, {74, 143}, {66, 151}, {56, 158}, {38, 158}, {29, 151}, {25, 150}, {18, 141},
        {14, 131}, {13, 121}, {13, 118}, {8, 111},  {7, 104},  {8, 100},  {8, 96},   {6, 94},
        {5, 90},   {4, 89},
    }};
    QPolygonF outline;
    for (const auto& [x, y] : window)
        outline << QPointF(x - 3, y - 22);
    return outline;
}

QImage renderFace(QSize size, const QTransform& faceToImage, FaceUse use) {
    const QPolygonF outline = headOutline();
    const QTransform faceToSamples = faceToImage * QTransform::fromScale(supersample, supersample);

    QImage samples(size * supersample, QImage::Format_RGB32);
    samples.fill(QColor(Background, 0, 0));
    {
        SamplePainter painter(samples, faceToSamples);
        drawScene(painter, outline, use);
    }
    // Features near the edge (hair, ears) are drawn freely; whatever lies outside the head
    // area goes back to background here.
    QImage area(samples.size(), QImage::Format_RGB32);
    area.fill(QColor(Background, 0, 0));
    {
        SamplePainter painter(area, faceToSamples);
        QPainterPath head;
        head.addPolygon(outline);
        head.closeSubpath();
        painter.fill(head, Skin);
        if (use == FaceUse::Window)
            painter.stroke(head, Skin, 5.0);
    }

    const QTransform samplesToFace = faceToSamples.inverted();
    // Image pixels per face pixel, for the rim width; the transform keeps aspect.
    const double scale = std::hypot(faceToImage.m11(), faceToImage.m12());
    // Where a sample looks for hair that would shade it: up and to the left, toward the light.
    const QPointF shadowProbe = faceToSamples.map(QPointF(1.2, 1.8)) - faceToSamples.map(QPointF());

    auto materialAt = [&](int sx, int sy) {
        if (sx < 0 || sy < 0 || sx >= samples.width() || sy >= samples.height())
            return int(Background);
        if (qRed(area.pixel(sx, sy)) == Background)
            return int(Background);
        return qRed(samples.pixel(sx, sy));
    };

    QImage out(size, QImage::Format_ARGB32);
    for (int py = 0; py < size.height(); ++py) {
        for (int px = 0; px < size.width(); ++px) {
            double r = 0, g = 0, b = 0;
            int covered = 0;
            for (int j = 0; j < supersample; ++j) {
                for (int i = 0; i < supersample; ++i) {
                    const int sx = px * supersample + i;
                    const int sy = py * supersample + j;
                    const int m = materialAt(sx, sy);
                    if (m == Background && use == FaceUse::Icon)
                        continue;
                    const QPointF f = samplesToFace.map(QPointF(sx + 0.5, sy + 0.5));
                    Rgb c;
                    if (m == Background) {
                        c = hex(windowBackground & 0xffffff);
                    } else {
                        const bool shadowed =
                            isHair(materialAt(static_cast<int>(std::floor(sx - shadowProbe.x())),
                                              static_cast<int>(std::floor(sy - shadowProbe.y()))));
                        c = shade(m, f.x(), f.y(), signedDistance(outline, f) * scale, shadowed);
                        ++covered;
                    }
                    r += c.r;
                    g += c.g;
                    b += c.b;
                }
            }
            const int total = use == FaceUse::Icon ? covered : supersample * supersample;
            if (total == 0) {
                out.setPixel(px, py, qRgba(0, 0, 0, 0));
                continue;
            }
            auto channel = [total](double v) {
                return std::clamp(static_cast<int>(std::lround(v / total)), 0, 255);
            };
            const int alpha =
                use == FaceUse::Icon ? covered * 255 / (supersample * supersample) : 255;
            out.setPixel(px, py, qRgba(channel(r), channel(g), channel(b), alpha));
        }
    }
    return out;
}
