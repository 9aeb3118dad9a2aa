// vardo-artwork OUTDIR: draws the program's pictures and writes them into OUTDIR:
//   face.gif   the face, 94 x 138, 256 colours, opaque
//   eye0.gif   pupil on the viewer's left, 4 x 6, 8 colours, one transparent
//   eye1.gif   pupil on the viewer's right, 4 x 6, 4 colours, one transparent
//   vardo.ico  program icon, 32 x 32 at 8 bits per pixel with a transparency mask
//   link.cur   pointing-hand cursor, 32 x 32 at 1 bit per pixel, hot spot on the fingertip
// The output depends on nothing but this program, so the committed files can be checked by
// running it again and comparing bytes.

#include "FaceArt.h"
#include "GifWriter.h"
#include "IconWriter.h"
#include "PixelArt.h"
#include "Quantise.h"

#include <QByteArray>
#include <QDir>
#include <QSaveFile>
#include <QString>

#include <cstdio>

namespace {

// The face picture with index 0 reserved for the window's background colour (also the GIF
// background index) and the head's colours in the other 255 entries.
IndexedImage quantiseFace(const QImage& picture) {
    IndexedImage image;
    image.width = picture.width();
    image.height = picture.height();

    std::vector<QRgb> headColours;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const QRgb c = picture.pixel(x, y) | 0xff000000u;
            if (c != windowBackground)
                headColours.push_back(c);
        }
    }
    image.palette = {windowBackground};
    for (QRgb c : medianCut(headColours, 255))
        image.palette.push_back(c);
    image.palette.resize(256, qRgb(0, 0, 0));

    image.pixels.reserve(headColours.size());
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const QRgb c = picture.pixel(x, y) | 0xff000000u;
            image.pixels.push_back(static_cast<std::uint8_t>(
                c == windowBackground ? 0 : nearestIndex(image.palette, c, 1)));
        }
    }
    return image;
}

struct IconArt {
    IndexedImage image;
    std::vector<bool> opaque;
};

// The face shrunk to 32 x 32, centred. Index 0 is black for the masked-out pixels.
IconArt drawIcon() {
    constexpr int size = 32;
    // Bounding box of the head outline in face pixels: x 1..92, y 1..136.
    const QRectF head(1, 1, 91, 135);
    const double scale = (size - 0.5) / head.height();
    QTransform faceToIcon;
    faceToIcon.translate(size / 2.0, size / 2.0);
    faceToIcon.scale(scale, scale);
    faceToIcon.translate(-head.center().x(), -head.center().y());
    const QImage picture = renderFace(QSize(size, size), faceToIcon, FaceUse::Icon);

    IconArt art;
    art.image.width = size;
    art.image.height = size;
    art.opaque.resize(size * size);
    std::vector<QRgb> colours;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            // Pixels at least half covered by the head are drawn; a 1-bit mask has no
            // in-between.
            const bool shown = qAlpha(picture.pixel(x, y)) >= 128;
            art.opaque[static_cast<std::size_t>(y * size + x)] = shown;
            if (shown)
                colours.push_back(picture.pixel(x, y));
        }
    }
    art.image.palette = {qRgb(0, 0, 0)};
    for (QRgb c : medianCut(colours, 255))
        art.image.palette.push_back(c);
    art.image.pixels.resize(size * size);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const std::size_t i = static_cast<std::size_t>(y * size + x);
            art.image.pixels[i] = static_cast<std::uint8_t>(
                art.opaque[i] ? nearestIndex(art.image.palette, picture.pixel(x, y), 1) : 0);
        }
    }
    return art;
}

bool save(const QDir& dir, const QString& name, const QByteArray& bytes) {
    // QSaveFile replaces the file only once everything is written, so a failure never leaves
    // a truncated picture behind.
    QSaveFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        std::fprintf(stderr, "vardo-artwork: cannot write %s: %s\n",
                     qPrintable(QDir::toNativeSeparators(file.fileName())),
                     qPrintable(file.errorString()));
        return false;
    }
    return true;
}

bool report(const QString& name, const QString& error) {
    std::fprintf(stderr, "vardo-artwork: %s: %s\n", qPrintable(name), qPrintable(error));
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: vardo-artwork OUTDIR\n");
        return 2;
    }
    const QString outDir = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(outDir)) {
        std::fprintf(stderr, "vardo-artwork: cannot create %s\n", argv[1]);
        return 1;
    }
    const QDir dir(outDir);

    QByteArray bytes;
    QString error;
    bool ok = true;

    const QImage face = renderFace(QSize(faceWidth, faceHeight), QTransform(), FaceUse::Window);
    if (encodeGif(quantiseFace(face), bytes, error))
        ok = save(dir, QStringLiteral("face.gif"), bytes) && ok;
    else
        ok = report(QStringLiteral("face.gif"), error);

    if (encodeGif(pupilImage(8), bytes, error))
        ok = save(dir, QStringLiteral("eye0.gif"), bytes) && ok;
    else
        ok = report(QStringLiteral("eye0.gif"), error);

    if (encodeGif(pupilImage(4), bytes, error))
        ok = save(dir, QStringLiteral("eye1.gif"), bytes) && ok;
    else
        ok = report(QStringLiteral("eye1.gif"), error);

    const IconArt icon = drawIcon();
    if (encodeIcon(icon.image, icon.opaque, 8, bytes, error))
        ok = save(dir, QStringLiteral("vardo.ico"), bytes) && ok;
    else
        ok = report(QStringLiteral("vardo.ico"), error);

    const CursorArt cursor = linkCursor();
    if (encodeCursor(cursor.image, cursor.opaque, 1, cursor.hotSpot, bytes, error))
        ok = save(dir, QStringLiteral("link.cur"), bytes) && ok;
    else
        ok = report(QStringLiteral("link.cur"), error);

    return ok ? 0 : 1;
}
