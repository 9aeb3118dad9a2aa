#pragma once

// The arithmetic between the windows' logical pixels (96 to the inch, as the definitions are
// laid out) and the device pixels of a screen at `dpi` dots to the inch. Plain integers, no
// system header: the unit tests check it on any system.
//
// A logical edge v lands on device edge toDevice(v): v x dpi / 96, halves rounded up. Logical
// pixel x covers the device pixels from toDevice(x) up to toDevice(x + 1); at 192 dpi that is a
// 2 x 2 block, at 144 dpi blocks of 2 and 1 in turn, as Qt lays out QT_SCALE_FACTOR=1.5.
class Scale {
public:
    static constexpr int standard = 96;

    static int toDevice(int logical, int dpi);
    // The logical pixel that device pixel lies in.
    static int logicalPixel(int device, int dpi);
    // A device position in logical pixels, with its fraction.
    static double toLogical(int device, int dpi);
    // A logical position (a form's Left or Top) as the nearest device pixel, ties to even:
    // the inverse of toLogical, so that a difference of two logical positions converts back
    // to the very device pixels it came from.
    static int nearestDevice(float logical, int dpi);
};
