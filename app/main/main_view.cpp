#include "main_window.h"

#include "command_lock.h"
#include "app/support/language.h"
#include "message_catalogue.h"
#include "message_ids.h"

#include <QCoreApplication>
#include <QMenu>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>

#include "KcDenoise.h"
#include "picture_box.h"

namespace calmora {

// ---------------------------------------------------------------- view

QSize MainWindow::ClientSize() const {
    return client_->size();
}

// The view lays out in device pixels: the client area and the bars' thickness
// go in with the display's ratio (1 on an ordinary display).
void MainWindow::SyncClientSize() {
    const QSize client = ClientSize();
    view_.SetClientSize(client.width(), client.height(),
                        style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, hScroll_),
                        client_->devicePixelRatioF());
}

TrueSizeLayout MainWindow::ComputeLayout(int32_t width, int32_t height) {
    SyncClientSize();
    return view_.LayoutFor(width, height);
}

FitGeometry MainWindow::ComputeFitFor(int32_t width, int32_t height) {
    SyncClientSize();
    return view_.FitFor(width, height);
}

void MainWindow::ApplyMarks(const SizeMarks& marks) {
    paintSizeTrue_->setChecked(marks.trueSize);
    paintSizeScreenFit_->setChecked(marks.screenFit);
}

void MainWindow::InstallLayout(const TrueSizeLayout& layout, int32_t x, int32_t y) {
    doc_.viewReadyFlag = false;
    ApplyLayout(layout);
    hScroll_->setValue(x);
    vScroll_->setValue(y);
    doc_.viewReadyFlag = true;
}

void MainWindow::SetBarRanges(const TrueSizeLayout& layout) {
    hScroll_->setRange(0, layout.hScrollMax);
    vScroll_->setRange(0, layout.vScrollMax);
    // One wheel notch moves a quarter of the view, the arrows a twentieth.
    hScroll_->setPageStep(std::max(1, layout.viewWidth / 4));
    hScroll_->setSingleStep(std::max(1, layout.viewWidth / 20));
    vScroll_->setPageStep(std::max(1, layout.viewHeight / 4));
    vScroll_->setSingleStep(std::max(1, layout.viewHeight / 20));
}

void MainWindow::ApplyLayout(const TrueSizeLayout& layout) {
    hScroll_->hide();
    vScroll_->hide();
    view_.SetLayout(layout);
    SetBarRanges(layout);
    PlaceScrollBars();
    hScroll_->setVisible(layout.hScrollShown);
    vScroll_->setVisible(layout.vScrollShown);
    paintSizeMenu_->menuAction()->setVisible(layout.sizeMenuVisible);
    if (layout.sizeMenuVisible) ApplyMarks(SizeMarks{true, false});
}

void MainWindow::PlaceScrollBars() {
    const QSize client = ClientSize();
    const int thickness = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, hScroll_);
    const bool both = view_.Layout().hScrollShown && view_.Layout().vScrollShown;
    hScroll_->setGeometry(0, client.height() - thickness,
                          both ? client.width() - thickness : client.width(), thickness);
    vScroll_->setGeometry(client.width() - thickness, 0, thickness,
                          both ? client.height() - thickness : client.height());
}

void MainWindow::PlacePic(int left, int top, int width, int height, bool devicePixels) {
    if (!devicePixels) {
        pic_->SetPixelRatio(1.0);
        pic_->setGeometry(left, top, width, height);
        return;
    }
    // A view's bitmap is drawn one pixel per device pixel; the widget around
    // it is placed in the window's own pixels.
    const PicturePlace place = view_.WidgetPlace({left, top, width, height});
    pic_->SetPixelRatio(view_.DeviceRatio());
    pic_->setGeometry(place.left, place.top, place.width, place.height);
}

int MainWindow::MakeTrueView(DisplayBitmap& bitmap, const uint8_t* bits, int32_t width,
                             int32_t height, const TrueSizeLayout& layout, int32_t x,
                             int32_t y) const {
    if (!Allocation().createDisplayBitmap(bitmap, layout.viewWidth, layout.viewHeight))
        return msg::kNoMemoryViewBitmap;
    if (layout.viewWidth == width && layout.viewHeight == height) {
        std::memcpy(bitmap.bits, bits, static_cast<size_t>(bitmap.info.sizeImage));
        return 0;
    }
    x = std::clamp(x, 0, std::max(0, width - layout.viewWidth));
    y = std::clamp(y, 0, std::max(0, height - layout.viewHeight));
    if (!CopyImageBlock(bitmap.bits, 0, 0, layout.viewWidth, layout.viewHeight, bits, x, y, width,
                        height)) {
        bitmap.Release();
        return msg::kNoMemoryViewCopy;
    }
    return 0;
}

