#include "area_tool.h"

#include <QAbstractButton>
#include <QMouseEvent>
#include <cstring>

#include "KcDenoise.h"
#include "picture_box.h"
#include "preferences.h"

namespace calmora {

namespace {

constexpr int kNotEnoughMemoryForView = 42;  // "Insufficient memory for POut CreaDIB."
constexpr int kBlockCopyFailed = 5;          // "Insufficient memory for Sin KcBitBlt."

const QColor kActiveMode(80, 80, 80);
const QColor kIdleMode(255, 255, 255);

void SetButtonBackground(QAbstractButton* button, const QColor& colour) {
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

void ExtractChannel(int channel, const uint8_t* source, uint8_t* destination, int32_t width,
                    int32_t height) {
    switch (channel) {
        case 1: KcEstraiRed(source, destination, width, height); break;
        case 2: KcEstraiGreen(source, destination, width, height); break;
        case 3: KcEstraiBlue(source, destination, width, height); break;
        default: break;
    }
}

}  // namespace

AreaTool::AreaTool(const AreaToolControls& controls, PreviewState& state)
    : c_(controls), state_(state) {
    c_.pic->installEventFilter(this);
}

AreaTool::~AreaTool() = default;

void AreaTool::SetImage(const uint8_t* bits, int32_t width, int32_t height) {
    imageBits_ = bits;
    imageWidth_ = width;
    imageHeight_ = height;
}

int AreaTool::Prepare(const BitmapMaker& make, QSize paneSize) {
    PictureBox* pic = c_.pic;
    const int32_t picWidth = pic->width(), picHeight = pic->height();
    if (!make(viewBmp_, picWidth, picHeight, "viewBmp") ||
        !make(viewChanBmp_, picWidth, picHeight, "viewChanBmp"))
        return kNotEnoughMemoryForView;
    const bool areaMode = state_.areaMode;
    if (areaMode) {
        if (!CopyImageBlock(viewBmp_.bits, 0, 0, picWidth, picHeight, imageBits_, 0, 0,
                            imageWidth_, imageHeight_))
            return kBlockCopyFailed;
    } else {
        std::memcpy(viewBmp_.bits, imageBits_, static_cast<size_t>(viewBmp_.info.sizeImage));
    }
    pic->BitBlt(0, 0, picWidth, picHeight, viewBmp_, 0, 0);
    pic->Refresh();

    PreviewState& s = state_;
    s.area = areaMode ? PreviewAreaSize(paneSize.width(), paneSize.height(), picWidth, picHeight)
                      : AreaSize{imageWidth_, imageHeight_};
    // In whole-image mode the panes have the image's size.
    s.rectWidth = areaMode ? s.area.width + 2 : s.area.width;
    s.rectHeight = areaMode ? s.area.height + 2 : s.area.height;
    rectRange_ = ComputeRectangleRange(picWidth, picHeight, s.rectWidth, s.rectHeight);
    const int32_t saveWidth = s.rectWidth + 2 * kBandWidth;
    const int32_t saveHeight = s.rectHeight + 2 * kBandWidth;

    // The whole image in one channel is as large as the image itself, so it
    // may well be the one that fails: then the dialog cannot work and says so.
    struct Needed {
        DisplayBitmap& bitmap;
        int32_t width, height;
        const char* name;
    };
    AreaBitmaps& a = s.areaBitmaps;
    const int32_t aw = s.area.width, ah = s.area.height;
    const Needed needed[] = {
        {c_.save->bitmap, saveWidth, saveHeight, "PicSave"},
        {c_.mask->bitmap, saveWidth, s.rectHeight, "PicMask"},
        {outlineBmp_, s.rectWidth, s.rectHeight, "outline"},
        {imageChanBmp_, imageWidth_, imageHeight_, "imageChanBmp"},
        {a.original, aw, ah, "areaOrigBmp"},
        {a.originalChannel, aw, ah, "areaOrigChanBmp"},
        {a.denoised, aw, ah, "areaDenBmp"},
        {a.denoisedChannel, aw, ah, "areaDenChanBmp"},
        {a.noise, aw, ah, "areaNoiseBmp"},
        {a.noiseChannel, aw, ah, "areaNoiseChanBmp"},
    };
    for (const Needed& n : needed)
        if (!make(n.bitmap, n.width, n.height, n.name)) return kNotEnoughMemoryForView;
    FillBitmap(c_.mask->bitmap, 80, 80, 80);
    FillBitmap(outlineBmp_, 255, 255, 255);
    if (!areaMode)
        std::memcpy(a.original.bits, imageBits_, static_cast<size_t>(a.original.info.sizeImage));
    // The dialog opens in scroll mode: its button is the dark one.
    ShowMode(c_.scroll, c_.selectArea);
    return 0;
}

void AreaTool::ShowMode(QAbstractButton* active, QAbstractButton* idle) {
    SetButtonBackground(active, kActiveMode);
    SetButtonBackground(idle, kIdleMode);
}

// Modes ----------------------------------------------------------------------

void AreaTool::SelectArea() {
    if (state_.selectionMode == 1) return;
    state_.selectionMode = 1;
    emit selectionModeChanged();
    state_.rectangleShown = true;
    ShowMode(c_.selectArea, c_.scroll);
    const RectanglePlace place =
        CentredRectangle(c_.pic->width(), c_.pic->height(), state_.rectWidth, state_.rectHeight);
    state_.rectLeft = place.left;
    state_.rectTop = place.top;
    SaveSurroundings();
    DrawRectangle();
}

void AreaTool::Scroll() {
    if (state_.selectionMode == 0) return;
    state_.selectionMode = 0;
    state_.rectangleShown = false;
    state_.previewValid = false;
    emit selectionModeChanged();
    ShowMode(c_.scroll, c_.selectArea);
    c_.pic->BitBlt(0, 0, c_.pic->width(), c_.pic->height(),
                   state_.currentChannel == 0 ? viewBmp_ : viewChanBmp_, 0, 0);
    c_.pic->Refresh();
    emit previewOutdated();
}

// Mouse ----------------------------------------------------------------------

bool AreaTool::eventFilter(QObject* watched, QEvent* event) {
    if (watched != c_.pic) return QObject::eventFilter(watched, event);
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            MouseDown(mouse->position().toPoint(), mouse->button());
            return true;
        }
        case QEvent::MouseMove:
            MouseMove(static_cast<QMouseEvent*>(event)->position().toPoint());
            return true;
        case QEvent::MouseButtonRelease:
            MouseUp();
            return true;
        default:
            return QObject::eventFilter(watched, event);
    }
}

