#pragma once

#include "IndexedImage.h"

#include <QByteArray>
#include <QString>

#include <vector>

// Windows icon (.ico) and cursor (.cur) files holding a single device-independent bitmap:
// BITMAPINFOHEADER, a colour table of 2^bitsPerPixel entries, the XOR bitmap and the 1-bit AND
// mask, rows bottom-up and padded to 4 bytes, all values little-endian.
//
// `opaque` has one flag per pixel (rows top to bottom). Where it is false the AND bit is set
// and the XOR pixel is written as index 0, which must be black so the screen shows through
// unchanged. The palette may be shorter than the table; the rest is filled with black.

struct HotSpot {
    int x = 0;
    int y = 0;
};

// bitsPerPixel: 1, 4 or 8. Returns false and sets `error` for data that cannot be stored.
bool encodeIcon(const IndexedImage& image, const std::vector<bool>& opaque, int bitsPerPixel,
                QByteArray& out, QString& error);
bool encodeCursor(const IndexedImage& image, const std::vector<bool>& opaque, int bitsPerPixel,
                  HotSpot hotSpot, QByteArray& out, QString& error);
