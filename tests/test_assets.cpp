// Checks the committed pictures in resources/ by reading their bytes: the program relies on
// their sizes, palettes and transparency, and the window's shape relies on the face filling
// the head outline.

#include <QFile>
#include <QPolygon>
#include <QPolygonF>
#include <QRegion>
#include <QtTest>

#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

namespace {

QByteArray readResource(const char* name) {
    QFile file(QStringLiteral(VARDO_RESOURCES_DIR "/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

unsigned u8(const QByteArray& b, qsizetype at) {
    return at < b.size() ? static_cast<unsigned char>(b[at]) : 0u;
}
unsigned u16(const QByteArray& b, qsizetype at) {
    return u8(b, at) | u8(b, at + 1) << 8;
}
std::uint32_t u32(const QByteArray& b, qsizetype at) {
    return u16(b, at) | static_cast<std::uint32_t>(u16(b, at + 2)) << 16;
}

// ---- GIF reading -----------------------------------------------------------------------------

// Decodes GIF LZW data (codes packed least significant bit first). Returns nothing for a
// malformed stream.
std::optional<std::vector<std::uint8_t>> decodeLzw(const QByteArray& data, int minCodeSize) {
    if (minCodeSize < 2 || minCodeSize > 8)
        return std::nullopt;
    const int clear = 1 << minCodeSize;
    const int end = clear + 1;
    std::vector<std::vector<std::uint8_t>> table;
    auto reset = [&]() {
        table.assign(static_cast<std::size_t>(clear + 2), {});
        for (int i = 0; i < clear; ++i)
            table[static_cast<std::size_t>(i)] = {static_cast<std::uint8_t>(i)};
    };
    reset();
    int codeSize = minCodeSize + 1;
    int previous = -1;
    std::vector<std::uint8_t> out;
    std::uint32_t bits = 0;
    int bitCount = 0;
    qsizetype at = 0;
    while (true) {
        while (bitCount < codeSize) {
            if (at >= data.size())
                return std::nullopt; // ran out before the end code
            bits |= static_cast<std::uint32_t>(u8(data, at++)) << bitCount;
            bitCount += 8;
        }
        const int code = static_cast<int>(bits & ((1u << codeSize) - 1));
        bits >>= codeSize;
        bitCount -= codeSize;
        if (code == clear) {
            reset();
            codeSize = minCodeSize + 1;
            previous = -1;
            continue;
        }
        if (code == end)
            return out;
        std::vector<std::uint8_t> entry;
        if (code < static_cast<int>(table.size()) && !table[static_cast<std::size_t>(code)].empty())
            entry = table[static_cast<std::size_t>(code)];
        else if (code == static_cast<int>(table.size()) && previous >= 0) {
            entry = table[static_cast<std::size_t>(previous)];
            entry.push_back(entry.front());
        } else
            return std::nullopt;
        out.insert(out.end(), entry.begin(), entry.end());
        if (previous >= 0 && table.size() < 4096) {
            std::vector<std::uint8_t> added = table[static_cast<std::size_t>(previous)];
            added.push_back(entry.front());
            table.push_back(std::move(added));
            if (static_cast<int>(table.size()) == (1 << codeSize) && codeSize < 12)
                ++codeSize;
        }
        previous = code;
    }
}

struct Gif {
    QByteArray signature;
    int width = 0;
    int height = 0;
    bool globalTable = false;
    int tableSize = 0;
    std::vector<QRgb> table;
    int images = 0;
    bool interlaced = false;
    bool localTable = false;
    QRect frame;
    bool transparencyFlag = false;
    int transparentIndex = -1;
    std::vector<std::uint8_t> pixels; // first image, rows top to bottom
    QString error;

    std::uint8_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
    QRgb colour(int x, int y) const { return table[at(x, y)]; }
};

Gif readGif(const QByteArray& b) {
    Gif gif;
    if (b.size() < 13) {
        gif.error = QStringLiteral("file too short");
        return gif;
    }
    gif.signature = b.left(6);
    gif.width = static_cast<int>(u16(b, 6));
    gif.height = static_cast<int>(u16(b, 8));
    const unsigned flags = u8(b, 10);
    gif.globalTable = flags & 0x80;
    qsizetype at = 13;
    if (gif.globalTable) {
        gif.tableSize = 2 << (flags & 7);
        for (int i = 0; i < gif.tableSize; ++i, at += 3)
            gif.table.push_back(qRgb(static_cast<int>(u8(b, at)), static_cast<int>(u8(b, at + 1)),
                                     static_cast<int>(u8(b, at + 2))));
    }
    auto subBlocks = [&](QByteArray* into) {
        while (at < b.size()) {
            const unsigned length = u8(b, at++);
            if (length == 0)
                return true;
            if (into)
                into->append(b.mid(at, length));
            at += length;
        }
        return false;
    };
    while (true) {
        if (at >= b.size()) {
            gif.error = QStringLiteral("no trailer");
            return gif;
        }
        const unsigned block = u8(b, at++);
        if (block == 0x3b)
            return gif;
        if (block == 0x21) {
            const unsigned label = u8(b, at++);
            if (label == 0xf9 && u8(b, at) == 4) {
                gif.transparencyFlag = u8(b, at + 1) & 1;
                gif.transparentIndex = static_cast<int>(u8(b, at + 4));
            }
            if (!subBlocks(nullptr)) {
                gif.error = QStringLiteral("truncated extension");
                return gif;
            }
        } else if (block == 0x2c) {
            ++gif.images;
            const QRect frame(static_cast<int>(u16(b, at)), static_cast<int>(u16(b, at + 2)),
                              static_cast<int>(u16(b, at + 4)), static_cast<int>(u16(b, at + 6)));
            const unsigned imageFlags = u8(b, at + 8);
            at += 9;
            if (imageFlags & 0x80)
                at += 3 * (2 << (imageFlags & 7));
            const int minCodeSize = static_cast<int>(u8(b, at++));
            QByteArray data;
            if (!subBlocks(&data)) {
                gif.error = QStringLiteral("truncated image data");
                return gif;
            }
            if (gif.images > 1)
                continue;
            gif.frame = frame;
            gif.interlaced = imageFlags & 0x40;
            gif.localTable = imageFlags & 0x80;
            const auto stream = decodeLzw(data, minCodeSize);
            const std::size_t count = static_cast<std::size_t>(frame.width()) * frame.height();
            if (!stream || stream->size() != count) {
                gif.error = QStringLiteral("image data does not decode to %1 pixels").arg(count);
                return gif;
            }
            gif.pixels = *stream;
            if (gif.interlaced) {
                // Stored rows come in four passes: every 8th from 0, every 8th from 4, every
                // 4th from 2, every 2nd from 1.
                static constexpr std::array<int, 4> first{0, 4, 2, 1};
                static constexpr std::array<int, 4> step{8, 8, 4, 2};
                const int w = frame.width();
                int stored = 0;
                for (int pass = 0; pass < 4; ++pass) {
                    for (int y = first[pass]; y < frame.height(); y += step[pass], ++stored)
                        std::copy_n(stream->begin() + stored * w, w, gif.pixels.begin() + y * w);
                }
            }
        } else {
            gif.error = QStringLiteral("unknown block 0x%1").arg(block, 2, 16, QLatin1Char('0'));
            return gif;
        }
    }
}

// ---- Face geometry, in face-picture pixels ---------------------------------------------------

// The window's shape in window pixels; the face picture sits at client offset (3, 22).
QPolygon headOutline() {
    static constexpr std::array<std::array<int, 2>, 50> window{{
        {4, 89},   {4, 78},   {5, 77},   {5, 70},   {9, 58},   {10, 56},  {11, 52},  {18, 44},
        {19, 40},  {19, 38},  {17, 33},  {20, 29},  {26, 27},  {32, 24},  {42, 23},  {62, 24},
        {68, 26},  {77, 30},  {81, 33},  {87, 43},  {90, 47},  {92, 60},  {95, 62},  {94, 68},
        {95, 75},  {93, 89},  {92, 91},  {92, 99},  {90, 103}, {88, 111}, {87, 116}, {81, 120},
        {80, 133}, {74, 143}, {66, 151}, {56, 158}, {38, 158}, {29, 151}, {25, 150}, {18, 141},
        {14, 131}, {13, 121}, {13, 118}, {8, 111},  {7, 104},  {8, 100},  {8, 96},   {6, 94},
        {5, 90},   {4, 89},
    }};
    QPolygon outline;
    for (const auto& [x, y] : window)
        outline << QPoint(x - 3, y - 22);
    return outline;
}

double distanceToOutline(const QPolygon& outline, QPointF p) {
    double best = 1e9;
    for (qsizetype i = 0; i < outline.size(); ++i) {
        const QPointF a = outline[i];
        const QPointF b = outline[(i + 1) % outline.size()];
        const QPointF e = b - a;
        const double len2 = QPointF::dotProduct(e, e);
        const double t =
            len2 > 0 ? std::clamp(QPointF::dotProduct(p - a, e) / len2, 0.0, 1.0) : 0.0;
        const QPointF d = p - (a + t * e);
        best = std::min(best, std::hypot(d.x(), d.y()));
    }
    return best;
}

struct Eye {
    const char* name;
    int restX;
    int restY;
};
// Pupil centres at rest and how far they travel from there along each axis.
constexpr std::array<Eye, 2> eyes{{{"eye0.gif", 28, 80}, {"eye1.gif", 63, 80}}};
constexpr int travelX = 2;
constexpr int travelY = 1;

constexpr QRgb windowBackground = qRgb(0xe0, 0xe0, 0xe0);

// ---- Windows icon and cursor -----------------------------------------------------------------

struct IconFile {
    unsigned type = 0;
    unsigned count = 0;
    int width = 0;
    int height = 0;
    unsigned colourCount = 0;
    unsigned planesOrHotX = 0;
    unsigned bitCountOrHotY = 0;
    std::uint32_t bytesInRes = 0;
    std::uint32_t offset = 0;
    // BITMAPINFOHEADER
    std::uint32_t headerSize = 0;
    std::int32_t bmpWidth = 0;
    std::int32_t bmpHeight = 0;
    unsigned planes = 0;
    unsigned bitsPerPixel = 0;
    std::uint32_t compression = 0;
    std::vector<QRgb> table;
    qsizetype xorAt = 0;
    qsizetype andAt = 0;
    qsizetype end = 0;
    QByteArray bytes;

    int xorStride() const { return (width * static_cast<int>(bitsPerPixel) + 31) / 32 * 4; }
    int andStride() const { return (width + 31) / 32 * 4; }
    unsigned index(int x, int y) const {
        const qsizetype row = xorAt + static_cast<qsizetype>(height - 1 - y) * xorStride();
        const int bit = x * static_cast<int>(bitsPerPixel);
        const unsigned byte = u8(bytes, row + bit / 8);
        return (byte >> (8 - static_cast<int>(bitsPerPixel) - bit % 8)) &
               ((1u << bitsPerPixel) - 1);
    }
    bool transparent(int x, int y) const {
        const qsizetype row = andAt + static_cast<qsizetype>(height - 1 - y) * andStride();
        return u8(bytes, row + x / 8) & (0x80u >> (x % 8));
    }
};

IconFile readIconFile(const QByteArray& b) {
    IconFile f;
    f.bytes = b;
    f.type = u16(b, 2);
    f.count = u16(b, 4);
    f.width = u8(b, 6) ? static_cast<int>(u8(b, 6)) : 256;
    f.height = u8(b, 7) ? static_cast<int>(u8(b, 7)) : 256;
    f.colourCount = u8(b, 8);
    f.planesOrHotX = u16(b, 10);
    f.bitCountOrHotY = u16(b, 12);
    f.bytesInRes = u32(b, 14);
    f.offset = u32(b, 18);
    const qsizetype h = f.offset;
    f.headerSize = u32(b, h);
    f.bmpWidth = static_cast<std::int32_t>(u32(b, h + 4));
    f.bmpHeight = static_cast<std::int32_t>(u32(b, h + 8));
    f.planes = u16(b, h + 12);
    f.bitsPerPixel = u16(b, h + 14);
    f.compression = u32(b, h + 16);
    const qsizetype tableAt = h + f.headerSize;
    const int tableSize = f.bitsPerPixel <= 8 ? 1 << f.bitsPerPixel : 0;
    for (int i = 0; i < tableSize; ++i) {
        const qsizetype e = tableAt + 4 * i;
        f.table.push_back(qRgb(static_cast<int>(u8(b, e + 2)), static_cast<int>(u8(b, e + 1)),
                               static_cast<int>(u8(b, e))));
    }
    f.xorAt = tableAt + 4 * tableSize;
    f.andAt = f.xorAt + static_cast<qsizetype>(f.xorStride()) * f.height;
    f.end = f.andAt + static_cast<qsizetype>(f.andStride()) * f.height;
    return f;
}

} // namespace

class TestAssets : public QObject {
    Q_OBJECT

private slots:
    void gifStructure_data();
    void gifStructure();
    void pupilsAreRoundedAndOpaqueInside_data();
    void pupilsAreRoundedAndOpaqueInside();
    void faceFillsTheHeadOutline();
    void eyeWhitesCoverPupilTravel();
    void icon();
    void cursor();
};

void TestAssets::gifStructure_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("tableSize");
    QTest::addColumn<bool>("transparent");
    QTest::newRow("face") << "face.gif" << 94 << 138 << 256 << false;
    QTest::newRow("left pupil") << "eye0.gif" << 4 << 6 << 8 << true;
    QTest::newRow("right pupil") << "eye1.gif" << 4 << 6 << 4 << true;
}

void TestAssets::gifStructure() {
    QFETCH(QString, file);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, tableSize);
    QFETCH(bool, transparent);

    const QByteArray bytes = readResource(file.toLatin1().constData());
    QVERIFY2(!bytes.isEmpty(), "file missing or empty");
    const Gif gif = readGif(bytes);
    QVERIFY2(gif.error.isEmpty(), qPrintable(gif.error));
    QCOMPARE(gif.signature, QByteArray("GIF89a"));
    QCOMPARE(gif.width, width);
    QCOMPARE(gif.height, height);
    QVERIFY(gif.globalTable);
    QCOMPARE(gif.tableSize, tableSize);
    QCOMPARE(gif.images, 1);
    QCOMPARE(gif.frame, QRect(0, 0, width, height));
    QVERIFY(!gif.localTable);
    QVERIFY(gif.interlaced);
    for (std::uint8_t index : gif.pixels)
        QVERIFY(index < tableSize);
    if (transparent) {
        QVERIFY2(gif.transparencyFlag, "no graphic control extension naming a transparent index");
        QVERIFY(gif.transparentIndex >= 0 && gif.transparentIndex < tableSize);
    } else {
        QVERIFY(!gif.transparencyFlag);
    }
}

void TestAssets::pupilsAreRoundedAndOpaqueInside_data() {
    QTest::addColumn<QString>("file");
    for (const Eye& eye : eyes)
        QTest::newRow(eye.name) << QString::fromLatin1(eye.name);
}

void TestAssets::pupilsAreRoundedAndOpaqueInside() {
    QFETCH(QString, file);
    const Gif gif = readGif(readResource(file.toLatin1().constData()));
    QVERIFY2(gif.error.isEmpty(), qPrintable(gif.error));
    QVERIFY(gif.transparencyFlag);
    const int w = gif.width;
    const int h = gif.height;
    int dark = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const bool corner = (x == 0 || x == w - 1) && (y == 0 || y == h - 1);
            const bool clear = gif.at(x, y) == gif.transparentIndex;
            QVERIFY2(clear == corner, qPrintable(QStringLiteral("pixel (%1, %2)").arg(x).arg(y)));
            if (!clear && qGray(gif.colour(x, y)) < 80)
                ++dark;
        }
    }
    // A dark pupil; a highlight or two is fine.
    QVERIFY2(dark >= w * h - 4 - 2, qPrintable(QStringLiteral("%1 dark pixels").arg(dark)));
}

