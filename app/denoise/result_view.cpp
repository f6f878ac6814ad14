// The three result views (original, denoised, removed noise) and the channel
// shown in every picture of the dialog.
#include <QApplication>
#include <QComboBox>
#include <QToolButton>

#include "KcDenoise.h"
#include "form_denoise.h"
#include "picture_box.h"

namespace calmora {

void FormDenoise::ExtractChannel(int channel, const uint8_t* source, uint8_t* destination,
                                 int32_t width, int32_t height) {
    switch (channel) {
        case 1: KcEstraiRed(source, destination, width, height); break;
        case 2: KcEstraiGreen(source, destination, width, height); break;
        case 3: KcEstraiBlue(source, destination, width, height); break;
        default: break;
    }
}

void FormDenoise::SetViewPictures(ResultView selected) {
    selectedView_ = selected;
    CmdOrigImg->setIcon(selected == ResultView::Original ? ImgOrig_chiara->picture
                                                         : ImgOrig_scura->picture);
    CmdDenoisedImg->setIcon(selected == ResultView::Denoised ? ImgDenoised_chiara->picture
                                                             : ImgDenoised_scura->picture);
    CmdNoiseImg->setIcon(selected == ResultView::Noise ? ImgNoise_chiara->picture
                                                       : ImgNoise_scura->picture);
}

void FormDenoise::BlitToViewTarget(const DisplayBitmap& bitmap) {
    // The views cover the inside of the rectangle only; outline and band stay.
    const int32_t x = areaMode_ ? rectLeft_ + 1 : 0;
    const int32_t y = areaMode_ ? rectTop_ + 1 : 0;
    Pic->BitBlt(x, y, area_.width, area_.height, bitmap, 0, 0);
}

void FormDenoise::CmdOrigImg_Click() {
    if (currentChannel_ == 0) {
        BlitToViewTarget(areaOrigBmp_);
    } else {
        ExtractChannel(currentChannel_, areaOrigBmp_.bits, areaOrigChanBmp_.bits, area_.width,
                       area_.height);
        BlitToViewTarget(areaOrigChanBmp_);
    }
    Pic->Refresh();
    SetViewPictures(ResultView::Original);
}

void FormDenoise::CmdDenoisedImg_Click() {
    // In whole-image mode Pic keeps the channel of the original beside the
    // panes, and the denoised view puts the colour result there.
    const bool colour = !areaMode_ || currentChannel_ == 0;
    BlitToViewTarget(colour ? areaDenBmp_ : areaDenChanBmp_);
    Pic->Refresh();
    SetViewPictures(ResultView::Denoised);
}

void FormDenoise::CmdNoiseImg_Click() {
    BlitToViewTarget(currentChannel_ == 0 ? areaNoiseBmp_ : areaNoiseChanBmp_);
    Pic->Refresh();
    SetViewPictures(ResultView::Noise);
}

void FormDenoise::Combo1_Click(int index) {
    if (index == currentChannel_ || index < 0) return;
    const int previous = currentChannel_;
    // During a run the controls stay locked until it ends: an unlock here
    // would let the settings change under the run. The pictures follow the
    // channel as they do when idle (a preview in progress is not valid yet
    // and takes the channel up row by row).
    const bool running = runActive_;
    if (!running) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ControlLock();
    }
    if (previewValid_)
        FullRefresh(previous, index);
    else
        ViewRefresh(previous, index);
    if (!running) {
        ControlUnlock();
        QApplication::restoreOverrideCursor();
    }
    currentChannel_ = index;
}

void FormDenoise::RedrawViewInChannel(int previousChannel, int newChannel) {
    // The view bitmaps have Pic's inner size.
    const int32_t viewWidth = viewBmp_.width(), viewHeight = viewBmp_.height();
    if (previousChannel != 0) {
        // While a channel was shown, dragging kept only the channel view current.
        CopyImageBlock(viewBmp_.bits, 0, 0, viewWidth, viewHeight, imageBits_, scrollX_, scrollY_,
                       imageWidth_, imageHeight_);
    }
    const DisplayBitmap* source = &viewBmp_;
    if (newChannel != 0) {
        ExtractChannel(newChannel, imageBits_, imageChanBmp_.bits, imageWidth_, imageHeight_);
        ExtractChannel(newChannel, viewBmp_.bits, viewChanBmp_.bits, viewWidth, viewHeight);
        source = &viewChanBmp_;
    }
    Pic->BitBlt(0, 0, viewWidth, viewHeight, *source, 0, 0);
    Pic->Refresh();
}

void FormDenoise::ViewRefresh(int previousChannel, int newChannel) {
    RedrawViewInChannel(previousChannel, newChannel);
    if (rectangleShown_) {
        SaveRectangleSurroundings();
        DrawRectangle();
    }
}

void FormDenoise::RedrawPanesInChannel(int channel) {
    const DisplayBitmap* denoised = &areaDenBmp_;
    const DisplayBitmap* noise = &areaNoiseBmp_;
    if (channel != 0) {
        ExtractChannel(channel, areaDenBmp_.bits, areaDenChanBmp_.bits, area_.width, area_.height);
        ExtractChannel(channel, areaNoiseBmp_.bits, areaNoiseChanBmp_.bits, area_.width,
                       area_.height);
        denoised = &areaDenChanBmp_;
        noise = &areaNoiseChanBmp_;
    }
    PicR->BitBlt(0, 0, area_.width, area_.height, *denoised, 0, 0);
    PicR->Refresh();
    PicNoise->BitBlt(0, 0, area_.width, area_.height, *noise, 0, 0);
    PicNoise->Refresh();
}

void FormDenoise::FullRefresh(int previousChannel, int newChannel) {
    RedrawViewInChannel(previousChannel, newChannel);
    if (rectangleShown_) SaveRectangleSurroundings();
    RedrawPanesInChannel(newChannel);
    if (areaMode_) {
        Pic->BitBlt(rectLeft_ + 1, rectTop_ + 1, area_.width, area_.height,
                    newChannel == 0 ? areaDenBmp_ : areaDenChanBmp_, 0, 0);
        Pic->Refresh();
    }
    if (rectangleShown_) DrawRectangle();
}

}  // namespace calmora
