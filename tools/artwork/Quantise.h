#pragma once

#include <QRgb>

#include <vector>

// Chooses at most `count` colours that represent `colours` (one entry per pixel, alpha
// ignored) by median cut. The result depends only on the input values, never on their order
// or on the machine, and it is sorted dark to light so palettes come out in a fixed order.
std::vector<QRgb> medianCut(const std::vector<QRgb>& colours, int count);

// The palette index, from `first` on, whose colour is closest to `colour` (weighted RGB
// distance; the lowest index wins a tie).
int nearestIndex(const std::vector<QRgb>& palette, QRgb colour, int first = 0);
