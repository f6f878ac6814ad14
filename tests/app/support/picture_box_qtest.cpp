#include <QTest>

#include "display_bitmap.h"
#include "picture_box.h"

using namespace calmora;

namespace {

// A bitmap whose pixel at (x, y counted from the top) is rgb(10 + x, 100 + y, 200).
DisplayBitmap Gradient(int w, int h) {
    DisplayBitmap bitmap;
    if (!CreaDIB(bitmap, w, h)) return bitmap;
    for (int y = 0; y < h; ++y) {
        uint8_t* row = bitmap.bits + (h - 1 - y) * bitmap.stride();
        for (int x = 0; x < w; ++x) {
            row[3 * x] = 200;
            row[3 * x + 1] = uint8_t(100 + y);
            row[3 * x + 2] = uint8_t(10 + x);
        }
    }
    return bitmap;
}

QRgb GradientAt(int x, int y) { return qRgb(10 + x, 100 + y, 200); }

}  // namespace

class PictureBoxTest : public QObject {
    Q_OBJECT
private slots:
    void copyTurnsBufferRowsIntoScreenLines_data();
    void copyTurnsBufferRowsIntoScreenLines();
    void andCombinesWithTheSurface();
    void growingKeepsWhatWasDrawn();
};

void PictureBoxTest::copyTurnsBufferRowsIntoScreenLines_data() {
    QTest::addColumn<QRect>("dst");  // requested destination block
    QTest::addColumn<QPoint>("src");
    QTest::addColumn<QRect>("drawn");  // the part of the surface that must change
    QTest::newRow("inside") << QRect(2, 3, 4, 3) << QPoint(1, 1) << QRect(2, 3, 4, 3);
    QTest::newRow("clipped by the surface") << QRect(18, 8, 5, 5) << QPoint(0, 0)
                                            << QRect(18, 8, 2, 2);
    QTest::newRow("clipped by the bitmap") << QRect(0, 0, 10, 10) << QPoint(4, 3)
                                           << QRect(0, 0, 2, 1);
    QTest::newRow("negative destination") << QRect(-2, -1, 4, 3) << QPoint(0, 0)
                                          << QRect(0, 0, 2, 2);
    QTest::newRow("negative source") << QRect(5, 5, 3, 3) << QPoint(-1, -2)
                                     << QRect(6, 7, 2, 1);
    QTest::newRow("entirely outside") << QRect(30, 30, 3, 3) << QPoint(0, 0) << QRect();
}

void PictureBoxTest::copyTurnsBufferRowsIntoScreenLines() {
    QFETCH(QRect, dst);
    QFETCH(QPoint, src);
    QFETCH(QRect, drawn);
    const DisplayBitmap bitmap = Gradient(6, 4);
    PictureBox box;
    box.resize(20, 10);
    box.SetBackColor(Qt::black);
    box.Cls();
    box.BitBlt(dst.x(), dst.y(), dst.width(), dst.height(), bitmap, src.x(), src.y());
    const QPoint shift = dst.topLeft() - src;  // surface point = bitmap point + shift
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 20; ++x) {
            const QRgb expected = drawn.contains(x, y)
                                      ? GradientAt(x - shift.x(), y - shift.y())
                                      : qRgb(0, 0, 0);
            QCOMPARE(box.PixelAt(x, y), expected);
        }
    }
}

void PictureBoxTest::andCombinesWithTheSurface() {
    DisplayBitmap bitmap;
    QVERIFY(CreaDIB(bitmap, 2, 2));
    // Bottom buffer row = the lower screen line.
    const uint8_t top[] = {0x0F, 0xF0, 0xFF, 0x00, 0x00, 0x00};
    const uint8_t bottom[] = {0xFF, 0xFF, 0xFF, 0x33, 0x33, 0x33};
    std::memcpy(bitmap.bits + bitmap.stride(), top, 6);
    std::memcpy(bitmap.bits, bottom, 6);
    PictureBox box;
    box.resize(4, 4);
    box.SetBackColor(QColor(0xAA, 0x55, 0xCC));
    box.Cls();
    box.BitBlt(1, 1, 2, 2, bitmap, 0, 0, RasterOp::And);
    QCOMPARE(box.PixelAt(1, 1), qRgb(0xAA & 0xFF, 0x55 & 0xF0, 0xCC & 0x0F));
    QCOMPARE(box.PixelAt(2, 1), qRgb(0, 0, 0));
    QCOMPARE(box.PixelAt(1, 2), qRgb(0xAA, 0x55, 0xCC));
    QCOMPARE(box.PixelAt(2, 2), qRgb(0xAA & 0x33, 0x55 & 0x33, 0xCC & 0x33));
    QCOMPARE(box.PixelAt(0, 0), qRgb(0xAA, 0x55, 0xCC));
}

void PictureBoxTest::growingKeepsWhatWasDrawn() {
    PictureBox box;
    box.resize(3, 3);
    box.BitBlt(0, 0, 3, 3, Gradient(3, 3), 0, 0);
    box.resize(8, 6);
    QCOMPARE(box.Surface().size(), QSize(8, 6));
    QCOMPARE(box.PixelAt(2, 2), GradientAt(2, 2));
    box.BitBlt(5, 3, 3, 3, Gradient(3, 3), 0, 0);
    QCOMPARE(box.PixelAt(7, 5), GradientAt(2, 2));
}

QTEST_MAIN(PictureBoxTest)
#include "picture_box_qtest.moc"
