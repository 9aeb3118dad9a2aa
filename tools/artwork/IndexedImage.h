#pragma once

#include <QRgb>

#include <cstdint>
#include <vector>

// A palette picture as the file formats store it: one palette index per pixel, rows top to
// bottom, left to right. The palette already has the exact length the file will declare.
struct IndexedImage {
    int width = 0;
    int height = 0;
    std::vector<QRgb> palette;
    std::vector<std::uint8_t> pixels;
    // Palette index that shows nothing, or -1 when the picture is opaque.
    int transparentIndex = -1;

    std::uint8_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};
