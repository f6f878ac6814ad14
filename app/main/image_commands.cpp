#include "main_window.h"

#include "command_lock.h"
#include "app/support/language.h"
#include "message_catalogue.h"
#include "message_ids.h"

#include <QMenu>
#include <QScrollBar>

#include "KcDenoise.h"
#include "imagefiles/image_load.h"
#include "picture_box.h"

namespace calmora {

// ---------------------------------------------------------------- image commands

void MainWindow::Ruota90_Click() {
    // The Image menu is not part of the lock, but while the menus are locked
    // (a save frame waiting for its answer, screen fit half way) the image
    // belongs to that command; a turn would also give the menus back under it.
    if (!HasImage() || doc_.loadingFlag || !fileMenu_->menuAction()->isEnabled()) return;
    BusyPointers busy(*this);
    const MenuLock menus(*this);
    auto fail = [this, &busy](FIBITMAP* turned, int message) {
        if (turned) FreeImage_Unload(turned);
        busy.Release();
        ShowMessage(this, message);
    };

    // Everything the turned picture needs is made before anything of the
    // current one is given up, so a failure leaves angle, titles and view as
    // they were.
    const int32_t width = doc_.height, height = doc_.width;
    FIBITMAP* turned = Allocation().allocate24(width, height);
    if (!turned || KcRuota90Antiorario(doc_.imageBits, FreeImage_GetBits(turned), doc_.width,
                                       doc_.height) == 1) {
        fail(turned, msg::kNoMemoryRotateInput);
        return;
    }
    ReplacementViews views;
    const int failure = MakeReplacementViews(views, turned, 0, 0);
    if (failure != 0) {
        fail(turned, failure);
        return;
    }

    CopyImageMetadata(turned, doc_.image);
    // The picture before the turn goes to the history instead of away.
    RecordStep(doc_.image, doc_.rotation, view_.Caption());
    doc_.rotation = static_cast<int16_t>((doc_.rotation + 90) % 360);
    ShowReplacement(turned, views, RotatedCaption(view_.BaseCaption(), doc_.rotation));
}

int MainWindow::MakeReplacementViews(ReplacementViews& views, FIBITMAP* image, int32_t x,
                                     int32_t y) {
    const uint8_t* bits = FreeImage_GetBits(image);
    const auto width = static_cast<int32_t>(FreeImage_GetWidth(image));
    const auto height = static_cast<int32_t>(FreeImage_GetHeight(image));
    views.layout = ComputeLayout(width, height);
    views.fit = ComputeFitFor(width, height);
    views.x = x;
    views.y = y;
    int failure = MakeTrueView(views.trueView, bits, width, height, views.layout, x, y);
    if (failure == 0 && view_.Mode() == kScreenFit) {
        failure = MakeFitView(views.fitted, bits, width, height, views.fit);
    }
    return failure;
}

void MainWindow::ShowReplacement(FIBITMAP* image, ReplacementViews& views,
                                 const CaptionPair& caption) {
    doc_.image = image;
    doc_.imageBits = FreeImage_GetBits(image);
    doc_.width = static_cast<int32_t>(FreeImage_GetWidth(image));
    doc_.height = static_cast<int32_t>(FreeImage_GetHeight(image));
    view_.SetImageSize(doc_.width, doc_.height);
    std::swap(doc_.viewBitmap, views.trueView);
    DropFitBitmap();
    if (view_.Mode() == kScreenFit) {
        std::swap(doc_.fitBitmap, views.fitted);
        doc_.fitBitmapExists = true;
    }
    view_.SetCaption(caption);
    view_.SetFit(views.fit);

    InstallLayout(views.layout, views.x, views.y);
    view_.SetTrueScroll(hScroll_->value(), vScroll_->value());
    if (view_.Mode() == kTrueSize) {
        ShowTrueView();
    } else {
        ShowFitView();
    }
}

void MainWindow::Denoise_Click() {
    if (!HasImage() || doc_.loadingFlag || denoiseDialogOpen_) return;
    destination_ = Allocation().allocate24(doc_.width, doc_.height);
    if (!destination_) {
        ShowMessage(this, msg::kNoMemoryDenoise);
        return;
    }
    // The dialog starts from the true-size view (nothing happens when it is shown already).
    PaintSizeTrue_Click();

    denoiseDialogOpen_ = true;
    if (denoiseDialog_) denoiseDialog_(this, *this);
    denoiseDialogOpen_ = false;
    UpdateEditMenu();
    // Not handed over: the run was stopped, cancelled or never started.
    if (destination_) {
        FreeImage_Unload(destination_);
        destination_ = nullptr;
    }
}

DenoiseDestination MainWindow::Destination() const {
    // Only a 24-bit picture has the buffer layout a run writes.
    if (!destination_ || FreeImage_GetBPP(destination_) != 24) return {};
    return {FreeImage_GetBits(destination_), static_cast<int32_t>(FreeImage_GetWidth(destination_)),
            static_cast<int32_t>(FreeImage_GetHeight(destination_)),
            static_cast<int64_t>(FreeImage_GetPitch(destination_))};
}

void MainWindow::AdoptDenoised() {
    if (!destination_ || !HasImage()) return;
    CopyImageMetadata(destination_, doc_.image);
    // The caption before the run: the dialog appends its suffix next.
    RecordStep(doc_.image, doc_.rotation, view_.Caption());
    doc_.image = destination_;
    destination_ = nullptr;
    doc_.imageBits = FreeImage_GetBits(doc_.image);
    DropFitBitmap();
    if (view_.Mode() != kTrueSize) ShowTrueView();
    RedrawView();
}

void MainWindow::AppendTitleSuffix(const QString& english, const QString& italian) {
    view_.AppendToCaption(english, italian);
    SetTitle(windowTitle() + (CurrentLanguage() == Language::Italian ? italian : english));
}

}  // namespace calmora