void TestAssets::faceFillsTheHeadOutline() {
    const Gif face = readGif(readResource("face.gif"));
    QVERIFY2(face.error.isEmpty(), qPrintable(face.error));
    QCOMPARE(face.width, 94);
    QCOMPARE(face.height, 138);

    // Whatever rule turns the outline into the window's region, every pixel it can keep must
    // show the head: pixels the region includes under either fill rule, and every pixel whose
    // centre is within 1.5 pixels of the outline on either side.
    const QPolygon outline = headOutline();
    const QRegion evenOdd(outline, Qt::OddEvenFill);
    const QRegion winding(outline, Qt::WindingFill);
    const QPolygonF outlineF(outline);
    int inside = 0;
    for (int y = 0; y < face.height; ++y) {
        for (int x = 0; x < face.width; ++x) {
            const QPointF centre(x + 0.5, y + 0.5);
            const bool kept = evenOdd.contains(QPoint(x, y)) || winding.contains(QPoint(x, y)) ||
                              outlineF.containsPoint(centre, Qt::OddEvenFill) ||
                              distanceToOutline(outline, centre) <= 1.5;
            if (!kept)
                continue;
            ++inside;
            QVERIFY2(face.colour(x, y) != windowBackground,
                     qPrintable(QStringLiteral("background at (%1, %2)").arg(x).arg(y)));
        }
    }
    QVERIFY(inside > 94 * 138 / 2);

    // Well away from the head the picture shows the window's background colour.
    for (const QPoint corner : {QPoint(0, 0), QPoint(93, 0), QPoint(0, 137), QPoint(93, 137)})
        QCOMPARE(face.colour(corner.x(), corner.y()), windowBackground);
}

