#include "run_controller.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QFrame>
#include <QPushButton>

#include "area_tool.h"
#include "message_catalogue.h"
#include "denoise_dialog_rules.h"
#include "denoise_host.h"
#include "result_panes.h"
#include "settings_panel.h"
#include "denoise_run/area_preview.h"
#include "denoise_run/row_run.h"

namespace calmora {

namespace {

// "Insufficient memory for dib Denoise.": the colour-noise mode's work
// buffers, like the destination, are as large as the picture.
constexpr int kNoMemoryForRun = 43;

}  // namespace

RunController::RunController(QDialog& dialog, DenoiseHost& host, PreviewState& state,
                             RunParts parts, const RunControls& controls)
    : dialog_(dialog), host_(host), state_(state), parts_(parts), c_(controls) {
    connect(c_.preview, &QPushButton::clicked, this, [this] { Preview(); });
    connect(c_.apply, &QPushButton::clicked, this, [this] { Apply(); });
    connect(c_.stop, &QPushButton::clicked, this, [this] { Stop(); });
}

RunController::~RunController() = default;

void RunController::Reset(const uint8_t* imageBits, int32_t imageWidth, int32_t imageHeight) {
    stopFlag_ = closeRequest_ = state_.runActive = false;
    progressFullWidth_ = c_.progressBar->width();
    imageBits_ = imageBits;
    imageWidth_ = imageWidth;
    imageHeight_ = imageHeight;
}

bool RunController::RequestClose() {
    if (!state_.runActive) return false;
    closeRequest_ = true;
    return true;
}

bool RunController::BeforeRow(int32_t row, int32_t height) {
    if (beforeRowHook_) beforeRowHook_(row, height);
    QCoreApplication::processEvents();
    if (closeRequest_ || stopFlag_) return false;
    if (progressShown_) {
        const double length = static_cast<double>(progressFullWidth_) / height * row;
        c_.progressBar->resize(static_cast<int>(length), c_.progressBar->height());
    }
    return true;
}

void RunController::SetProgressVisible(bool visible) {
    progressShown_ = visible;
    c_.progressBar->resize(0, c_.progressBar->height());
    c_.progressBar->setVisible(visible);
    c_.progressFrame->setVisible(visible);
}

void RunController::Preview() {
    if (state_.runActive || !CanRun(state_.settings)) return;
    state_.runActive = true;
    previewStarted_ = true;
    // A stop pressed while the previous run finished its last row is stale.
    stopFlag_ = false;
    // The buffers are about to be overwritten row by row.
    state_.previewValid = false;
    c_.stop->setEnabled(true);
    parts_.panel.Lock();
    parts_.panes.Clear();
    QCoreApplication::processEvents();

    AreaBitmaps& a = state_.areaBitmaps;
    const AreaSize area = state_.area;
    if (state_.areaMode) {
        // Straight from the image: while a channel is shown the colour view
        // bitmap may lag behind the scroll position.
        CopyImageBlock(a.original.bits, 0, 0, area.width, area.height, imageBits_,
                       state_.scrollX + state_.rectLeft + 1, state_.scrollY + state_.rectTop + 1,
                       imageWidth_, imageHeight_);
    }

    unsigned channelsShown = 0;  // one bit per channel some row was shown in
    PreviewImage image;
    image.source = a.original.bits;
    image.denoised = a.denoised.bits;
    image.noise = a.noise.bits;
    image.channelDenoised = a.denoisedChannel.bits;
    image.channelNoise = a.noiseChannel.bits;
    image.width = area.width;
    image.height = area.height;
    PreviewHooks hooks;
    hooks.beforeRow = [this](int32_t row, int32_t height) { return BeforeRow(row, height); };
    hooks.viewChannel = [this] { return static_cast<int16_t>(c_.channels->currentIndex()); };
    hooks.rowDone = [this, &channelsShown](int32_t row, int16_t channel) {
        channelsShown |= 1u << (channel + 1);
        parts_.panes.ShowRow(row, channel);
    };
    RunResult result;
    if (state_.areaMode) {
        // Computed with the image around the area, so that the preview is
        // what Apply writes there, up to the area's border.
        AreaPreviewImage inImage;
        inImage.image = imageBits_;
        inImage.imageWidth = imageWidth_;
        inImage.imageHeight = imageHeight_;
        inImage.left = state_.scrollX + state_.rectLeft + 1;
        inImage.top = state_.scrollY + state_.rectTop + 1;
        inImage.denoised = image.denoised;
        inImage.noise = image.noise;
        inImage.channelDenoised = image.channelDenoised;
        inImage.channelNoise = image.channelNoise;
        inImage.width = image.width;
        inImage.height = image.height;
        result = RunAreaPreview(state_.settings, inImage, hooks);
    } else {
        result = RunPreviewDenoise(state_.settings, image, hooks);
    }
    const bool completed = result.end == RunEnd::Completed;
    if (result.end == RunEnd::OutOfMemory) ShowMessage(&dialog_, kNoMemoryForRun);

    if (completed) {
        const int channel = state_.currentChannel;
        // Rows computed before a channel change show the old channel: redo
        // the panes in the channel now chosen.
        if (channelsShown != 1u << (channel + 1)) parts_.panes.RedrawInChannel(channel);
        if (state_.areaMode)
            parts_.area.ShowInRectangle(channel == 0 ? a.denoised : a.denoisedChannel);
    }

    state_.runActive = false;
    c_.stop->setEnabled(false);
    if (closeRequest_) {
        dialog_.done(QDialog::Rejected);
        return;
    }
    if (!completed) {
        stopFlag_ = false;
        parts_.panel.UnlockAfterStoppedPreview();
    } else {
        parts_.panel.Unlock();
        parts_.panes.SetViewButtonsEnabled(true);
        state_.previewValid = true;
        state_.previewShown = true;
        state_.previewedSettings = state_.settings;
        emit previewShown();
    }
    parts_.panes.SetSelectedView(ResultView::Denoised);
}

void RunController::Apply() {
    if (state_.runActive || !CanRun(state_.settings)) return;
    const DenoiseDestination destination = host_.Destination();
    if (!destination.bits || destination.width != imageWidth_ ||
        destination.height != imageHeight_ || destination.stride != BufferStride(imageWidth_))
        return;
    // Once the dialog has previewed, a full run keeps the normal pointer as
    // the previews do; the progress bar and Stop show that it works.
    if (!previewStarted_) dialog_.setCursor(Qt::WaitCursor);
    state_.runActive = true;
    stopFlag_ = false;
    c_.stop->setEnabled(true);
    parts_.panel.Lock();
    SetProgressVisible(UsesAreaMode(imageWidth_, imageHeight_));

    FullRunImage image;
    image.source = imageBits_;
    image.destination = destination.bits;
    image.width = imageWidth_;
    image.height = imageHeight_;
    const auto beforeRow = [this](int32_t row, int32_t height) { return BeforeRow(row, height); };
    const RunResult result = RunFullDenoise(state_.settings, image, beforeRow);

    state_.runActive = false;
    // Also after a stop: an idle dialog must not look busy.
    dialog_.unsetCursor();
    if (result.end == RunEnd::Completed) {
        // The destination becomes the main window's image; the dialog must
        // not touch the old image's bits from here on.
        host_.AdoptDenoised();
        handedBack_ = true;
        imageBits_ = nullptr;
        emit imageHandedBack();
        const std::array<int, 3> percents = parts_.panel.ChannelPercents();
        TitleSuffix suffix = DenoisedTitleSuffix(state_.settings.sigma, state_.settings.radius,
                                                 percents[0], percents[1], percents[2]);
        if (state_.settings.colourNoise) {
            const TitleSuffix mode = ColourNoiseTitleAddition(state_.settings.colourStrength);
            suffix.english += mode.english;
            suffix.italian += mode.italian;
        }
        host_.AppendTitleSuffix(suffix.english, suffix.italian);
        dialog_.done(QDialog::Accepted);
        return;
    }
    if (closeRequest_) {
        dialog_.done(QDialog::Rejected);
        return;
    }
    if (result.end == RunEnd::OutOfMemory) ShowMessage(&dialog_, kNoMemoryForRun);
    // Stopped: the current image is untouched; the destination is kept for
    // another run.
    c_.stop->setEnabled(false);
    SetProgressVisible(false);
    parts_.panel.Unlock();
    stopFlag_ = false;
}

}  // namespace calmora
