#include "PixelArt.h"

#include "FaceArt.h"

#include <array>
#include <string_view>

namespace {

// Draws rows of characters into an indexed picture; `legend` maps each character used to a
// palette index, or to -1 for a transparent pixel. Rows shorter than the picture are padded
// with transparent pixels.
template <std::size_t Rows>
void paintRows(IndexedImage& image, std::vector<bool>* opaque,
               const std::array<std::string_view, Rows>& rows, int (*legend)(char)) {
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const std::string_view row = y < static_cast<int>(Rows) ? rows[y] : "";
            const char c = x < static_cast<int>(row.size()) ? row[x] : ' ';
            const int index = legend(c);
            const std::size_t i = static_cast<std::size_t>(y) * image.width + x;
            image.pixels[i] = static_cast<std::uint8_t>(index < 0 ? 0 : index);
            if (opaque)
                (*opaque)[i] = index >= 0;
        }
    }
}

} // namespace

IndexedImage pupilImage(int tableSize) {
    IndexedImage image;
    image.width = 4;
    image.height = 6;
    image.pixels.resize(4 * 6);
    image.transparentIndex = 0;
    // 0 transparent (the window's background colour, for viewers that ignore transparency),
    // 1 dark brown rim, 2 near-black centre, 3 highlight. Unused entries stay black.
    image.palette.assign(static_cast<std::size_t>(tableSize), qRgb(0, 0, 0));
    image.palette[0] = windowBackground;
    image.palette[1] = qRgb(0x40, 0x27, 0x18);
    image.palette[2] = qRgb(0x12, 0x0b, 0x08);
    image.palette[3] = qRgb(0xf4, 0xf0, 0xea);

    static constexpr std::array<std::string_view, 6> rows{
        " rr ", "r+#r", "r##r", "r##r", "r##r", " rr ",
    };
    paintRows(image, nullptr, rows, [](char c) {
        switch (c) {
        case 'r':
            return 1;
        case '#':
            return 2;
        case '+':
            return 3;
        default:
            return 0;
        }
    });
    return image;
}

CursorArt linkCursor() {
    CursorArt art;
    art.image.width = 32;
    art.image.height = 32;
    art.image.pixels.resize(32 * 32);
    art.image.palette = {qRgb(0, 0, 0), qRgb(0xff, 0xff, 0xff)};
    art.opaque.resize(32 * 32);
    // The tip of the index finger is the top outline pixel of its middle column.
    art.hotSpot = {5, 1};

    // X black outline, . white fill, blank transparent.
    static constexpr std::array<std::string_view, 22> rows{
        "",
        "    XXX",
        "   X...X",
        "   X...X",
        "   X...X",
        "   X...X",
        "   X...XXX",
        "   X...X..XXX",
        "   X...X..X..XXX",
        "   X...X..X..X..XX",
        " XXX...X..X..X..X.X",
        "X..X...X..X..X..X.X",
        "X...X.............X",
        "X....X............X",
        " X................X",
        "  X...............X",
        "   X.............X",
        "    X............X",
        "     X..........X",
        "      X.........X",
        "      X.........X",
        "      XXXXXXXXXXX",
    };
    paintRows(art.image, &art.opaque, rows, [](char c) {
        switch (c) {
        case 'X':
            return 0;
        case '.':
            return 1;
        default:
            return -1;
        }
    });
    return art;
}
