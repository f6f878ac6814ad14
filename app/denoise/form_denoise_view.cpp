// The dialog's image view: display bitmaps, scrolling the image and placing
// the preview rectangle.
#include <QApplication>
#include <QCursor>
#include <QPushButton>
#include <QToolButton>
#include <algorithm>
#include <cstring>

#include "denoise_host.h"
#include "form_denoise.h"
#include "message_catalogue.h"
#include "picture_box.h"
#include "preferences.h"

namespace calmora {

namespace {

constexpr int kNotEnoughMemoryForView = 42;  // "Insufficient memory for POut CreaDIB."
constexpr int kBlockCopyFailed = 5;          // "Insufficient memory for Sin KcBitBlt."

const QColor kActiveMode(80, 80, 80);
const QColor kIdleMode(255, 255, 255);

void SetButtonBackground(QToolButton* button, const QColor& colour) {
    button->setStyleSheet(QStringLiteral("QToolButton { background-color: %1; border: 1px solid "
                                         "rgb(120,120,120); }")
                              .arg(colour.name()));
}

void FillBitmap(DisplayBitmap& bitmap, uint8_t blue, uint8_t green, uint8_t red) {
    const int64_t stride = bitmap.stride();
    for (int32_t row = 0; row < bitmap.height(); ++row) {
        uint8_t* p = bitmap.bits + row * stride;
        for (int32_t x = 0; x < bitmap.width(); ++x, p += 3) {
            p[0] = blue;
            p[1] = green;
            p[2] = red;
        }
    }
}

// Copies the surface's pixels from (x, y) into the whole bitmap; what lies
// outside the surface is left black (it is never drawn back: blits clip).
void GrabSurface(const QImage& surface, int x, int y, DisplayBitmap& into) {
    const int64_t stride = into.stride();
    for (int32_t line = 0; line < into.height(); ++line) {
        uint8_t* d = into.bits + (into.height() - 1 - line) * stride;
        const int sy = y + line;
        for (int32_t i = 0; i < into.width(); ++i, d += 3) {
            const int sx = x + i;
            if (sx < 0 || sy < 0 || sx >= surface.width() || sy >= surface.height()) {
                d[0] = d[1] = d[2] = 0;
                continue;
            }
            const QRgb pixel = reinterpret_cast<const QRgb*>(surface.constScanLine(sy))[sx];
            d[0] = static_cast<uint8_t>(qBlue(pixel));
            d[1] = static_cast<uint8_t>(qGreen(pixel));
            d[2] = static_cast<uint8_t>(qRed(pixel));
        }
    }
}

}  // namespace

bool FormDenoise::MakeBitmap(DisplayBitmap& bitmap, int32_t width, int32_t height,
                             const char* name) {
    return makeBitmap_(bitmap, width, height, name);
}

void FormDenoise::FailLoad(int message) {
    QApplication::restoreOverrideCursor();
    unsetCursor();
    ShowMessage(this, message);
    hide();
}

bool FormDenoise::CreateBitmapsAndDraw() {
    const int32_t picWidth = Pic->width(), picHeight = Pic->height();
    if (!MakeBitmap(viewBmp_, picWidth, picHeight, "viewBmp") ||
        !MakeBitmap(viewChanBmp_, picWidth, picHeight, "viewChanBmp")) {
        FailLoad(kNotEnoughMemoryForView);
        return false;
    }
    if (areaMode_) {
        if (!CopyImageBlock(viewBmp_.bits, 0, 0, picWidth, picHeight, imageBits_, 0, 0,
                            imageWidth_, imageHeight_)) {
            FailLoad(kBlockCopyFailed);
            return false;
        }
    } else {
        std::memcpy(viewBmp_.bits, imageBits_, static_cast<size_t>(viewBmp_.info.sizeImage));
    }
    Pic->BitBlt(0, 0, picWidth, picHeight, viewBmp_, 0, 0);
    Pic->Refresh();

    area_ = areaMode_ ? PreviewAreaSize(kPaneWidth, kPaneHeight, picWidth, picHeight)
                      : AreaSize{imageWidth_, imageHeight_};
    rectWidth_ = areaMode_ ? area_.width + 2 : PicR->width();
    rectHeight_ = areaMode_ ? area_.height + 2 : PicR->height();
    rectRange_ = ComputeRectangleRange(picWidth, picHeight, rectWidth_, rectHeight_);
    const int32_t saveWidth = rectWidth_ + 2 * kBandWidth, saveHeight = rectHeight_ + 2 * kBandWidth;

    // The whole image in one channel is as large as the image itself, so it
    // may well be the one that fails: then the dialog cannot work and says so.
    struct Needed {
        DisplayBitmap& bitmap;
        int32_t width, height;
        const char* name;
    };
    const Needed needed[] = {
        {PicSave->bitmap, saveWidth, saveHeight, "PicSave"},
        {PicMask->bitmap, saveWidth, rectHeight_, "PicMask"},
        {outlineBmp_, rectWidth_, rectHeight_, "outline"},
        {imageChanBmp_, imageWidth_, imageHeight_, "imageChanBmp"},
        {areaOrigBmp_, area_.width, area_.height, "areaOrigBmp"},
        {areaOrigChanBmp_, area_.width, area_.height, "areaOrigChanBmp"},
        {areaDenBmp_, area_.width, area_.height, "areaDenBmp"},
        {areaDenChanBmp_, area_.width, area_.height, "areaDenChanBmp"},
        {areaNoiseBmp_, area_.width, area_.height, "areaNoiseBmp"},
        {areaNoiseChanBmp_, area_.width, area_.height, "areaNoiseChanBmp"},
    };
    for (const Needed& n : needed) {
        if (!MakeBitmap(n.bitmap, n.width, n.height, n.name)) {
            FailLoad(kNotEnoughMemoryForView);
            return false;
        }
    }
    FillBitmap(PicMask->bitmap, 80, 80, 80);
    FillBitmap(outlineBmp_, 255, 255, 255);
    if (!areaMode_)
        std::memcpy(areaOrigBmp_.bits, imageBits_, static_cast<size_t>(areaOrigBmp_.info.sizeImage));
    // The dialog opens in scroll mode: its button is the dark one.
    SetButtonBackground(CmdScroll, kActiveMode);
    SetButtonBackground(CmdSelectArea, kIdleMode);
    return true;
}

// Modes ----------------------------------------------------------------------

void FormDenoise::CmdSelectArea_Click() {
    if (selectionMode_ == 1) return;
    selectionMode_ = 1;
    if (CanRun(settings_)) CmdPreview->setEnabled(true);
    rectangleShown_ = true;
    SetButtonBackground(CmdSelectArea, kActiveMode);
    SetButtonBackground(CmdScroll, kIdleMode);
    const RectanglePlace place = CentredRectangle(Pic->width(), Pic->height(), rectWidth_, rectHeight_);
    rectLeft_ = place.left;
    rectTop_ = place.top;
    SaveRectangleSurroundings();
    DrawRectangle();
}

void FormDenoise::CmdScroll_Click() {
    if (selectionMode_ == 0) return;
    selectionMode_ = 0;
    rectangleShown_ = false;
    previewValid_ = false;
    CmdPreview->setEnabled(false);
    SetButtonBackground(CmdScroll, kActiveMode);
    SetButtonBackground(CmdSelectArea, kIdleMode);
    Pic->BitBlt(0, 0, Pic->width(), Pic->height(), currentChannel_ == 0 ? viewBmp_ : viewChanBmp_,
                0, 0);
    Pic->Refresh();
    ClearPanes();
    SetViewButtonsEnabled(false);
}

// Mouse ------------------------------------------------------------------------

void FormDenoise::SetDragging(bool dragging) {
    dragging_ = dragging;
    if (dragging)
        Pic->setCursor(Qt::SizeAllCursor);
    else
        Pic->unsetCursor();
}

void FormDenoise::Pic_MouseDown(const QPoint& position, Qt::MouseButton button) {
    // The view and the rectangle stay put while a run works on them.
    if (runActive_) return;
    const Qt::MouseButton dragButton =
        CurrentPreferences().scrollButton == 2 ? Qt::RightButton : Qt::LeftButton;
    if (button != dragButton) return;
    if (selectionMode_ == 0) {
        // The whole image is on show: a drag pointer would promise a move
        // that can never come.
        if (!areaMode_) return;
        if (dragging_) {
            SetDragging(false);  // a drag whose release was lost ends here
            return;
        }
        SetDragging(true);
        dragAnchor_ = position;
        return;
    }
    if (!InsideRectangle(position.x(), position.y(), rectLeft_, rectTop_, rectWidth_, rectHeight_))
        return;
    SetViewButtonsEnabled(false);
    ClearPanes();
    SetDragging(true);
    moveAnchor_ = position;
}

void FormDenoise::Pic_MouseMove(const QPoint& position) {
    if (!dragging_ || runActive_) return;
    if (selectionMode_ == 0) {
        DragImage(position);
    } else {
        previewValid_ = false;
        MoveRectangle(position);
    }
}

void FormDenoise::Pic_MouseUp() {
    if (dragging_) SetDragging(false);
}

void FormDenoise::DragImage(const QPoint& position) {
    int32_t anchorX = dragAnchor_.x(), anchorY = dragAnchor_.y();
    const int32_t dy =
        DragImageAxis(position.y(), anchorY, scrollY_, scrollLimitY_, Pic->height(), imageHeight_);
    const int32_t dx =
        DragImageAxis(position.x(), anchorX, scrollX_, scrollLimitX_, Pic->width(), imageWidth_);
    dragAnchor_ = QPoint(anchorX, anchorY);
    if (dx == 0 && dy == 0) return;
    ClearPanes();
    if (currentChannel_ == 0) {
        CopyImageBlock(viewBmp_.bits, 0, 0, Pic->width(), Pic->height(), imageBits_, scrollX_,
                       scrollY_, imageWidth_, imageHeight_);
        Pic->BitBlt(0, 0, Pic->width(), Pic->height(), viewBmp_, 0, 0);
    } else {
        CopyImageBlock(viewChanBmp_.bits, 0, 0, Pic->width(), Pic->height(), imageChanBmp_.bits,
                       scrollX_, scrollY_, imageWidth_, imageHeight_);
        Pic->BitBlt(0, 0, Pic->width(), Pic->height(), viewChanBmp_, 0, 0);
    }
    Pic->Refresh();
}

void FormDenoise::MoveRectangle(const QPoint& position) {
    const int32_t oldLeft = rectLeft_, oldTop = rectTop_;
    int32_t anchorX = moveAnchor_.x(), anchorY = moveAnchor_.y();
    MoveRectangleAxis(position.x(), anchorX, rectLeft_, rectRange_.lowX, rectRange_.highX);
    MoveRectangleAxis(position.y(), anchorY, rectTop_, rectRange_.lowY, rectRange_.highY);
    moveAnchor_ = QPoint(anchorX, anchorY);
    const DisplayBitmap& save = PicSave->bitmap;
    Pic->BitBlt(oldLeft - kBandWidth, oldTop - kBandWidth, save.width(), save.height(), save, 0, 0);
    SaveRectangleSurroundings();
    DrawRectangle();
}

void FormDenoise::SaveRectangleSurroundings() {
    GrabSurface(Pic->Surface(), rectLeft_ - kBandWidth, rectTop_ - kBandWidth, PicSave->bitmap);
}

void FormDenoise::DrawRectangle() {
    const int32_t l = rectLeft_, t = rectTop_, w = rectWidth_, h = rectHeight_;
    Pic->BitBlt(l, t, w, 1, outlineBmp_, 0, 0);
    Pic->BitBlt(l, t + h - 1, w, 1, outlineBmp_, 0, 0);
    Pic->BitBlt(l, t, 1, h, outlineBmp_, 0, 0);
    Pic->BitBlt(l + w - 1, t, 1, h, outlineBmp_, 0, 0);
    const DisplayBitmap& mask = PicMask->bitmap;
    const int32_t b = kBandWidth;
    Pic->BitBlt(l - b, t - b, mask.width(), b, mask, 0, 0, RasterOp::And);
    Pic->BitBlt(l - b, t + h, mask.width(), b, mask, 0, 0, RasterOp::And);
    Pic->BitBlt(l - b, t, b, h, mask, 0, 0, RasterOp::And);
    Pic->BitBlt(l + w, t, b, h, mask, 0, 0, RasterOp::And);
    Pic->Refresh();
}

void FormDenoise::ClearPanes() {
    PicR->Cls();
    PicNoise->Cls();
}

void FormDenoise::SetViewButtonsEnabled(bool enabled) {
    CmdOrigImg->setEnabled(enabled);
    CmdDenoisedImg->setEnabled(enabled);
    CmdNoiseImg->setEnabled(enabled);
}

}  // namespace calmora
