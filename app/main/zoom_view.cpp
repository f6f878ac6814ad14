// The zoomed views of the main window: every level of the ladder besides true
// size and screen fit, which keep their own views. A zoomed view replaces the
// bars' ranges with those of the scaled picture and draws only the block on
// screen; the true-size layout and its view bitmap stay ready underneath, so
// going back to true size or fit is the ordinary command with the bars set to
// keep the point the zoomed view was centred on.
#include "main_window.h"

#include "command_lock.h"
#include "app/support/language.h"
#include "message_catalogue.h"
#include "message_ids.h"

#include <QMenu>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>

#include "picture_box.h"
#include "zoom_levels.h"
#include "zoom_resample.h"

namespace calmora {

bool MainWindow::ZoomAllowed() const {
    // The same moments the Size menu can be used: an image, no load, no lock
    // (An action that is hidden reads as disabled, so the File menu tells.)
    return HasImage() && !doc_.loadingFlag && !denoiseDialogOpen_ &&
           windowPointer_ != kPointerBusy && fileMenu_->menuAction()->isEnabled();
}

void MainWindow::ZoomIn_Click() {
    ZoomBy(1, nullptr);
}

void MainWindow::ZoomOut_Click() {
    ZoomBy(-1, nullptr);
}

void MainWindow::ZoomBy(int steps, const ClientSpot* spot) {
    if (!ZoomAllowed() || steps == 0) return;
    SyncClientSize();
    const double fitScale = view_.FitFor(doc_.width, doc_.height).fitScale;
    const double current = view_.Zoom();
    double target = current;
    for (int n = std::abs(steps); n > 0; --n) target = NextZoomLevel(target, fitScale, steps > 0);
    if (SameZoom(target, current)) return;
    const ClientSpot centre = view_.Centre();
    const ImagePoint point =
        PointUnder(view_.Mapping(hScroll_->value(), vScroll_->value()), spot ? *spot : centre);
    ShowZoomLevel(target, point, spot);
}

void MainWindow::LeaveZoom() {
    if (view_.Mode() != kZoomed) return;
    ShowZoomLevel(1.0,
                  PointUnder(view_.Mapping(hScroll_->value(), vScroll_->value()), view_.Centre()),
                  nullptr);
}

void MainWindow::ShowZoomLevel(double scale, ImagePoint point, const ClientSpot* spot) {
    const FitGeometry& fit = view_.Fit();
    const bool fitReduces = fit.fitScale < 1.0f;
    if (SameZoom(scale, 1.0) || (fitReduces && SameZoom(scale, fit.fitScale))) {
        // Both go through the true-size layout: the bars set there are what
        // screen fit keeps behind it and what true size comes back to.
        const TrueSizeLayout& layout = view_.Layout();
        const ClientSpot at = spot && SameZoom(scale, 1.0) ? *spot : ViewCentre(layout);
        const ScrollPosition scroll = ScrollBringing(layout, 1.0, point, at);
        if (view_.Mode() != kTrueSize) {
            InstallLayout(layout, scroll.x, scroll.y);
            pic_->hide();
            ShowTrueView();
            hScroll_->setEnabled(true);
            vScroll_->setEnabled(true);
        } else {
            doc_.viewReadyFlag = false;
            hScroll_->setValue(scroll.x);
            vScroll_->setValue(scroll.y);
            doc_.viewReadyFlag = true;
        }
        RedrawView();
        if (!SameZoom(scale, 1.0)) PaintSizeScreenFit_Click();
        return;
    }

    const TrueSizeLayout layout = LayoutZoomed(view_.ClientWidth(), view_.ClientHeight(),
                                               doc_.width, doc_.height, scale, view_.BarThickness());
    const ClientSpot at = spot ? *spot : ViewCentre(layout);
    const ScrollPosition scroll = ScrollBringing(layout, scale, point, at);
    DisplayBitmap block;
    const int64_t sourceStride = BufferStride(doc_.width);
    if (sourceStride < 0 ||
        !Allocation().createDisplayBitmap(block, layout.viewWidth, layout.viewHeight)) {
        ShowMessage(this, msg::kNoMemoryViewBitmap);
        return;
    }
    ResampleZoomBlock({doc_.imageBits, doc_.width, doc_.height, sourceStride}, scale, scroll.x,
                      scroll.y, {block.bits, block.width(), block.height(), block.stride()});
    std::swap(zoomBitmap_, block);

    view_.SetZoomed(scale, layout);
    doc_.viewReadyFlag = false;
    hScroll_->hide();
    vScroll_->hide();
    SetBarRanges(layout);  // the same steps as at true size
    hScroll_->setValue(scroll.x);
    vScroll_->setValue(scroll.y);
    PlaceZoomBars(layout);
    hScroll_->setEnabled(true);
    vScroll_->setEnabled(true);
    hScroll_->setVisible(layout.hScrollShown);
    vScroll_->setVisible(layout.vScrollShown);
    doc_.viewReadyFlag = true;
    // The Size menu leads back to true size and fit, even for a picture that fits.
    paintSizeMenu_->menuAction()->setVisible(true);
    ApplyMarks(view_.Marks());
    PlacePic(layout.viewLeft, layout.viewTop, layout.viewWidth, layout.viewHeight);
    pic_->BitBlt(0, 0, layout.viewWidth, layout.viewHeight, zoomBitmap_, 0, 0);
    SetTitle(view_.Title(CurrentLanguage()));
    pic_->Refresh();
    pic_->show();
}

void MainWindow::PlaceZoomBars(const TrueSizeLayout& layout) {
    const QSize client = ClientSize();
    // The bars are widgets: their thickness in the window's pixels, not the
    // view's device pixels.
    const int thickness = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, hScroll_);
    const bool both = layout.hScrollShown && layout.vScrollShown;
    hScroll_->setGeometry(0, client.height() - thickness,
                          both ? client.width() - thickness : client.width(), thickness);
    vScroll_->setGeometry(client.width() - thickness, 0, thickness,
                          both ? client.height() - thickness : client.height());
}

