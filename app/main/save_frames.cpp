// The two option frames of the save command, drawn over the main window's
// picture: JPEG quality, and TIFF compression.
#include <QApplication>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QShortcut>

#include <tuple>
#include <utility>

#include "captions.h"
#include "main_window.h"
#include "app/support/language.h"
#include "app/support/ok_cancel_layout.h"
#include "save_command.h"
#include "save_rules.h"

namespace calmora {

namespace {

// The caption of a control in the current language, from the window's table.
QString CurrentCaption(const char* control) {
    for (const ControlCaption& entry : kControlCaptions) {
        if (qstrcmp(entry.control, control) == 0)
            return QString::fromUtf8(entry.In(CurrentLanguage()));
    }
    return {};
}

QGroupBox* NewFrame(QWidget* parent, const char* name) {
    auto* frame = new QGroupBox(CurrentCaption(name), parent);
    frame->setObjectName(QString::fromLatin1(name));
    // It stands over the picture, which must not show through.
    frame->setAutoFillBackground(true);
    frame->hide();
    return frame;
}

QPushButton* NewButton(QWidget* parent, const char* name, const QString& caption) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

// While the focus is inside the frame, Enter presses the button that has the
// focus (Cancel must not save), or OK from anywhere else; Escape is Cancel.
void AddFrameKeys(QGroupBox* frame, QPushButton* ok, QPushButton* cancel) {
    for (const QKeySequence& key : {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)}) {
        auto* shortcut = new QShortcut(key, frame);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        QObject::connect(shortcut, &QShortcut::activated, ok, [frame, ok] {
            auto* focused = qobject_cast<QPushButton*>(QApplication::focusWidget());
            QPushButton* button = focused && frame->isAncestorOf(focused) ? focused : ok;
            if (button->isEnabled()) button->click();
        });
    }
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), frame);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(escape, &QShortcut::activated, cancel, [cancel] {
        if (cancel->isEnabled()) cancel->click();
    });
}

// A frame's two controls above its OK and its Cancel (captioned from the
// table under cancelName), and the frame's keys; gives the two buttons.
std::pair<QPushButton*, QPushButton*> LayOutFrame(QGroupBox* frame, QWidget* first, QWidget* second,
                                                  const char* okName, const char* cancelName) {
    QPushButton* ok = NewButton(frame, okName, QStringLiteral("OK"));
    QPushButton* cancel = NewButton(frame, cancelName, CurrentCaption(cancelName));
    StackAboveOkCancel(frame, first, second, ok, cancel);
    AddFrameKeys(frame, ok, cancel);
    return {ok, cancel};
}

}  // namespace

void SaveCommand::BuildJpegFrame() {
    QWidget* client = window_.ClientArea();
    frameJPGQuality_ = NewFrame(client, "FrameJPGQuality");

    hScrolljpgQual_ = new QScrollBar(Qt::Horizontal, frameJPGQuality_);
    hScrolljpgQual_->setObjectName(QStringLiteral("HScrolljpgQual"));
    hScrolljpgQual_->setRange(kJpegQualityMin, kJpegQualityMax);
    hScrolljpgQual_->setSingleStep(kJpegQualitySmallStep);
    hScrolljpgQual_->setPageStep(kJpegQualityLargeStep);
    hScrolljpgQual_->setValue(kJpegQualityStart);
    hScrolljpgQual_->setMinimumWidth(220);
    hScrolljpgQual_->setFocusPolicy(Qt::StrongFocus);

    labjpgQual_ = new QLabel(JpegQualityCaption(kJpegQualityStart), frameJPGQuality_);
    labjpgQual_->setObjectName(QStringLiteral("LabjpgQual"));
    labjpgQual_->setAlignment(Qt::AlignCenter);

    std::tie(okjpgQual_, annullajpgQual_) =
        LayOutFrame(frameJPGQuality_, hScrolljpgQual_, labjpgQual_, "OkjpgQual", "AnnullajpgQual");

    connect(hScrolljpgQual_, &QScrollBar::valueChanged, this, &SaveCommand::HScrolljpgQual_Change);
    connect(okjpgQual_, &QPushButton::clicked, this, &SaveCommand::OkjpgQual_Click);
    connect(annullajpgQual_, &QPushButton::clicked, this, &SaveCommand::AnnullajpgQual_Click);
}

void SaveCommand::BuildTiffFrame() {
    QWidget* client = window_.ClientArea();
    frameTIFF_ = NewFrame(client, "FrameTIFF");

    uncompressedTIFFOpt_ = new QRadioButton(CurrentCaption("UncompressedTIFFOpt"), frameTIFF_);
    uncompressedTIFFOpt_->setObjectName(QStringLiteral("UncompressedTIFFOpt"));
    lzwOpt_ = new QRadioButton(QStringLiteral("LZW"), frameTIFF_);
    lzwOpt_->setObjectName(QStringLiteral("LZWopt"));
    uncompressedTIFFOpt_->setChecked(true);

    std::tie(okTif_, annullaTif_) =
        LayOutFrame(frameTIFF_, uncompressedTIFFOpt_, lzwOpt_, "OkTif", "AnnullaTif");

    connect(uncompressedTIFFOpt_, &QRadioButton::clicked, this, &SaveCommand::UncompressedTIFFOpt_Click);
    connect(lzwOpt_, &QRadioButton::clicked, this, &SaveCommand::LZWopt_Click);
    connect(okTif_, &QPushButton::clicked, this, &SaveCommand::OkTif_Click);
    connect(annullaTif_, &QPushButton::clicked, this, &SaveCommand::AnnullaTif_Click);
}

void SaveCommand::PlaceFrame(QGroupBox* frame) {
    const QSize client = window_.ClientArea()->size();
    frame->adjustSize();
    const QSize size = frame->size();
    frame->move(std::max(0, (client.width() - size.width()) / 2),
                std::max(0, (client.height() - size.height()) / 2));
}

void SaveCommand::OpenFrame(QGroupBox* frame, QWidget* focus) {
    PlaceFrame(frame);
    frame->raise();
    frame->show();
    focus->setFocus();
}

bool SaveCommand::eventFilter(QObject* watched, QEvent* event) {
    // A frame stays centred when the window changes size under it.
    if (event->type() == QEvent::Resize && watched == window_.ClientArea()) {
        for (QGroupBox* frame : {frameJPGQuality_, frameTIFF_}) {
            if (frame && frame->isVisibleTo(window_.ClientArea())) PlaceFrame(frame);
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace calmora
