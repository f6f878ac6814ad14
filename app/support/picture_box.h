// A picture box: a widget with a persistent drawing surface of its own size.
// Display bitmaps are blitted onto the surface; Refresh repaints the widget.
// The surface counts device pixels: with a pixel ratio above 1 (a HiDPI
// display) it holds the widget's size times the ratio, so that one bitmap
// pixel lands on one device pixel instead of being blown up by Qt.
#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>

#include "display_bitmap.h"

namespace calmora {

enum class RasterOp { Copy, And };  // SRCCOPY, SRCAND

class PictureBox : public QWidget {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent = nullptr);

    // Copies (or ANDs) a w x h block of bitmap at (srcX, srcY) onto the surface
    // at (dstX, dstY). Coordinates are top-down on both sides; the bitmap's
    // bottom-up rows are turned into screen lines here. Clipped to both.
    void BitBlt(int dstX, int dstY, int w, int h, const DisplayBitmap& bitmap, int srcX, int srcY,
                RasterOp op = RasterOp::Copy);
    void Cls();  // fills the surface with the back colour
    void Refresh() { repaint(); }
    void SetBackColor(const QColor& color);
    // Device pixels per widget pixel of the surface; 1 draws as before, one
    // surface pixel per widget pixel. Blit coordinates count surface pixels.
    void SetPixelRatio(double ratio);
    [[nodiscard]] double PixelRatio() const { return ratio_; }
    [[nodiscard]] QColor BackColor() const { return backColor_; }
    [[nodiscard]] const QImage& Surface() const;
    [[nodiscard]] QRgb PixelAt(int x, int y) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // A hidden widget gets its resize event only when shown; the surface
    // follows the widget's size at every use so that drawing into a resized,
    // still hidden box is not clipped to its old size.
    void SyncSurface() const;

    // The surface's size in its own pixels for the widget's size now.
    [[nodiscard]] QSize SurfaceSize() const;
    // The colour of new surface pixels outside any bitmap drawn.
    [[nodiscard]] QColor MarginColor() const;

    mutable QImage surface_;
    QColor backColor_{Qt::white};
    double ratio_ = 1.0;
};

}  // namespace calmora