void MainWindow::RedrawZoomedView() {
    if (!zoomBitmap_.made()) return;
    const int64_t sourceStride = BufferStride(doc_.width);
    if (sourceStride < 0) return;
    ResampleZoomBlock({doc_.imageBits, doc_.width, doc_.height, sourceStride}, view_.ZoomScale(),
                      hScroll_->value(), vScroll_->value(),
                      {zoomBitmap_.bits, zoomBitmap_.width(), zoomBitmap_.height(),
                       zoomBitmap_.stride()});
    pic_->BitBlt(0, 0, zoomBitmap_.width(), zoomBitmap_.height(), zoomBitmap_, 0, 0);
    pic_->Refresh();
}

// A resized window keeps the zoom and the point under the view centre; the
// true-size layout and fit underneath follow the new client area as well.
void MainWindow::RelayoutZoomed() {
    const ImagePoint point = PointUnder(view_.Mapping(hScroll_->value(), vScroll_->value()),
                                        view_.Centre());
    const double scale = view_.ZoomScale();
    const TrueSizeLayout layout = ComputeLayout(doc_.width, doc_.height);
    const ScrollPosition scroll = ScrollBringing(layout, 1.0, point, ViewCentre(layout));
    DisplayBitmap view;
    const int failure =
        MakeTrueView(view, doc_.imageBits, doc_.width, doc_.height, layout, scroll.x, scroll.y);
    if (failure != 0) {
        PlaceZoomBars(view_.ZoomLayout());
        ShowMessage(this, failure);
        return;
    }
    std::swap(doc_.viewBitmap, view);
    const FitGeometry fit = ComputeFitFor(doc_.width, doc_.height);
    if (fit.fitWidth != view_.Fit().fitWidth || fit.fitHeight != view_.Fit().fitHeight) {
        DropFitBitmap();
    }
    view_.SetFit(fit);
    InstallLayout(layout, scroll.x, scroll.y);
    ShowZoomLevel(scale, point, nullptr);
}

}  // namespace calmora
