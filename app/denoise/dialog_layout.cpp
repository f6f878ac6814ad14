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
    return {layout.innerWidth, layout.innerHeight};
}

AreaPlacement PlaceForAreaMode(const DialogWidgets& w, const FormDenoiseTexts& t,
                               const QWidget* owner, int menuHeight, int32_t imageWidth,
                               int32_t imageHeight) {
    // The result panes stand below the settings, the image view right of the line.
    const int paneLeft = kFrameLeft + (kFrameWidth - kPaneWidth) / 2;
    const int paneTop = kFrameTop + kFrameHeight + 22;
    w.picR->setGeometry(paneLeft, paneTop, kPaneWidth, kPaneHeight);
    w.picNoise->setGeometry(paneLeft, paneTop + kPaneHeight + 6, kPaneWidth, kPaneHeight);
    const int lineX = kFrameLeft + kFrameWidth + kLineGap;
    w.picR->setToolTip(t.areaPicRTip);
    w.picNoise->setToolTip(t.areaPicNoiseTip);
    w.pic->setToolTip(QString());

    // The window is maximised: lay out for the screen's free area less the
    // window manager's frame. The owner window wears the same frame, so its
    // margins tell the title bar and borders exactly; guessing them from the
    // style left part of the view under the window's bottom edge (or a strip
    // unused) wherever the real title bar was higher (or lower).
    const QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    QMargins frame;
    if (owner) {
        const QWidget* top = owner->window();
        const QRect outer = top->frameGeometry(), client = top->geometry();
        frame = QMargins(client.left() - outer.left(), client.top() - outer.top(),
                         outer.right() - client.right(), outer.bottom() - client.bottom());
    }
    AreaPlacement placement;
    placement.inner = QSize(
        std::max(400, available.width() - frame.left() - frame.right()),
        std::max(300, available.height() - frame.top() - frame.bottom() - menuHeight));

    AreaLayoutInput in;
    in.innerWidth = placement.inner.width();
    in.innerHeight = placement.inner.height();
    in.lineX = lineX;
    in.lineBorder = w.line->lineWidth();
    in.comboHeight = w.channels->height();
    in.imageWidth = imageWidth;
    in.imageHeight = imageHeight;
    placement.layout = ComputeAreaLayout(in);
    const AreaLayout& layout = placement.layout;
    w.line->setGeometry(lineX, 0, w.line->lineWidth(), placement.inner.height());
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
