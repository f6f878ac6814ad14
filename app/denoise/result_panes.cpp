#include "result_panes.h"

#include <QAbstractButton>
#include <iterator>

#include "KcDenoise.h"
#include "picture_box.h"

namespace calmora {

namespace {

void ExtractChannel(int channel, const DisplayBitmap& source, DisplayBitmap& destination) {
    const int32_t w = source.width(), h = source.height();
    switch (channel) {
        case 1: KcEstraiRed(source.bits, destination.bits, w, h); break;
        case 2: KcEstraiGreen(source.bits, destination.bits, w, h); break;
        case 3: KcEstraiBlue(source.bits, destination.bits, w, h); break;
        default: break;
    }
}

}  // namespace

ResultPanes::ResultPanes(const ResultPaneControls& controls, PreviewState& state)
    : c_(controls), state_(state) {
    const ResultView views[] = {ResultView::Original, ResultView::Denoised, ResultView::Noise};
    for (size_t i = 0; i < std::size(views); ++i) {
        const ResultView view = views[i];
        connect(c_.viewButtons[i], &QAbstractButton::clicked, this,
                [this, view] { ShowView(view); });
    }
}

ResultPanes::~ResultPanes() = default;

void ResultPanes::SetBackground(const QColor& colour) {
    for (PictureBox* pane : {c_.denoisedPane, c_.noisePane}) {
        pane->SetBackColor(colour);
        pane->Cls();
    }
}

void ResultPanes::Clear() {
    c_.denoisedPane->Cls();
    c_.noisePane->Cls();
    emit cleared();
}

void ResultPanes::SetViewButtonsEnabled(bool enabled) {
    for (QAbstractButton* button : c_.viewButtons) button->setEnabled(enabled);
}

void ResultPanes::SetSelectedView(ResultView selected) {
    state_.selectedView = selected;
    for (size_t i = 0; i < c_.viewButtons.size(); ++i) {
        const bool shown = static_cast<size_t>(selected) == i;
        c_.viewButtons[i]->setIcon(shown ? c_.light[i]->picture : c_.dark[i]->picture);
    }
}

void ResultPanes::ShowRow(int32_t row, int16_t channel) {
    const AreaBitmaps& a = state_.areaBitmaps;
    const DisplayBitmap& denoised = channel > 0 ? a.denoisedChannel : a.denoised;
    const DisplayBitmap& noise = channel > 0 ? a.noiseChannel : a.noise;
    // Buffer rows count from the bottom: the preview grows upwards.
    const int32_t width = state_.area.width;
    const int32_t line = state_.area.height - 1 - row;
    c_.denoisedPane->BitBlt(0, line, width, 1, denoised, 0, line);
    c_.noisePane->BitBlt(0, line, width, 1, noise, 0, line);
    c_.denoisedPane->Refresh();
    c_.noisePane->Refresh();
}

void ResultPanes::RedrawInChannel(int channel) {
    AreaBitmaps& a = state_.areaBitmaps;
    const DisplayBitmap* denoised = &a.denoised;
    const DisplayBitmap* noise = &a.noise;
    if (channel != 0) {
        ExtractChannel(channel, a.denoised, a.denoisedChannel);
        ExtractChannel(channel, a.noise, a.noiseChannel);
        denoised = &a.denoisedChannel;
        noise = &a.noiseChannel;
    }
    const int32_t w = state_.area.width, h = state_.area.height;
    c_.denoisedPane->BitBlt(0, 0, w, h, *denoised, 0, 0);
    c_.denoisedPane->Refresh();
    c_.noisePane->BitBlt(0, 0, w, h, *noise, 0, 0);
    c_.noisePane->Refresh();
}

void ResultPanes::PutIntoView(const DisplayBitmap& bitmap) {
    // The views cover the inside of the rectangle only; outline and band stay.
    const int32_t x = state_.areaMode ? state_.rectLeft + 1 : 0;
    const int32_t y = state_.areaMode ? state_.rectTop + 1 : 0;
    c_.view->BitBlt(x, y, state_.area.width, state_.area.height, bitmap, 0, 0);
    c_.view->Refresh();
}

void ResultPanes::ShowView(ResultView view) {
    AreaBitmaps& a = state_.areaBitmaps;
    const int channel = state_.currentChannel;
    switch (view) {
        case ResultView::Original:
            if (channel == 0) {
                PutIntoView(a.original);
            } else {
                ExtractChannel(channel, a.original, a.originalChannel);
                PutIntoView(a.originalChannel);
            }
            break;
        case ResultView::Denoised:
            // In whole-image mode the view keeps the channel of the original
            // beside the panes, and the denoised view puts the colour result there.
            PutIntoView(!state_.areaMode || channel == 0 ? a.denoised : a.denoisedChannel);
            break;
        case ResultView::Noise:
            PutIntoView(channel == 0 ? a.noise : a.noiseChannel);
            break;
    }
    SetSelectedView(view);
}

}  // namespace calmora
