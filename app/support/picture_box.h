// A picture box: a widget with a persistent drawing surface of its own size.
// Display bitmaps are blitted onto the surface; Refresh repaints the widget.
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

    mutable QImage surface_;
    QColor backColor_{Qt::white};
};

}  // namespace calmora
