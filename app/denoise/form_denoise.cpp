#include "form_denoise.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFocusEvent>
#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollBar>
#include <QToolButton>

#include "app_paths.h"
#include "denoise_dialog_rules.h"
#include "denoise_dialog_text.h"
#include "denoise_host.h"
#include "picture_box.h"
#include "preferences.h"
#include "ui_seams.h"

namespace calmora {

namespace {

// Design geometry of the settings frame and the panes beside it.
constexpr int kFrameLeft = 6;
constexpr int kFrameTop = 6;
constexpr int kFrameWidth = 252;
constexpr int kFrameHeight = 272;
constexpr int kProgressWidth = 230;  // Shape1 at full length
constexpr int kLineGap = 8;          // between the frame and Line1

const QColor kWhite(255, 255, 255);
const QColor kGray(230, 230, 230);

template <typename T>
T* Named(T* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QScrollBar* MakeSlider(QWidget* parent, const char* name, int minimum, int maximum, int small,
                       int large, int value) {
    auto* slider = Named(new QScrollBar(Qt::Horizontal, parent), name);
    slider->setRange(minimum, maximum);
    slider->setSingleStep(small);
    slider->setPageStep(large);
    slider->setValue(value);
    return slider;
}

QLineEdit* MakeField(QWidget* parent, const char* name, const QString& text) {
    auto* field = Named(new QLineEdit(text, parent), name);
    field->setMaxLength(kFieldMaxLength);
    field->setAlignment(Qt::AlignRight);
    return field;
}

QToolButton* MakePictureButton(QWidget* parent, const char* name) {
    auto* button = Named(new QToolButton(parent), name);
    button->setIconSize(QSize(28, 28));
    button->setAutoRaise(false);
    return button;
}

}  // namespace

FormDenoise::FormDenoise(QWidget* owner, DenoiseHost& host)
    : QDialog(owner), host_(host), owner_(owner) {
    setObjectName(QStringLiteral("FormDenoise"));
    // Modal from the first show on: the main window takes no command, and
    // cannot be closed, while the dialog (and any run in it) is open.
    setWindowModality(Qt::ApplicationModal);
    setSizeGripEnabled(false);
    makeBitmap_ = [](DisplayBitmap& bitmap, int32_t width, int32_t height, const char*) {
        return CreaDIB(bitmap, width, height);
    };
    BuildControls();
}

FormDenoise::~FormDenoise() = default;

void FormDenoise::BuildControls() {
    menuBar_ = new QMenuBar(this);
    menuBar_->setNativeMenuBar(false);
    ColoreSfondo = Named(menuBar_->addMenu(QString()), "ColoreSfondo");
    ColoreWhite = Named(ColoreSfondo->addAction(QString()), "ColoreWhite");
    ColoreGray = Named(ColoreSfondo->addAction(QString()), "ColoreGray");
    ColoreWhite->setCheckable(true);
    ColoreGray->setCheckable(true);
    ShowGuida = Named(menuBar_->addAction(QString()), "ShowGuida");
    connect(ColoreWhite, &QAction::triggered, this, [this] { ColoreWhite_Click(); });
    connect(ColoreGray, &QAction::triggered, this, [this] { ColoreGray_Click(); });
    connect(ShowGuida, &QAction::triggered, this, [this] { ShowGuida_Click(); });

    client_ = new QWidget(this);
    client_->setObjectName(QStringLiteral("client"));
    client_->setAutoFillBackground(true);

    FrameDenoise = Named(new QFrame(client_), "FrameDenoise");
    FrameDenoise->setFrameShape(QFrame::StyledPanel);
    FrameDenoise->setAutoFillBackground(true);
    FrameDenoise->setGeometry(kFrameLeft, kFrameTop, kFrameWidth, kFrameHeight);
    QWidget* f = FrameDenoise;

    LabSigma = Named(new QLabel(f), "LabSigma");
    LabSigma->setGeometry(10, 8, 150, 20);
    TxtSigma = MakeField(f, "TxtSigma", QStringLiteral("0"));
    TxtSigma->setGeometry(190, 6, 52, 24);
    HScrollSigma = MakeSlider(f, "HScrollSigma", 0, 200, 1, 10, 0);
    HScrollSigma->setGeometry(10, 32, 232, 18);

    Labrw = Named(new QLabel(f), "Labrw");
    Labrw->setGeometry(10, 56, 150, 20);
    Txtrw = MakeField(f, "Txtrw", QStringLiteral("2"));
    Txtrw->setGeometry(190, 54, 52, 24);
    HScrollrw = MakeSlider(f, "HScrollrw", 2, 12, 1, 1, 2);
    HScrollrw->setGeometry(10, 80, 232, 18);

    struct ColourRow {
        QLabel*& label;
        const char* labelName;
        QScrollBar*& slider;
        const char* sliderName;
        QLineEdit*& field;
        const char* fieldName;
        QLabel*& percent;
        const char* percentName;
        int top;
    };
    const ColourRow rows[] = {
        {LabelRed, "LabelRed", HScrollRed, "HScrollRed", TxtRed, "TxtRed", Label2, "Label2", 108},
        {LabelGreen, "LabelGreen", HScrollGreen, "HScrollGreen", TxtGreen, "TxtGreen", Label3,
         "Label3", 134},
        {LabelBlue, "LabelBlue", HScrollBlue, "HScrollBlue", TxtBlue, "TxtBlue", Label5, "Label5",
         160},
    };
    for (const ColourRow& row : rows) {
        row.label = Named(new QLabel(f), row.labelName);
        row.label->setGeometry(10, row.top + 2, 16, 20);
        row.slider = MakeSlider(f, row.sliderName, 0, 100, 10, 20, 100);
        row.slider->setGeometry(28, row.top + 3, 150, 18);
        row.field = MakeField(f, row.fieldName, QStringLiteral("100"));
        row.field->setGeometry(184, row.top, 44, 24);
        row.percent = Named(new QLabel(f), row.percentName);
        row.percent->setGeometry(231, row.top + 2, 14, 20);
    }

    CmdSelectArea = MakePictureButton(f, "CmdSelectArea");
    CmdSelectArea->setGeometry(10, 190, 36, 36);
    CmdSelectArea->setIcon(SelectAreaPicture());
    CmdScroll = MakePictureButton(f, "CmdScroll");
    CmdScroll->setGeometry(50, 190, 36, 36);
    CmdScroll->setIcon(ScrollPicture());
    CmdPreview = Named(new QPushButton(f), "CmdPreview");
    CmdPreview->setGeometry(92, 194, 72, 28);
    CmdOKDenoise = Named(new QPushButton(f), "CmdOKDenoise");
    CmdOKDenoise->setGeometry(170, 194, 72, 28);

    CmdOrigImg = MakePictureButton(f, "CmdOrigImg");
    CmdOrigImg->setGeometry(10, 230, 36, 36);
    CmdDenoisedImg = MakePictureButton(f, "CmdDenoisedImg");
    CmdDenoisedImg->setGeometry(50, 230, 36, 36);
    CmdNoiseImg = MakePictureButton(f, "CmdNoiseImg");
    CmdNoiseImg->setGeometry(90, 230, 36, 36);
    CmdInterrompiDenoise = Named(new QPushButton(f), "CmdInterrompiDenoise");
    CmdInterrompiDenoise->setGeometry(170, 234, 72, 28);

    // No button may be pressed by Enter in a field: a run must be asked for.
    for (QPushButton* button : {CmdPreview, CmdOKDenoise, CmdInterrompiDenoise}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    Shape2 = Named(new QFrame(client_), "Shape2");
    Shape2->setFrameShape(QFrame::Box);
    Shape2->setGeometry(kFrameLeft + 10, kFrameTop + kFrameHeight - 4, kProgressWidth + 2, 14);
    Shape1 = Named(new QFrame(client_), "Shape1");
    Shape1->setAutoFillBackground(true);
    {
        QPalette palette = Shape1->palette();
        palette.setColor(QPalette::Window, QColor(40, 90, 170));
        Shape1->setPalette(palette);
    }
    Shape1->setGeometry(kFrameLeft + 11, kFrameTop + kFrameHeight - 3, kProgressWidth, 12);
    Shape1->hide();
    Shape2->hide();

    Combo1 = Named(new QComboBox(client_), "Combo1");
    Combo1->resize(110, Combo1->sizeHint().height());

    Pic = Named(new PictureBox(client_), "Pic");
    Pic->resize(kWholeImageMaxWidth, kWholeImageMaxHeight);
    Pic->installEventFilter(this);
    PicR = Named(new PictureBox(client_), "PicR");
    PicR->resize(kPaneWidth, kPaneHeight);
    PicNoise = Named(new PictureBox(client_), "PicNoise");
    PicNoise->resize(kPaneWidth, kPaneHeight);
    PicSave = Named(new WorkSurface(this), "PicSave");
    PicMask = Named(new WorkSurface(this), "PicMask");

    ImgOrig_scura = Named(new ImageStore(this), "ImgOrig_scura");
    ImgOrig_chiara = Named(new ImageStore(this), "ImgOrig_chiara");
    ImgDenoised_scura = Named(new ImageStore(this), "ImgDenoised_scura");
    ImgDenoised_chiara = Named(new ImageStore(this), "ImgDenoised_chiara");
    ImgNoise_scura = Named(new ImageStore(this), "ImgNoise_scura");
    ImgNoise_chiara = Named(new ImageStore(this), "ImgNoise_chiara");
    ImgOrig_scura->picture = ViewButtonPicture(ResultView::Original, false);
    ImgOrig_chiara->picture = ViewButtonPicture(ResultView::Original, true);
    ImgDenoised_scura->picture = ViewButtonPicture(ResultView::Denoised, false);
    ImgDenoised_chiara->picture = ViewButtonPicture(ResultView::Denoised, true);
    ImgNoise_scura->picture = ViewButtonPicture(ResultView::Noise, false);
    ImgNoise_chiara->picture = ViewButtonPicture(ResultView::Noise, true);

    Line1 = Named(new QFrame(client_), "Line1");
    Line1->setFrameShape(QFrame::VLine);
    Line1->setFrameShadow(QFrame::Plain);
    Line1->setLineWidth(1);

    // Until a run is possible, or a preview exists, these wait.
    CmdPreview->setEnabled(false);
    CmdOKDenoise->setEnabled(false);
    CmdInterrompiDenoise->setEnabled(false);
    SetViewButtonsEnabled(false);

    connect(HScrollSigma, &QScrollBar::valueChanged, this, [this](int v) { HScrollSigma_Change(v); });
    connect(HScrollrw, &QScrollBar::valueChanged, this, [this](int v) { HScrollrw_Change(v); });
    connect(HScrollRed, &QScrollBar::valueChanged, this,
            [this](int v) { HScrollColour_Change(HScrollRed, TxtRed, settings_.red, v); });
    connect(HScrollGreen, &QScrollBar::valueChanged, this,
            [this](int v) { HScrollColour_Change(HScrollGreen, TxtGreen, settings_.green, v); });
    connect(HScrollBlue, &QScrollBar::valueChanged, this,
            [this](int v) { HScrollColour_Change(HScrollBlue, TxtBlue, settings_.blue, v); });
    connect(TxtSigma, &QLineEdit::textEdited, this,
            [this] { FieldEdited(TxtSigma, HScrollSigma, 0, 200); });
    connect(Txtrw, &QLineEdit::textEdited, this, [this] { FieldEdited(Txtrw, HScrollrw, 2, 12); });
    connect(TxtRed, &QLineEdit::textEdited, this, [this] { FieldEdited(TxtRed, HScrollRed, 0, 100); });
    connect(TxtGreen, &QLineEdit::textEdited, this,
            [this] { FieldEdited(TxtGreen, HScrollGreen, 0, 100); });
    connect(TxtBlue, &QLineEdit::textEdited, this,
            [this] { FieldEdited(TxtBlue, HScrollBlue, 0, 100); });
    Txtrw->installEventFilter(this);

    connect(CmdSelectArea, &QToolButton::clicked, this, [this] { CmdSelectArea_Click(); });
    connect(CmdScroll, &QToolButton::clicked, this, [this] { CmdScroll_Click(); });
    connect(CmdPreview, &QPushButton::clicked, this, [this] { CmdPreview_Click(); });
    connect(CmdOKDenoise, &QPushButton::clicked, this, [this] { CmdOKDenoise_Click(); });
    connect(CmdInterrompiDenoise, &QPushButton::clicked, this,
            [this] { CmdInterrompiDenoise_Click(); });
    connect(CmdOrigImg, &QToolButton::clicked, this, [this] { CmdOrigImg_Click(); });
    connect(CmdDenoisedImg, &QToolButton::clicked, this, [this] { CmdDenoisedImg_Click(); });
    connect(CmdNoiseImg, &QToolButton::clicked, this, [this] { CmdNoiseImg_Click(); });
    connect(Combo1, QOverload<int>::of(&QComboBox::activated), this,
            [this](int index) { Combo1_Click(index); });
}

bool FormDenoise::Load() {
    // 1-5: a fresh dialog starts from the design values: white, sigma 0,
    // radius 2, every channel at 100 %, no preview, no run.
    ColoreWhite->setChecked(true);
    ColoreGray->setChecked(false);
    ApplyBackground(kWhite);
    previewValid_ = false;
    rectangleShown_ = false;
    settings_ = RunSettings{};
    stopFlag_ = closeRequest_ = runActive_ = false;
    progressFullWidth_ = Shape1->width();

    // 6-9: the image, the texts, the title.
    imageBits_ = host_.ImageBits();
    imageWidth_ = host_.ImageWidth();
    imageHeight_ = host_.ImageHeight();
    if (!imageBits_ || imageWidth_ <= 0 || imageHeight_ <= 0) return false;  // nothing to denoise
    if (owner_) titleTail_ = TitleTail(owner_->window()->windowTitle());
    language_ = CurrentPreferences().language;
    ApplyTexts();

    // 10: layout, pictures, display bitmaps, first drawing.
    areaMode_ = UsesAreaMode(imageWidth_, imageHeight_);
    if (areaMode_)
        LayoutAreaMode();
    else
        LayoutWholeImage();
    SetViewPictures(ResultView::Denoised);
    if (!CreateBitmapsAndDraw()) return false;

    // 11: nothing to scroll: the rectangle goes up at once.
    if (areaMode_ && !CmdSelectArea->isVisibleTo(this)) CmdSelectArea_Click();

    // 12.
    CentreComboOverPic();
    Combo1->setCurrentIndex(0);
    currentChannel_ = 0;
    return true;
}

void FormDenoise::ApplyTexts() {
    const FormDenoiseTexts& t = DialogTexts(language_);
    ColoreSfondo->setTitle(t.backgroundMenu);
    ColoreWhite->setText(t.white);
    ColoreGray->setText(t.gray);
    ShowGuida->setText(t.help);
    LabSigma->setText(t.intensity);
    Labrw->setText(t.radius);
    LabelRed->setText(QStringLiteral("R"));
    LabelGreen->setText(QStringLiteral("G"));
    LabelBlue->setText(QStringLiteral("B"));
    for (QLabel* percent : {Label2, Label3, Label5}) percent->setText(QStringLiteral("%"));
    CmdPreview->setText(t.preview);
    CmdOKDenoise->setText(t.apply);
    CmdInterrompiDenoise->setText(t.stop);
    CmdSelectArea->setToolTip(t.selectAreaTip);
    CmdScroll->setToolTip(t.scrollTip);
    CmdOrigImg->setToolTip(t.originalTip);
    CmdDenoisedImg->setToolTip(t.denoisedTip);
    CmdNoiseImg->setToolTip(t.noiseTip);
    Combo1->clear();
    Combo1->addItems(t.channels);
    Combo1->setCurrentIndex(0);
    setWindowTitle(t.titlePrefix + titleTail_);
}

void FormDenoise::ApplyBackground(const QColor& colour) {
    auto paint = [&colour](QWidget* widget) {
        QPalette palette = widget->palette();
        palette.setColor(QPalette::Window, colour);
        widget->setPalette(palette);
    };
    paint(this);
    paint(client_);
    paint(FrameDenoise);
    for (QLabel* label : {LabSigma, Labrw, LabelRed, LabelGreen, LabelBlue, Label2, Label3, Label5})
        paint(label);
    for (PictureBox* pane : {PicR, PicNoise}) {
        pane->SetBackColor(colour);
        pane->Cls();
    }
}

void FormDenoise::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    const int menuHeight = menuBar_->sizeHint().height();
    menuBar_->setGeometry(0, 0, width(), menuHeight);
    client_->setGeometry(0, menuHeight, width(), std::max(1, height() - menuHeight));
    if (Line1->isVisibleTo(this)) Line1->resize(Line1->width(), client_->height());
}

void FormDenoise::LayoutWholeImage() {
    const FormDenoiseTexts& t = DialogTexts(language_);
    Line1->hide();
    CmdSelectArea->hide();
    CmdScroll->hide();
    CmdPreview->move(40, CmdPreview->y());
    PicR->setToolTip(t.wholePicRTip);
    Pic->setToolTip(t.wholePicTip);
    PicNoise->setToolTip(t.wholePicNoiseTip);

    WholeImageLayoutInput in;
    in.frameWidth = kFrameWidth;
    in.frameHeight = kFrameHeight + 14;  // the progress frame hangs below it
    in.frameTop = kFrameTop;
    in.comboHeight = Combo1->height();
    in.imageWidth = imageWidth_;
    in.imageHeight = imageHeight_;
    const WholeImageLayout layout = ComputeWholeImageLayout(in);
    FrameDenoise->move(layout.frameLeft, kFrameTop);
    Shape2->move(layout.frameLeft + 10, Shape2->y());
    Shape1->move(layout.frameLeft + 11, Shape1->y());
    auto place = [](QWidget* w, const Box& b) { w->setGeometry(b.left, b.top, b.width, b.height); };
    place(PicR, layout.picR);
    place(Pic, layout.pic);
    place(PicNoise, layout.picNoise);
    Combo1->move(Combo1->x(), layout.comboTop);

    const int menuHeight = menuBar_->sizeHint().height();
    setWindowState(windowState() & ~Qt::WindowMaximized);
    resize(layout.innerWidth, layout.innerHeight + menuHeight);
    show();
}

void FormDenoise::LayoutAreaMode() {
    const FormDenoiseTexts& t = DialogTexts(language_);
    // The result panes stand below the settings, the image view right of the line.
    const int paneLeft = kFrameLeft + (kFrameWidth - kPaneWidth) / 2;
    const int paneTop = kFrameTop + kFrameHeight + 22;
    PicR->setGeometry(paneLeft, paneTop, kPaneWidth, kPaneHeight);
    PicNoise->setGeometry(paneLeft, paneTop + kPaneHeight + 6, kPaneWidth, kPaneHeight);
    const int lineX = kFrameLeft + kFrameWidth + kLineGap;
    PicR->setToolTip(t.areaPicRTip);
    PicNoise->setToolTip(t.areaPicNoiseTip);
    Pic->setToolTip(QString());

    // The window is maximised: lay out for the screen's free area less the
    // window manager's frame. The owner window wears the same frame, so its
    // margins tell the title bar and borders exactly; guessing them from the
    // style left part of the view under the window's bottom edge (or a strip
    // unused) wherever the real title bar was higher (or lower).
    const QScreen* screen = owner_ ? owner_->screen() : QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    QMargins frame;
    if (owner_) {
        const QWidget* top = owner_->window();
        const QRect outer = top->frameGeometry(), client = top->geometry();
        frame = QMargins(client.left() - outer.left(), client.top() - outer.top(),
                         outer.right() - client.right(), outer.bottom() - client.bottom());
    }
    const int menuHeight = menuBar_->sizeHint().height();
    const QSize inner(
        std::max(400, available.width() - frame.left() - frame.right()),
        std::max(300, available.height() - frame.top() - frame.bottom() - menuHeight));

    AreaLayoutInput in;
    in.innerWidth = inner.width();
    in.innerHeight = inner.height();
    in.lineX = lineX;
    in.lineBorder = Line1->lineWidth();
    in.comboHeight = Combo1->height();
    in.imageWidth = imageWidth_;
    in.imageHeight = imageHeight_;
    const AreaLayout layout = ComputeAreaLayout(in);
    Line1->setGeometry(lineX, 0, Line1->lineWidth(), inner.height());
    Line1->show();
    Pic->setGeometry(layout.pic.left, layout.pic.top, layout.pic.width, layout.pic.height);
    Combo1->move(Combo1->x(), layout.comboTop);
    scrollX_ = scrollY_ = 0;
    scrollLimitX_ = layout.scrollLimitX;
    scrollLimitY_ = layout.scrollLimitY;
    CmdSelectArea->setVisible(!layout.imageFits);
    CmdScroll->setVisible(!layout.imageFits);

    resize(inner.width(), inner.height() + menuHeight);
    showMaximized();
}

void FormDenoise::CentreComboOverPic() {
    Combo1->move(Pic->x() + RoundToEven((Pic->width() - Combo1->width()) / 2.0), Combo1->y());
}

// Settings and their fields ------------------------------------------------

void FormDenoise::HScrollSigma_Change(int value) {
    settings_.sigma = static_cast<int16_t>(value);
    const QString text = QString::number(value);
    if (TxtSigma->text() != text) TxtSigma->setText(text);
    ApplyEnablingRule();
}

void FormDenoise::HScrollrw_Change(int value) {
    settings_.radius = static_cast<int16_t>(value);
    const QString text = QString::number(value);
    if (Txtrw->text() != text) Txtrw->setText(text);
}

void FormDenoise::HScrollColour_Change(QScrollBar*, QLineEdit* field, float& factor, int value) {
    factor = FactorFromPercent(value);
    const QString text = QString::number(value);
    if (field->text() != text) field->setText(text);
    ApplyEnablingRule();
}

void FormDenoise::FieldEdited(QLineEdit* field, QScrollBar* slider, int minimum, int maximum) {
    const FieldEdit edit = ApplyFieldEdit(field->text(), field->cursorPosition(), minimum, maximum);
    if (edit.text != field->text()) {
        field->setText(edit.text);
        field->setCursorPosition(edit.caret);
    }
    // When the slider moves, its handler writes the plain decimal back.
    if (edit.setSlider) slider->setValue(edit.value);
}

void FormDenoise::Txtrw_LostFocus() {
    const QString text = RadiusFieldOnLeave(Txtrw->text(), HScrollrw->minimum());
    if (text != Txtrw->text()) {
        Txtrw->setText(text);
        HScrollrw->setValue(text.toInt());
        // The slider may already stand at the minimum: the radius follows the text.
        settings_.radius = static_cast<int16_t>(HScrollrw->value());
    }
}

void FormDenoise::ApplyEnablingRule() {
    const RunButtons buttons = EnablingRule(settings_, areaMode_, selectionMode_ == 1);
    if (buttons.previewInvalidated) previewValid_ = false;
    // During a run the buttons are locked; their states take effect at the unlock.
    if (locked_) {
        savedStates_[0] = buttons.preview;
        savedStates_[1] = buttons.apply;
        return;
    }
    CmdOKDenoise->setEnabled(buttons.apply);
    CmdPreview->setEnabled(buttons.preview);
}

void FormDenoise::ControlLock() {
    for (QWidget* w : std::initializer_list<QWidget*>{Txtrw, HScrollrw, CmdSelectArea, CmdScroll,
                                                      TxtSigma, HScrollSigma})
        w->setEnabled(false);
    ShowGuida->setEnabled(false);
    QWidget* const five[] = {CmdPreview, CmdOKDenoise, CmdOrigImg, CmdDenoisedImg, CmdNoiseImg};
    for (size_t i = 0; i < savedStates_.size(); ++i) {
        savedStates_[i] = five[i]->isEnabled();
        five[i]->setEnabled(false);
    }
    for (QWidget* w : std::initializer_list<QWidget*>{TxtRed, HScrollRed, TxtGreen, HScrollGreen,
                                                      TxtBlue, HScrollBlue})
        w->setEnabled(false);
    locked_ = true;
}

void FormDenoise::ControlUnlock() {
    ShowGuida->setEnabled(true);
    for (QWidget* w : std::initializer_list<QWidget*>{Txtrw, HScrollrw, CmdSelectArea, CmdScroll,
                                                      TxtSigma, HScrollSigma})
        w->setEnabled(true);
    QWidget* const five[] = {CmdPreview, CmdOKDenoise, CmdOrigImg, CmdDenoisedImg, CmdNoiseImg};
    for (size_t i = 0; i < savedStates_.size(); ++i) five[i]->setEnabled(savedStates_[i]);
    for (QWidget* w : std::initializer_list<QWidget*>{TxtRed, HScrollRed, TxtGreen, HScrollGreen,
                                                      TxtBlue, HScrollBlue})
        w->setEnabled(true);
    locked_ = false;
}

void FormDenoise::ColoreWhite_Click() {
    if (ColoreGray->isChecked()) {
        ColoreGray->setChecked(false);
        ApplyBackground(kWhite);
    }
    ColoreWhite->setChecked(true);
}

void FormDenoise::ColoreGray_Click() {
    if (ColoreWhite->isChecked()) {
        ColoreWhite->setChecked(false);
        ApplyBackground(kGray);
    }
    ColoreGray->setChecked(true);
}

void FormDenoise::ShowGuida_Click() {
    const QString page = language_ == 1 ? QStringLiteral("index_eng.html")
                                        : QStringLiteral("index.html");
    const QString path = QDir(HelpFolder()).filePath(page);
    if (Seams().openUrl) Seams().openUrl(path);
}

// Closing --------------------------------------------------------------------

void FormDenoise::closeEvent(QCloseEvent* event) {
    if (runActive_) {
        // The run ends at its next row; the dialog then closes itself.
        closeRequest_ = true;
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void FormDenoise::reject() {
    if (runActive_) {
        closeRequest_ = true;
        return;
    }
    QDialog::reject();
}

bool FormDenoise::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Txtrw && event->type() == QEvent::FocusOut) {
        // Only when the focus goes to another control: opening a menu or
        // switching to another window must not fill in a field being retyped.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
            Txtrw_LostFocus();
    } else if (watched == Pic) {
        switch (event->type()) {
            case QEvent::MouseButtonPress: {
                auto* mouse = static_cast<QMouseEvent*>(event);
                Pic_MouseDown(mouse->position().toPoint(), mouse->button());
                return true;
            }
            case QEvent::MouseMove:
                Pic_MouseMove(static_cast<QMouseEvent*>(event)->position().toPoint());
                return true;
            case QEvent::MouseButtonRelease:
                Pic_MouseUp();
                return true;
            default:
                break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace calmora
