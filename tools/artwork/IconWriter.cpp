#include "IconWriter.h"

#include <cstdint>

namespace {

void put16(QByteArray& out, unsigned value) {
    out.append(static_cast<char>(value & 0xff));
    out.append(static_cast<char>((value >> 8) & 0xff));
}

void put32(QByteArray& out, std::uint32_t value) {
    put16(out, value & 0xffff);
    put16(out, value >> 16);
}

// Bytes per bitmap row: whole 32-bit words.
int stride(int width, int bitsPerPixel) {
    return (width * bitsPerPixel + 31) / 32 * 4;
}

enum class ResourceType { Icon = 1, Cursor = 2 };

bool encode(ResourceType type, const IndexedImage& image, const std::vector<bool>& opaque,
            int bitsPerPixel, HotSpot hotSpot, QByteArray& out, QString& error) {
    const int w = image.width;
    const int h = image.height;
    const std::size_t pixelCount = static_cast<std::size_t>(w) * h;
    if (w <= 0 || h <= 0 || w > 256 || h > 256 || image.pixels.size() != pixelCount ||
        opaque.size() != pixelCount) {
        error = QStringLiteral("pixel data does not match the picture size");
        return false;
    }
    if (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8) {
        error = QStringLiteral("unsupported depth of %1 bits per pixel").arg(bitsPerPixel);
        return false;
    }
    const int tableSize = 1 << bitsPerPixel;
    if (image.palette.empty() || static_cast<int>(image.palette.size()) > tableSize ||
        (image.palette[0] & 0xffffffu) != 0) {
        error =
            QStringLiteral("the palette must start with black and fit %1 entries").arg(tableSize);
        return false;
    }
    for (std::uint8_t index : image.pixels) {
        if (index >= image.palette.size()) {
            error = QStringLiteral("pixel index %1 lies outside the palette").arg(index);
            return false;
        }
    }
    if (hotSpot.x < 0 || hotSpot.x >= w || hotSpot.y < 0 || hotSpot.y >= h) {
        error = QStringLiteral("hot spot outside the picture");
        return false;
    }

    const int xorStride = stride(w, bitsPerPixel);
    const int andStride = stride(w, 1);
    const std::uint32_t imageBytes = static_cast<std::uint32_t>((xorStride + andStride) * h);
    const std::uint32_t resourceBytes = 40 + 4 * tableSize + imageBytes;
    constexpr std::uint32_t headerBytes = 6 + 16; // ICONDIR + one ICONDIRENTRY

    out.clear();
    // ICONDIR
    put16(out, 0);
    put16(out, static_cast<unsigned>(type));
    put16(out, 1);
    // ICONDIRENTRY; 0 in a byte-wide size or colour count stands for 256.
    out.append(static_cast<char>(w & 0xff));
    out.append(static_cast<char>(h & 0xff));
    out.append(static_cast<char>(tableSize & 0xff));
    out.append('\0');
    if (type == ResourceType::Cursor) {
        // Cursors reuse the planes and bit-count fields for the hot spot, in pixels from the
        // top-left corner.
        put16(out, static_cast<unsigned>(hotSpot.x));
        put16(out, static_cast<unsigned>(hotSpot.y));
    } else {
        put16(out, 1);
        put16(out, static_cast<unsigned>(bitsPerPixel));
    }
    put32(out, resourceBytes);
    put32(out, headerBytes);

    // BITMAPINFOHEADER; the height counts the XOR and the AND bitmap together.
    put32(out, 40);
    put32(out, static_cast<std::uint32_t>(w));
    put32(out, static_cast<std::uint32_t>(2 * h));
    put16(out, 1);
    put16(out, static_cast<unsigned>(bitsPerPixel));
    put32(out, 0); // BI_RGB
    put32(out, imageBytes);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0); // all 2^bitsPerPixel colours are used
    put32(out, 0);

    // Colour table as RGBQUAD: blue, green, red, reserved.
    for (int i = 0; i < tableSize; ++i) {
        const QRgb c = i < static_cast<int>(image.palette.size())
                           ? image.palette[static_cast<std::size_t>(i)]
                           : qRgb(0, 0, 0);
        out.append(static_cast<char>(qBlue(c)));
        out.append(static_cast<char>(qGreen(c)));
        out.append(static_cast<char>(qRed(c)));
        out.append('\0');
    }

    // XOR bitmap, bottom row first; pixels packed from the most significant bit.
    for (int y = h - 1; y >= 0; --y) {
        QByteArray row(xorStride, '\0');
        for (int x = 0; x < w; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * w + x;
            const unsigned index = opaque[i] ? image.pixels[i] : 0u;
            const int bit = x * bitsPerPixel;
            const int shift = 8 - bitsPerPixel - bit % 8;
            row[bit / 8] =
                static_cast<char>(static_cast<unsigned char>(row[bit / 8]) | (index << shift));
        }
        out.append(row);
    }
    // AND mask: 1 keeps the screen pixel (transparent), 0 draws the XOR pixel.
    for (int y = h - 1; y >= 0; --y) {
        QByteArray row(andStride, '\0');
        for (int x = 0; x < w; ++x) {
            if (!opaque[static_cast<std::size_t>(y) * w + x])
                row[x / 8] =
                    static_cast<char>(static_cast<unsigned char>(row[x / 8]) | (0x80u >> (x % 8)));
        }
        out.append(row);
    }

    if (static_cast<std::uint32_t>(out.size()) != headerBytes + resourceBytes) {
        error = QStringLiteral("internal size mismatch");
        return false;
    }
    return true;
}

} // namespace

bool encodeIcon(const IndexedImage& image, const std::vector<bool>& opaque, int bitsPerPixel,
                QByteArray& out, QString& error) {
    return encode(ResourceType::Icon, image, opaque, bitsPerPixel, {}, out, error);
}

bool encodeCursor(const IndexedImage& image, const std::vector<bool>& opaque, int bitsPerPixel,
                  HotSpot hotSpot, QByteArray& out, QString& error) {
    return encode(ResourceType::Cursor, image, opaque, bitsPerPixel, hotSpot, out, error);
}
