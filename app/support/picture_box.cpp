#include "picture_box.h"

#include <QPainter>
#include <QResizeEvent>
#include <algorithm>
#include <cmath>

namespace calmora {

PictureBox::PictureBox(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    surface_ = QImage(std::max(1, width()), std::max(1, height()), QImage::Format_RGB32);
    surface_.fill(backColor_);
}

void PictureBox::SetBackColor(const QColor& color) { backColor_ = color; }

void PictureBox::SetPixelRatio(double ratio) {
    if (!(ratio > 0.0) || !std::isfinite(ratio)) ratio = 1.0;
    if (ratio == ratio_) return;
    ratio_ = ratio;
    // The old contents were drawn for another ratio; a fresh surface follows.
    surface_ = QImage(SurfaceSize(), QImage::Format_RGB32);
    surface_.fill(MarginColor());
    surface_.setDevicePixelRatio(ratio_);
    update();
}

QColor PictureBox::MarginColor() const {
    // Above ratio 1 the widget, in whole window pixels, can be a device pixel
    // larger than a bitmap of odd size drawn into it; that strip shows the
    // window behind it rather than a line of the back colour.
    if (ratio_ == 1.0 || !parentWidget()) return backColor_;
    return parentWidget()->palette().color(QPalette::Window);
}

QSize PictureBox::SurfaceSize() const {
    const QSize logical = size().expandedTo(QSize(1, 1));
    if (ratio_ == 1.0) return logical;
    // Rounded up, so the surface covers the whole widget on screen.
    return QSize(static_cast<int>(std::ceil(logical.width() * ratio_)),
                 static_cast<int>(std::ceil(logical.height() * ratio_)));
}

void PictureBox::Cls() {
    SyncSurface();
    surface_.fill(backColor_);
    update();
}

const QImage& PictureBox::Surface() const {
    SyncSurface();
    return surface_;
}

QRgb PictureBox::PixelAt(int x, int y) const {
    SyncSurface();
    return surface_.pixel(x, y);
}

void PictureBox::resizeEvent(QResizeEvent*) { SyncSurface(); }

void PictureBox::SyncSurface() const {
    const QSize size = SurfaceSize();
    if (size == surface_.size()) return;
    QImage grown(size, QImage::Format_RGB32);
    grown.fill(MarginColor());
    // Copied pixel for pixel: both count device pixels at the same ratio.
    surface_.setDevicePixelRatio(1.0);
    QPainter painter(&grown);
    painter.drawImage(0, 0, surface_);
    painter.end();
    grown.setDevicePixelRatio(ratio_);
    surface_ = std::move(grown);
}

void PictureBox::paintEvent(QPaintEvent*) {
    SyncSurface();
    QPainter painter(this);
    painter.drawImage(0, 0, surface_);
}

void PictureBox::BitBlt(int dstX, int dstY, int w, int h, const DisplayBitmap& bitmap, int srcX,
                        int srcY, RasterOp op) {
    if (!bitmap.made()) return;
    SyncSurface();
    // Clip the block to the bitmap and to the surface, in 64 bits so that no
    // caller's coordinates can overflow the arithmetic.
    int64_t dx = dstX, dy = dstY, sx = srcX, sy = srcY, bw = w, bh = h;
    if (sx < 0) { dx -= sx; bw += sx; sx = 0; }
    if (sy < 0) { dy -= sy; bh += sy; sy = 0; }
    if (dx < 0) { sx -= dx; bw += dx; dx = 0; }
    if (dy < 0) { sy -= dy; bh += dy; dy = 0; }
    bw = std::min({bw, int64_t{bitmap.width()} - sx, int64_t{surface_.width()} - dx});
    bh = std::min({bh, int64_t{bitmap.height()} - sy, int64_t{surface_.height()} - dy});
    if (bw <= 0 || bh <= 0) return;
    const int64_t stride = bitmap.stride();
    for (int64_t line = 0; line < bh; ++line) {
        const int64_t bufferRow = bitmap.height() - 1 - (sy + line);
        const uint8_t* s = bitmap.bits + bufferRow * stride + 3 * sx;
        auto* d = reinterpret_cast<QRgb*>(surface_.scanLine(int(dy + line))) + dx;
        for (int64_t i = 0; i < bw; ++i, s += 3) {
            const QRgb pixel = qRgb(s[2], s[1], s[0]);
            d[i] = op == RasterOp::Copy ? pixel : (d[i] & pixel) | 0xff000000u;
        }
    }
    update();
}

}  // namespace calmora