void TestAssets::eyeWhitesCoverPupilTravel() {
    const Gif face = readGif(readResource("face.gif"));
    QVERIFY2(face.error.isEmpty(), qPrintable(face.error));
    for (const Eye& eye : eyes) {
        const Gif pupil = readGif(readResource(eye.name));
        QVERIFY2(pupil.error.isEmpty(), qPrintable(pupil.error));
        // Every pixel a pupil can cover at any point of its travel, plus one pixel all round,
        // is white of the eye: light and nearly grey.
        const int left = eye.restX - pupil.width / 2 - travelX - 1;
        const int right = eye.restX - pupil.width / 2 + travelX + pupil.width;
        const int top = eye.restY - pupil.height / 2 - travelY - 1;
        const int bottom = eye.restY - pupil.height / 2 + travelY + pupil.height;
        for (int y = top; y <= bottom; ++y) {
            for (int x = left; x <= right; ++x) {
                const QRgb c = face.colour(x, y);
                const int lo = std::min({qRed(c), qGreen(c), qBlue(c)});
                const int hi = std::max({qRed(c), qGreen(c), qBlue(c)});
                QVERIFY2(lo >= 200 && hi - lo <= 32,
                         qPrintable(QStringLiteral("%1: #%2 at (%3, %4)")
                                        .arg(QLatin1String(eye.name))
                                        .arg(c & 0xffffff, 6, 16, QLatin1Char('0'))
                                        .arg(x)
                                        .arg(y)));
            }
        }
    }
}

