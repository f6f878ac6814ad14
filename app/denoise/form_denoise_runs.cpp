// The preview run and the full run: one engine call per row, pending events
// let through before every row so that Stop and the close box are heard.
#include <FreeImage.h>

#include <QCoreApplication>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QToolButton>
#include <QComboBox>

#include "denoise_dialog_rules.h"
#include "denoise_host.h"
#include "form_denoise.h"
#include "picture_box.h"
#include "denoise_run/row_run.h"

namespace calmora {

bool FormDenoise::BeforeRow(int32_t row, int32_t height) {
    if (beforeRowHook_) beforeRowHook_(row, height);
    QCoreApplication::processEvents();
    if (closeRequest_ || stopFlag_) return false;
    if (progressShown_) {
        const double length = static_cast<double>(progressFullWidth_) / height * row;
        Shape1->resize(static_cast<int>(length), Shape1->height());
    }
    return true;
}

void FormDenoise::ShowPreviewRow(int32_t row, int16_t channel) {
    const DisplayBitmap& denoised = channel > 0 ? areaDenChanBmp_ : areaDenBmp_;
    const DisplayBitmap& noise = channel > 0 ? areaNoiseChanBmp_ : areaNoiseBmp_;
    // Buffer rows count from the bottom: the preview grows upwards.
    const int32_t line = area_.height - 1 - row;
    PicR->BitBlt(0, line, area_.width, 1, denoised, 0, line);
    PicNoise->BitBlt(0, line, area_.width, 1, noise, 0, line);
    PicR->Refresh();
    PicNoise->Refresh();
}

void FormDenoise::CmdPreview_Click() {
    if (runActive_ || !CanRun(settings_)) return;
    runActive_ = true;
    previewStarted_ = true;
    // A stop pressed while the previous run finished its last row is stale.
    stopFlag_ = false;
    // The buffers are about to be overwritten row by row.
    previewValid_ = false;
    CmdInterrompiDenoise->setEnabled(true);
    ControlLock();
    ClearPanes();
    QCoreApplication::processEvents();

    if (areaMode_) {
        // Straight from the image: while a channel is shown the colour view
        // bitmap may lag behind the scroll position.
        CopyImageBlock(areaOrigBmp_.bits, 0, 0, area_.width, area_.height, imageBits_,
                       scrollX_ + rectLeft_ + 1, scrollY_ + rectTop_ + 1, imageWidth_, imageHeight_);
    }

    unsigned channelsShown = 0;  // one bit per channel some row was shown in
    PreviewImage image;
    image.source = areaOrigBmp_.bits;
    image.denoised = areaDenBmp_.bits;
    image.noise = areaNoiseBmp_.bits;
    image.channelDenoised = areaDenChanBmp_.bits;
    image.channelNoise = areaNoiseChanBmp_.bits;
    image.width = area_.width;
    image.height = area_.height;
    PreviewHooks hooks;
    hooks.beforeRow = [this](int32_t row, int32_t height) { return BeforeRow(row, height); };
    hooks.viewChannel = [this] { return static_cast<int16_t>(Combo1->currentIndex()); };
    hooks.rowDone = [this, &channelsShown](int32_t row, int16_t channel) {
        channelsShown |= 1u << (channel + 1);
        ShowPreviewRow(row, channel);
    };
    const RunResult result = RunPreviewDenoise(settings_, image, hooks);
    const bool completed = result.end == RunEnd::Completed;

    if (completed) {
        // Rows computed before a channel change show the old channel: redo
        // the panes in the channel now chosen.
        if (channelsShown != 1u << (currentChannel_ + 1)) RedrawPanesInChannel(currentChannel_);
        if (areaMode_) {
            const DisplayBitmap& shown = currentChannel_ == 0 ? areaDenBmp_ : areaDenChanBmp_;
            Pic->BitBlt(rectLeft_ + 1, rectTop_ + 1, area_.width, area_.height, shown, 0, 0);
            Pic->Refresh();
        }
    }

    runActive_ = false;
    CmdInterrompiDenoise->setEnabled(false);
    if (closeRequest_) {
        QDialog::reject();
        return;
    }
    if (!completed) {
        stopFlag_ = false;
        for (QWidget* w : std::initializer_list<QWidget*>{Txtrw, HScrollrw, CmdSelectArea, CmdScroll,
                                                          TxtSigma, HScrollSigma, CmdPreview,
                                                          CmdOKDenoise})
            w->setEnabled(true);
        // The remaining controls wait for a complete preview; the next lock
        // must not save the stopped run's disabled states as theirs.
        locked_ = false;
    } else {
        ControlUnlock();
        SetViewButtonsEnabled(true);
        previewValid_ = true;
    }
    SetViewPictures(ResultView::Denoised);
}

void FormDenoise::SetProgressVisible(bool visible) {
    progressShown_ = visible;
    Shape1->resize(0, Shape1->height());
    Shape1->setVisible(visible);
    Shape2->setVisible(visible);
}

void FormDenoise::CmdOKDenoise_Click() {
    if (runActive_ || !CanRun(settings_)) return;
    FIBITMAP* destination = host_.Destination();
    if (!destination || FreeImage_GetBPP(destination) != 24 ||
        static_cast<int32_t>(FreeImage_GetWidth(destination)) != imageWidth_ ||
        static_cast<int32_t>(FreeImage_GetHeight(destination)) != imageHeight_)
        return;
    // Once the dialog has previewed, a full run keeps the normal pointer as
    // the previews do; the progress bar and Stop show that it works.
    if (!previewStarted_) setCursor(Qt::WaitCursor);
    runActive_ = true;
    stopFlag_ = false;
    CmdInterrompiDenoise->setEnabled(true);
    ControlLock();
    SetProgressVisible(UsesAreaMode(imageWidth_, imageHeight_));

    FullRunImage image;
    image.source = imageBits_;
    image.destination = FreeImage_GetBits(destination);
    image.width = imageWidth_;
    image.height = imageHeight_;
    const RunResult result = RunFullDenoise(
        settings_, image, [this](int32_t row, int32_t height) { return BeforeRow(row, height); });

    runActive_ = false;
    // Also after a stop: an idle dialog must not look busy.
    unsetCursor();
    if (result.end == RunEnd::Completed) {
        // The destination becomes the main window's image; the dialog must
        // not touch the old image's bits from here on.
        host_.AdoptDenoised();
        handedBack_ = true;
        imageBits_ = nullptr;
        const TitleSuffix suffix =
            DenoisedTitleSuffix(settings_.sigma, settings_.radius, HScrollRed->value(),
                                HScrollGreen->value(), HScrollBlue->value());
        host_.AppendTitleSuffix(suffix.english, suffix.italian);
        QDialog::accept();
        return;
    }
    if (closeRequest_) {
        QDialog::reject();
        return;
    }
    // Stopped: the current image is untouched; the destination is kept for
    // another run.
    CmdInterrompiDenoise->setEnabled(false);
    SetProgressVisible(false);
    ControlUnlock();
    stopFlag_ = false;
}

void FormDenoise::CmdInterrompiDenoise_Click() { stopFlag_ = true; }

}  // namespace calmora
