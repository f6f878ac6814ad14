// What the window shows before the first picture is opened: the program's
// name over a calm sea, drawn with Qt and handed to Pic as a view bitmap.
#include "main_window.h"

#include <QFont>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>

#include "display_bitmap.h"
#include "picture_box.h"

namespace calmora {
namespace {

// Turns a picture drawn with Qt into the buffer layout (BGR, bottom-up rows).
bool BitmapFromImage(const QImage& image, DisplayBitmap& bitmap) {
    if (!CreaDIB(bitmap, image.width(), image.height())) return false;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    const int64_t stride = bitmap.stride();
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        uint8_t* row = bitmap.bits + (rgb.height() - 1 - y) * stride;
        for (int x = 0; x < rgb.width(); ++x) {
            row[3 * x] = static_cast<uint8_t>(qBlue(line[x]));
            row[3 * x + 1] = static_cast<uint8_t>(qGreen(line[x]));
            row[3 * x + 2] = static_cast<uint8_t>(qRed(line[x]));
        }
    }
    return true;
}

// What Pic shows before the first image is loaded.
QImage DrawStartPicture() {
    QImage image(360, 220, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, image.height());
    sky.setColorAt(0.0, QColor(62, 84, 112));
    sky.setColorAt(1.0, QColor(142, 164, 178));
    painter.fillRect(image.rect(), sky);
    // A calm sea of dots getting finer towards the horizon.
    painter.setPen(Qt::NoPen);
    for (int row = 0; row < 9; ++row) {
        const int y = 150 + row * 8;
        const int step = 6 + row * 2;
        painter.setBrush(QColor(230, 236, 240, 60 + row * 18));
        for (int x = (row % 2) * step / 2; x < image.width(); x += step) {
            painter.drawEllipse(QPointF(x, y), 0.8 + row * 0.25, 0.8 + row * 0.25);
        }
    }
    QFont font = painter.font();
    font.setPixelSize(48);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(246, 248, 250));
    painter.drawText(QRect(0, 30, image.width(), 90), Qt::AlignCenter, kProgramName);
    return image;
}

}  // namespace

void MainWindow::ShowStartPicture() {
    DisplayBitmap picture;
    if (!BitmapFromImage(DrawStartPicture(), picture)) return;
    const QSize client = ClientSize();
    PlacePic((client.width() - picture.width()) / 2, (client.height() - picture.height()) / 2,
             picture.width(), picture.height(), false);
    pic_->BitBlt(0, 0, picture.width(), picture.height(), picture, 0, 0);
    pic_->show();
    startPictureShown_ = true;
}

}  // namespace calmora
