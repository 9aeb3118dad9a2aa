#include "GifWriter.h"

#include <gif_lib.h>

#include <array>
#include <bit>
#include <memory>

namespace {

int appendBytes(GifFileType* gif, const GifByteType* data, int length) {
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(data), length);
    return length;
}

struct MapDeleter {
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};

} // namespace

bool encodeGif(const IndexedImage& image, QByteArray& out, QString& error) {
    const std::size_t colours = image.palette.size();
    if (colours < 2 || colours > 256 || !std::has_single_bit(colours)) {
        error = QStringLiteral("a GIF colour table needs 2, 4, ... or 256 entries, not %1")
                    .arg(colours);
        return false;
    }
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() != static_cast<std::size_t>(image.width) * image.height) {
        error = QStringLiteral("pixel data does not match the picture size");
        return false;
    }
    if (image.transparentIndex >= static_cast<int>(colours)) {
        error = QStringLiteral("transparent index %1 lies outside the colour table")
                    .arg(image.transparentIndex);
        return false;
    }

    std::unique_ptr<ColorMapObject, MapDeleter> map(
        GifMakeMapObject(static_cast<int>(colours), nullptr));
    if (!map) {
        error = QStringLiteral("out of memory");
        return false;
    }
    for (std::size_t i = 0; i < colours; ++i) {
        map->Colors[i].Red = static_cast<GifByteType>(qRed(image.palette[i]));
        map->Colors[i].Green = static_cast<GifByteType>(qGreen(image.palette[i]));
        map->Colors[i].Blue = static_cast<GifByteType>(qBlue(image.palette[i]));
    }

    QByteArray bytes;
    int code = 0;
    GifFileType* gif = EGifOpen(&bytes, appendBytes, &code);
    if (!gif) {
        error = QString::fromUtf8(GifErrorString(code));
        return false;
    }
    auto fail = [&]() {
        error = QString::fromUtf8(GifErrorString(gif->Error));
        int ignored = 0;
        EGifCloseFile(gif, &ignored);
        return false;
    };

    // Pupils need the transparency extension, which only GIF89a knows; the face uses the same
    // version so every picture of the program is read by one code path.
    EGifSetGifVersion(gif, true);
    if (EGifPutScreenDesc(gif, image.width, image.height, 8, 0, map.get()) == GIF_ERROR)
        return fail();

    if (image.transparentIndex >= 0) {
        GraphicsControlBlock control{};
        control.DisposalMode = DISPOSAL_UNSPECIFIED;
        control.UserInputFlag = false;
        control.DelayTime = 0;
        control.TransparentColor = image.transparentIndex;
        std::array<GifByteType, 4> block{};
        const std::size_t length = EGifGCBToExtension(&control, block.data());
        if (EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), block.data()) ==
            GIF_ERROR)
            return fail();
    }

    if (EGifPutImageDesc(gif, 0, 0, image.width, image.height, true, nullptr) == GIF_ERROR)
        return fail();
    // giflib only sets the interlace flag; the rows must be handed over in the four-pass
    // order (every 8th row from 0, every 8th from 4, every 4th from 2, every 2nd from 1).
    static constexpr std::array<int, 4> firstRow{0, 4, 2, 1};
    static constexpr std::array<int, 4> step{8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
        for (int y = firstRow[pass]; y < image.height; y += step[pass]) {
            auto* row = const_cast<GifPixelType*>(image.pixels.data()) +
                        static_cast<std::size_t>(y) * image.width;
            if (EGifPutLine(gif, row, image.width) == GIF_ERROR)
                return fail();
        }
    }

    if (EGifCloseFile(gif, &code) == GIF_ERROR) {
        error = QString::fromUtf8(GifErrorString(code));
        return false;
    }
    out = bytes;
    return true;
}
