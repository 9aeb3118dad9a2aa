#pragma once

#include "IconWriter.h"
#include "IndexedImage.h"

#include <vector>

// Pictures small enough to be drawn pixel by pixel.

// A pupil, 4 × 6 pixels: a dark rounded shape with its four corner pixels transparent and a
// highlight towards the upper left, where the face's light comes from. `tableSize` is the
// length of the colour table (4 or 8); index 0 is the transparent one.
IndexedImage pupilImage(int tableSize);

// The link cursor, 32 × 32 pixels at 1 bit per pixel: a pointing hand, black outline and white
// fill, whose index fingertip is the hot spot.
struct CursorArt {
    IndexedImage image; // palette: 0 black, 1 white
    std::vector<bool> opaque;
    HotSpot hotSpot;
};
CursorArt linkCursor();
