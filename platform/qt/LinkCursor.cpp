#include "platform/qt/LinkCursor.h"

#include <QBitmap>
#include <QImage>

#include <cstdint>

namespace {

std::uint32_t read16(const QByteArray& data, qsizetype at) {
    return static_cast<std::uint8_t>(data[at]) | static_cast<std::uint8_t>(data[at + 1]) << 8;
}

std::uint32_t read32(const QByteArray& data, qsizetype at) {
    return read16(data, at) | read16(data, at + 2) << 16;
}

} // namespace

QCursor cursorFromCurFile(const QByteArray& data) {
    constexpr int side = 32;
    constexpr qsizetype rowBytes = 4; // 32 bits, already a multiple of four bytes
    constexpr qsizetype planeBytes = rowBytes * side;
    constexpr qsizetype headerSize = 40;
    constexpr qsizetype paletteSize = 2 * 4;

    if (data.size() < 22 || read16(data, 0) != 0 || read16(data, 2) != 2 || read16(data, 4) < 1)
        return QCursor(Qt::ArrowCursor);
    const int hotX = static_cast<int>(read16(data, 10));
    const int hotY = static_cast<int>(read16(data, 12));
    const qsizetype image = read32(data, 18);
    if (image < 22 || image > data.size() - headerSize - paletteSize - 2 * planeBytes ||
        read32(data, image + 4) != side || read32(data, image + 8) != 2 * side ||
        read16(data, image + 14) != 1 || hotX >= side || hotY >= side)
        return QCursor(Qt::ArrowCursor);

    // Colour index 0 is the colour in the first palette entry; a dark entry draws black.
    const qsizetype palette = image + read32(data, image);
    const auto dark = [&](int index) {
        const qsizetype entry = palette + 4 * index;
        return static_cast<std::uint8_t>(data[entry]) + static_cast<std::uint8_t>(data[entry + 1]) +
                   static_cast<std::uint8_t>(data[entry + 2]) <
               3 * 128;
    };
    const qsizetype colourBits = palette + paletteSize;
    const qsizetype maskBits = colourBits + planeBytes;
    if (maskBits + planeBytes > data.size())
        return QCursor(Qt::ArrowCursor);

    // Rows are stored bottom-up. The file's mask is 1 where the screen shows through; Qt's
    // mask is 1 where the cursor paints, and its bitmap is 1 where it paints black.
    QImage bitmap(side, side, QImage::Format_Mono);
    QImage mask(side, side, QImage::Format_Mono);
    bitmap.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    mask.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    for (int y = 0; y < side; ++y) {
        const qsizetype row = (side - 1 - y) * rowBytes;
        for (int x = 0; x < side; ++x) {
            const auto bit = [&](qsizetype plane) {
                return (static_cast<std::uint8_t>(data[plane + row + x / 8]) >> (7 - x % 8)) & 1;
            };
            const bool paints = bit(maskBits) == 0;
            bitmap.setPixel(x, y, paints && dark(bit(colourBits)) ? 1 : 0);
            mask.setPixel(x, y, paints ? 1 : 0);
        }
    }
    return QCursor(QBitmap::fromImage(bitmap), QBitmap::fromImage(mask), hotX, hotY);
}