void AreaTool::SetDragging(bool dragging) {
    dragging_ = dragging;
    if (dragging)
        c_.pic->setCursor(Qt::SizeAllCursor);
    else
        c_.pic->unsetCursor();
}

void AreaTool::MouseDown(const QPoint& position, Qt::MouseButton button) {
    // The view and the rectangle stay put while a run works on them.
    if (state_.runActive) return;
    const Qt::MouseButton dragButton =
        CurrentPreferences().scrollButton == 2 ? Qt::RightButton : Qt::LeftButton;
    if (button != dragButton) return;
    if (state_.selectionMode == 0) {
        // Whole-image mode too: it is scroll mode with nothing to scroll, and
        // the pointer says a drag is under way as in the other layout.
        if (dragging_) {
            SetDragging(false);  // a drag whose release was lost ends here
            return;
        }
        SetDragging(true);
        dragAnchor_ = position;
        return;
    }
    if (!InsideRectangle(position.x(), position.y(), state_.rectLeft, state_.rectTop,
                         state_.rectWidth, state_.rectHeight))
        return;
    emit previewOutdated();
    SetDragging(true);
    moveAnchor_ = position;
}

void AreaTool::MouseMove(const QPoint& position) {
    if (!dragging_ || state_.runActive) return;
    if (state_.selectionMode == 0) {
        DragImage(position);
    } else {
        state_.previewValid = false;
        MoveRectangle(position);
    }
}

void AreaTool::MouseUp() {
    if (dragging_) SetDragging(false);
}