void TestAssets::icon() {
    const QByteArray bytes = readResource("vardo.ico");
    QVERIFY2(!bytes.isEmpty(), "file missing or empty");
    const IconFile ico = readIconFile(bytes);
    QCOMPARE(ico.type, 1u);
    QCOMPARE(ico.count, 1u);
    QCOMPARE(ico.width, 32);
    QCOMPARE(ico.height, 32);
    QCOMPARE(ico.colourCount, 0u); // 256
    QCOMPARE(ico.planesOrHotX, 1u);
    QCOMPARE(ico.bitCountOrHotY, 8u);
    QCOMPARE(ico.headerSize, 40u);
    QCOMPARE(ico.bmpWidth, 32);
    QCOMPARE(ico.bmpHeight, 64); // colour bitmap and mask
    QCOMPARE(ico.planes, 1u);
    QCOMPARE(ico.bitsPerPixel, 8u);
    QCOMPARE(ico.compression, 0u);
    QCOMPARE(ico.table.size(), std::size_t(256));
    // The mask follows the colour bitmap and ends the file; the directory entry agrees.
    QCOMPARE(ico.end, bytes.size());
    QCOMPARE(qsizetype(ico.offset) + qsizetype(ico.bytesInRes), bytes.size());

    int clear = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            if (!ico.transparent(x, y))
                continue;
            ++clear;
            // Masked pixels must be black in the colour bitmap or they tint the desktop.
            QCOMPARE(ico.table[ico.index(x, y)] & 0xffffff, 0u);
        }
    }
    QVERIFY(ico.transparent(0, 0));
    QVERIFY(!ico.transparent(16, 16));
    QVERIFY2(clear > 100 && clear < 32 * 32 - 300,
             qPrintable(QStringLiteral("%1 transparent pixels").arg(clear)));
}