int MainWindow::MakeFitView(DisplayBitmap& bitmap, const uint8_t* bits, int32_t width,
                            int32_t height, const FitGeometry& fit) const {
    const int64_t sourceStride = BufferStride(width);
    if (sourceStride < 0) return msg::kNoMemoryScreenFit;
    if (!Allocation().createDisplayBitmap(bitmap, fit.fitWidth, fit.fitHeight))
        return msg::kNoMemoryScreenFit;
    KcNearestResampling(bits, bitmap.bits, width, static_cast<int32_t>(sourceStride), height,
                        fit.fitWidth, static_cast<int32_t>(bitmap.stride()), fit.fitHeight);
    return 0;
}

void MainWindow::UpdateFitGeometry() {
    view_.SetFit(ComputeFitFor(doc_.width, doc_.height));
}

void MainWindow::DropFitBitmap() {
    doc_.fitBitmap.Release();
    doc_.fitBitmapExists = false;
}

// Each view sets the Size menu's marks itself: a view may be shown again from
// an event that arrives while another command is half way (a resize during
// screen fit), and the marks must name the view on screen.
void MainWindow::ShowTrueView() {
    const TrueSizeLayout& layout = view_.Layout();
    view_.SetMode(kTrueSize);
    zoomBitmap_.Release();
    ApplyMarks(view_.Marks());
    SetTitle(view_.Caption().In(CurrentLanguage()));
    PlacePic(layout.viewLeft, layout.viewTop, layout.viewWidth, layout.viewHeight);
    pic_->BitBlt(0, 0, layout.viewWidth, layout.viewHeight, doc_.viewBitmap, 0, 0);
    pic_->Refresh();
    hScroll_->setVisible(layout.hScrollShown);
    vScroll_->setVisible(layout.vScrollShown);
    pic_->show();
}

void MainWindow::ShowFitView() {
    // A command that replaced the picture (a turn, a step of the history)
    // shows "the view on screen" again knowing only true size and fit; a
    // zoomed view has no fitted bitmap made, and goes back to true size.
    if (view_.Mode() == kZoomed) {
        ShowTrueView();
        return;
    }
    const FitGeometry& fit = view_.Fit();
    zoomBitmap_.Release();
    ApplyMarks(SizeMarks{false, true});
    hScroll_->hide();
    vScroll_->hide();
    PlacePic(fit.fitLeft, fit.fitTop, fit.fitWidth, fit.fitHeight);
    pic_->BitBlt(0, 0, fit.fitWidth, fit.fitHeight, doc_.fitBitmap, 0, 0);
    SetTitle(view_.FittedCaption().In(CurrentLanguage()));
    view_.SetMode(kScreenFit);
    pic_->Refresh();
    pic_->show();
}

void MainWindow::PaintSizeScreenFit_Click() {
    if (!HasImage() || paintSizeScreenFit_->isChecked()) return;
    // From another zoom level through true size, whose bars keep the spot.
    LeaveZoom();
    MenuLock lock(*this, true);
    ApplyMarks(SizeMarks{false, true});
    BusyPointers busy(*this, true);
    QCoreApplication::processEvents();

    if (!doc_.fitBitmapExists) {
        if (MakeFitView(doc_.fitBitmap, doc_.imageBits, doc_.width, doc_.height, view_.Fit()) !=
            0) {
            // The true-size view stays, with its menu marks and bars usable.
            doc_.fitBitmapExists = false;
            ApplyMarks(SizeMarks{true, false});
            busy.Release();
            ShowMessage(this, msg::kNoMemoryScreenFit);
            return;
        }
        doc_.fitBitmapExists = true;
    }
    ShowFitView();
    lock.Release();
    // Only the bars the true-size view shows stay usable behind the fitted view.
    hScroll_->setEnabled(view_.Layout().hScrollShown);
    vScroll_->setEnabled(view_.Layout().vScrollShown);
}