void AreaTool::DragImage(const QPoint& position) {
    PictureBox* pic = c_.pic;
    int32_t anchorX = dragAnchor_.x(), anchorY = dragAnchor_.y();
    const int32_t dy = DragImageAxis(position.y(), anchorY, state_.scrollY, state_.scrollLimitY,
                                     pic->height(), imageHeight_);
    const int32_t dx = DragImageAxis(position.x(), anchorX, state_.scrollX, state_.scrollLimitX,
                                     pic->width(), imageWidth_);
    dragAnchor_ = QPoint(anchorX, anchorY);
    if (dx == 0 && dy == 0) return;
    emit panesOutdated();
    // While a channel is shown only its view is kept current.
    const bool colour = state_.currentChannel == 0;
    DisplayBitmap& view = colour ? viewBmp_ : viewChanBmp_;
    CopyImageBlock(view.bits, 0, 0, pic->width(), pic->height(),
                   colour ? imageBits_ : imageChanBmp_.bits, state_.scrollX, state_.scrollY,
                   imageWidth_, imageHeight_);
    pic->BitBlt(0, 0, pic->width(), pic->height(), view, 0, 0);
    pic->Refresh();
}

void AreaTool::MoveRectangle(const QPoint& position) {
    const int32_t oldLeft = state_.rectLeft, oldTop = state_.rectTop;
    int32_t anchorX = moveAnchor_.x(), anchorY = moveAnchor_.y();
    MoveRectangleAxis(position.x(), anchorX, state_.rectLeft, rectRange_.lowX, rectRange_.highX);
    MoveRectangleAxis(position.y(), anchorY, state_.rectTop, rectRange_.lowY, rectRange_.highY);
    moveAnchor_ = QPoint(anchorX, anchorY);
    const DisplayBitmap& save = c_.save->bitmap;
    c_.pic->BitBlt(oldLeft - kBandWidth, oldTop - kBandWidth, save.width(), save.height(), save,
                   0, 0);
    SaveSurroundings();
    DrawRectangle();
}

// Drawing --------------------------------------------------------------------

void AreaTool::SaveSurroundings() {
    GrabSurface(c_.pic->Surface(), state_.rectLeft - kBandWidth, state_.rectTop - kBandWidth,
                c_.save->bitmap);
}

void AreaTool::DrawRectangle() {
    PictureBox* pic = c_.pic;
    const int32_t l = state_.rectLeft, t = state_.rectTop;
    const int32_t w = state_.rectWidth, h = state_.rectHeight;
    pic->BitBlt(l, t, w, 1, outlineBmp_, 0, 0);
    pic->BitBlt(l, t + h - 1, w, 1, outlineBmp_, 0, 0);
    pic->BitBlt(l, t, 1, h, outlineBmp_, 0, 0);
    pic->BitBlt(l + w - 1, t, 1, h, outlineBmp_, 0, 0);
    const DisplayBitmap& mask = c_.mask->bitmap;
    const int32_t b = kBandWidth;
    pic->BitBlt(l - b, t - b, mask.width(), b, mask, 0, 0, RasterOp::And);
    pic->BitBlt(l - b, t + h, mask.width(), b, mask, 0, 0, RasterOp::And);
    pic->BitBlt(l - b, t, b, h, mask, 0, 0, RasterOp::And);
    pic->BitBlt(l + w, t, b, h, mask, 0, 0, RasterOp::And);
    pic->Refresh();
}

void AreaTool::ShowInRectangle(const DisplayBitmap& bitmap) {
    c_.pic->BitBlt(state_.rectLeft + 1, state_.rectTop + 1, state_.area.width, state_.area.height,
                   bitmap, 0, 0);
    c_.pic->Refresh();
}

void AreaTool::RedrawInChannel(int previousChannel, int newChannel) {
    // The view bitmaps have Pic's inner size.
    const int32_t viewWidth = viewBmp_.width(), viewHeight = viewBmp_.height();
    if (previousChannel != 0) {
        // While a channel was shown, dragging kept only the channel view current.
        CopyImageBlock(viewBmp_.bits, 0, 0, viewWidth, viewHeight, imageBits_, state_.scrollX,
                       state_.scrollY, imageWidth_, imageHeight_);
    }
    const DisplayBitmap* source = &viewBmp_;
    if (newChannel != 0) {
        ExtractChannel(newChannel, imageBits_, imageChanBmp_.bits, imageWidth_, imageHeight_);
        ExtractChannel(newChannel, viewBmp_.bits, viewChanBmp_.bits, viewWidth, viewHeight);
        source = &viewChanBmp_;
    }
    c_.pic->BitBlt(0, 0, viewWidth, viewHeight, *source, 0, 0);
    c_.pic->Refresh();
}

}  // namespace calmora