void TestAssets::cursor() {
    const QByteArray bytes = readResource("link.cur");
    QVERIFY2(!bytes.isEmpty(), "file missing or empty");
    const IconFile cur = readIconFile(bytes);
    QCOMPARE(cur.type, 2u);
    QCOMPARE(cur.count, 1u);
    QCOMPARE(cur.width, 32);
    QCOMPARE(cur.height, 32);
    QCOMPARE(cur.planesOrHotX, 5u);
    QCOMPARE(cur.bitCountOrHotY, 1u);
    QCOMPARE(cur.headerSize, 40u);
    QCOMPARE(cur.bmpWidth, 32);
    QCOMPARE(cur.bmpHeight, 64);
    QCOMPARE(cur.planes, 1u);
    QCOMPARE(cur.bitsPerPixel, 1u);
    QCOMPARE(cur.compression, 0u);
    QCOMPARE(cur.table.size(), std::size_t(2));
    QCOMPARE(cur.table[0] & 0xffffff, 0x000000u);
    QCOMPARE(cur.table[1] & 0xffffff, 0xffffffu);
    QCOMPARE(cur.end, bytes.size());
    QCOMPARE(qsizetype(cur.offset) + qsizetype(cur.bytesInRes), bytes.size());

    // The hot spot is the tip of the finger: drawn, with nothing above it.
    QVERIFY(!cur.transparent(5, 1));
    QVERIFY(cur.transparent(5, 0));
    int black = 0;
    int white = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            if (cur.transparent(x, y))
                QCOMPARE(cur.index(x, y), 0u); // otherwise the screen would be inverted
            else
                ++(cur.index(x, y) ? white : black);
        }
    }
    QVERIFY(black > 20);
    QVERIFY(white > 20);
}

QTEST_APPLESS_MAIN(TestAssets)

#include "test_assets.moc"
