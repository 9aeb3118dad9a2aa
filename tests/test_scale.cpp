// The Win32 run-time's arithmetic between logical pixels (96 to the inch) and device pixels at
// the scales Windows offers, checked here because only Wine runs the rest of that run-time.

#include "platform/win32/Scale.h"

#include <QTest>

#include <vector>

class ScaleTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void logicalEdgesLandOnDeviceEdges_data() {
        QTest::addColumn<int>("dpi");
        QTest::addColumn<std::vector<int>>("edges");
        // Device edges of logical edges -2 .. 4.
        QTest::newRow("96") << 96 << std::vector<int>{-2, -1, 0, 1, 2, 3, 4};
        // Blocks of 2 and 1 in turn, halves rounded up, also left of the origin.
        QTest::newRow("144") << 144 << std::vector<int>{-3, -1, 0, 2, 3, 5, 6};
        QTest::newRow("120") << 120 << std::vector<int>{-2, -1, 0, 1, 3, 4, 5};
        QTest::newRow("192") << 192 << std::vector<int>{-4, -2, 0, 2, 4, 6, 8};
    }

    void logicalEdgesLandOnDeviceEdges() {
        QFETCH(int, dpi);
        QFETCH(std::vector<int>, edges);
        for (int logical = -2; logical <= 4; ++logical)
            QCOMPARE(Scale::toDevice(logical, dpi), edges[static_cast<std::size_t>(logical + 2)]);
    }

    void everyDevicePixelBelongsToOneLogicalPixel_data() {
        QTest::addColumn<int>("dpi");
        for (const int dpi : {96, 120, 144, 168, 192, 240, 288})
            QTest::addRow("%d", dpi) << dpi;
    }

    // The block of device pixels logical pixel x covers holds the device pixels that read back
    // as x, whatever side of the window they are on; and a window's position read in logical
    // pixels writes back to the same device pixel, as a drag relies on.
    void everyDevicePixelBelongsToOneLogicalPixel() {
        QFETCH(int, dpi);
        for (int device = -3000; device <= 3000; ++device) {
            const int logical = Scale::logicalPixel(device, dpi);
            QVERIFY(Scale::toDevice(logical, dpi) <= device);
            QVERIFY(device < Scale::toDevice(logical + 1, dpi));
            const auto read = static_cast<float>(Scale::toLogical(device, dpi));
            QCOMPARE(Scale::nearestDevice(read, dpi), device);
        }
        for (const int far : {-32768, 32767})
            QCOMPARE(Scale::nearestDevice(static_cast<float>(Scale::toLogical(far, dpi)), dpi),
                     far);
    }
};

QTEST_GUILESS_MAIN(ScaleTest)
#include "test_scale.moc"