void MainWindow::PaintSizeTrue_Click() {
    if (!HasImage() || paintSizeTrue_->isChecked()) return;
    if (view_.Mode() == kZoomed) {
        LeaveZoom();
        return;
    }
    pic_->hide();
    ShowTrueView();
    // The fitted view left only the bars it had hidden usable. A turn or a
    // resize made while fitted may have brought in the other bar: both come
    // back usable, or a bar would show that neither clicks nor the wheel move.
    hScroll_->setEnabled(true);
    vScroll_->setEnabled(true);
    // The bars keep their values while hidden; show the block they point at.
    RedrawView();
}

void MainWindow::RedrawView() {
    if (doc_.loadingFlag || !doc_.viewReadyFlag || !HasImage()) return;
    if (view_.Mode() == kZoomed) {
        RedrawZoomedView();
        return;
    }
    if (view_.Mode() == kTrueSize) {
        view_.SetTrueScroll(hScroll_->value(), vScroll_->value());
        if (!doc_.viewBitmap.made()) return;
        const TrueSizeLayout& layout = view_.Layout();
        const int32_t x =
            std::clamp(view_.TrueScrollX(), 0, std::max(0, doc_.width - layout.viewWidth));
        const int32_t y =
            std::clamp(view_.TrueScrollY(), 0, std::max(0, doc_.height - layout.viewHeight));
        if (!CopyImageBlock(doc_.viewBitmap.bits, 0, 0, layout.viewWidth, layout.viewHeight,
                            doc_.imageBits, x, y, doc_.width, doc_.height)) {
            return;
        }
        pic_->BitBlt(0, 0, layout.viewWidth, layout.viewHeight, doc_.viewBitmap, 0, 0);
    } else {
        if (!doc_.fitBitmapExists) return;
        pic_->BitBlt(0, 0, view_.Fit().fitWidth, view_.Fit().fitHeight, doc_.fitBitmap, 0, 0);
    }
    pic_->Refresh();
}

void MainWindow::HScroll1_Change() {
    RedrawView();
}
void MainWindow::Vscroll1_Change() {
    RedrawView();
}

// A window that can be resized gets its view laid out again for the new client
// area, keeping the scroll position where it can.
void MainWindow::RelayoutForClientSize() {
    if (!HasImage()) {
        view_.SetLayout(TrueSizeLayout{});
        PlaceScrollBars();
        if (startPictureShown_) {
            const QSize client = ClientSize();
            pic_->move((client.width() - pic_->width()) / 2,
                       (client.height() - pic_->height()) / 2);
        }
        return;
    }
    if (doc_.loadingFlag || !doc_.viewReadyFlag || !doc_.viewBitmap.made()) {
        PlaceScrollBars();
        return;
    }
    if (view_.Mode() == kZoomed) {
        RelayoutZoomed();
        return;
    }
    const TrueSizeLayout layout = ComputeLayout(doc_.width, doc_.height);
    const int32_t x = std::min(hScroll_->value(), layout.hScrollMax);
    const int32_t y = std::min(vScroll_->value(), layout.vScrollMax);
    const FitGeometry fit = ComputeFitFor(doc_.width, doc_.height);
    DisplayBitmap view;
    int failure = MakeTrueView(view, doc_.imageBits, doc_.width, doc_.height, layout, x, y);
    DisplayBitmap fitted;
    const bool fitChanged =
        fit.fitWidth != view_.Fit().fitWidth || fit.fitHeight != view_.Fit().fitHeight;
    const bool refit = view_.Mode() == kScreenFit && fitChanged;
    if (failure == 0 && refit) {
        failure = MakeFitView(fitted, doc_.imageBits, doc_.width, doc_.height, fit);
    }
    if (failure != 0) {
        // The previous view is still whole; keep it.
        PlaceScrollBars();
        ShowMessage(this, failure);
        return;
    }
    std::swap(doc_.viewBitmap, view);
    if (fitChanged) DropFitBitmap();
    if (refit) {
        std::swap(doc_.fitBitmap, fitted);
        doc_.fitBitmapExists = true;
    }
    view_.SetFit(fit);

    InstallLayout(layout, x, y);
    if (view_.Mode() == kTrueSize) {
        ShowTrueView();
    } else {
        ShowFitView();
    }
}

}  // namespace calmora
