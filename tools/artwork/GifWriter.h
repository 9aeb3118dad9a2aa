#pragma once

#include "IndexedImage.h"

#include <QByteArray>
#include <QString>

// Encodes `image` as a GIF89a file holding one interlaced image that fills the logical screen.
// The palette becomes the global colour table, so its length must be a power of two from 2 to
// 256. A transparent index is announced in a graphic control extension before the image.
// Returns false and sets `error` when giflib refuses the data.
bool encodeGif(const IndexedImage& image, QByteArray& out, QString& error);
