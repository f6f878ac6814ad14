#include "picture_box.h"

#include <QPainter>
#include <QResizeEvent>
#include <algorithm>

namespace calmora {

PictureBox::PictureBox(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    surface_ = QImage(std::max(1, width()), std::max(1, height()), QImage::Format_RGB32);
    surface_.fill(backColor_);
}

void PictureBox::SetBackColor(const QColor& color) { backColor_ = color; }

void PictureBox::Cls() {
    surface_.fill(backColor_);
    update();
}

void PictureBox::resizeEvent(QResizeEvent* event) {
    const QSize size = event->size().expandedTo(QSize(1, 1));
    if (size == surface_.size()) return;
    QImage grown(size, QImage::Format_RGB32);
    grown.fill(backColor_);
    QPainter painter(&grown);
    painter.drawImage(0, 0, surface_);
    painter.end();
    surface_ = std::move(grown);
}

void PictureBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, surface_);
}

void PictureBox::BitBlt(int dstX, int dstY, int w, int h, const DisplayBitmap& bitmap, int srcX,
                        int srcY, RasterOp op) {
    if (!bitmap.made()) return;
    // Clip the block to the bitmap and to the surface.
    if (srcX < 0) { dstX -= srcX; w += srcX; srcX = 0; }
    if (srcY < 0) { dstY -= srcY; h += srcY; srcY = 0; }
    if (dstX < 0) { srcX -= dstX; w += dstX; dstX = 0; }
    if (dstY < 0) { srcY -= dstY; h += dstY; dstY = 0; }
    w = std::min({w, bitmap.width() - srcX, surface_.width() - dstX});
    h = std::min({h, bitmap.height() - srcY, surface_.height() - dstY});
    if (w <= 0 || h <= 0) return;
    const int64_t stride = bitmap.stride();
    for (int line = 0; line < h; ++line) {
        const int bufferRow = bitmap.height() - 1 - (srcY + line);
        const uint8_t* s = bitmap.bits + bufferRow * stride + 3 * int64_t{srcX};
        auto* d = reinterpret_cast<QRgb*>(surface_.scanLine(dstY + line)) + dstX;
        for (int i = 0; i < w; ++i, s += 3) {
            const QRgb pixel = qRgb(s[2], s[1], s[0]);
            d[i] = op == RasterOp::Copy ? pixel : (d[i] & pixel) | 0xff000000u;
        }
    }
    update();
}

}  // namespace calmora
