#include "dialog_layout.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFrame>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

#include "denoise_dialog_text.h"
#include "picture_box.h"

namespace calmora {

namespace {

constexpr int kLineGap = 8;  // between the frame and Line1

void Place(QWidget* widget, const Box& b) { widget->setGeometry(b.left, b.top, b.width, b.height); }

}  // namespace

QSize PlaceForWholeImage(const DialogWidgets& w, const FormDenoiseTexts& t, int32_t imageWidth,
                         int32_t imageHeight) {
    w.line->hide();
    w.selectArea->hide();
    w.scroll->hide();
    w.preview->move(40, w.preview->y());
    w.picR->setToolTip(t.wholePicRTip);
    w.pic->setToolTip(t.wholePicTip);
    w.picNoise->setToolTip(t.wholePicNoiseTip);

    WholeImageLayoutInput in;
    in.frameWidth = kFrameWidth;
    // No strip for the progress bar: this layout's runs never show it.
    in.frameHeight = kFrameHeight;
    in.frameTop = kFrameTop;
    in.comboHeight = w.channels->height();
    in.imageWidth = imageWidth;
    in.imageHeight = imageHeight;
    const WholeImageLayout layout = ComputeWholeImageLayout(in);
    w.frame->move(layout.frameLeft, kFrameTop);
    w.progressFrame->move(layout.frameLeft + 10, w.progressFrame->y());
    w.progressBar->move(layout.frameLeft + 11, w.progressBar->y());
    Place(w.picR, layout.picR);
    Place(w.pic, layout.pic);
    Place(w.picNoise, layout.picNoise);
    w.channels->move(w.channels->x(), layout.comboTop);
    const int rowTop = layout.pic.top + layout.pic.height + kColourRowGap;
    w.colourRow->move(layout.frameLeft, rowTop);
    return {layout.innerWidth,
            std::max(layout.innerHeight, rowTop + w.colourRow->height() + kColourRowGap)};
}

QSize ExpectedAreaClientSize(const QWidget* owner, int menuHeight) {
    // The owner window wears the frame this one will, so its margins tell the
    // title bar and borders.
    const QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    QMargins frame;
    if (owner) {
        const QWidget* top = owner->window();
        const QRect outer = top->frameGeometry(), client = top->geometry();
        frame = QMargins(client.left() - outer.left(), client.top() - outer.top(),
                         outer.right() - client.right(), outer.bottom() - client.bottom());
    }
    return {std::max(400, available.width() - frame.left() - frame.right()),
            std::max(300, available.height() - frame.top() - frame.bottom() - menuHeight)};
}

AreaPlacement PlaceForAreaMode(const DialogWidgets& w, const FormDenoiseTexts& t, QSize inner,
                               int32_t imageWidth, int32_t imageHeight) {
    // The result panes stand below the settings, the colour-noise row below
    // them, the image view right of the line.
    const int paneLeft = kFrameLeft + (kFrameWidth - kPaneWidth) / 2;
    const int paneTop = kFrameTop + kFrameHeight + 22;
    const int paneHeight =
        FittedPaneHeight(inner.height(), paneTop, 2 * kColourRowGap + w.colourRow->height());
    w.picR->setGeometry(paneLeft, paneTop, kPaneWidth, paneHeight);
    w.picNoise->setGeometry(paneLeft, paneTop + paneHeight + kPaneGap, kPaneWidth, paneHeight);
    w.colourRow->move(kFrameLeft, w.picNoise->y() + paneHeight + kColourRowGap);
    const int lineX = kFrameLeft + kFrameWidth + kLineGap;
    w.picR->setToolTip(t.areaPicRTip);
    w.picNoise->setToolTip(t.areaPicNoiseTip);
    w.pic->setToolTip(QString());

    AreaPlacement placement;
    placement.inner = inner;
    AreaLayoutInput in;
    in.innerWidth = inner.width();
    in.innerHeight = inner.height();
    in.lineX = lineX;
    in.lineBorder = w.line->lineWidth();
    in.comboHeight = w.channels->height();
    in.imageWidth = imageWidth;
    in.imageHeight = imageHeight;
    placement.layout = ComputeAreaLayout(in);
    const AreaLayout& layout = placement.layout;
    w.line->setGeometry(lineX, 0, w.line->lineWidth(), inner.height());
    w.line->show();
    Place(w.pic, layout.pic);
    w.channels->move(w.channels->x(), layout.comboTop);
    w.selectArea->setVisible(!layout.imageFits);
    w.scroll->setVisible(!layout.imageFits);
    return placement;
}

void CentreChannelsOverView(const DialogWidgets& w) {
    const int left = w.pic->x() + RoundToEven((w.pic->width() - w.channels->width()) / 2.0);
    w.channels->move(left, w.channels->y());
}

}  // namespace calmora
