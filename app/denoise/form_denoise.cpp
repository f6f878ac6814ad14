#include "form_denoise.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QToolButton>
#include <optional>

#include "app_paths.h"
#include "denoise_dialog_rules.h"
#include "denoise_dialog_text.h"
#include "denoise_host.h"
#include "dialog_controls.h"
#include "dialog_layout.h"
#include "message_catalogue.h"
#include "picture_box.h"
#include "preferences.h"
#include "result_panes.h"
#include "result_view_pictures.h"
#include "run_controller.h"
#include "settings_panel.h"
#include "stale_note.h"
#include "ui_seams.h"
#include "window_manager_wait.h"

namespace calmora {

namespace {

const QColor kWhite(255, 255, 255);
const QColor kGray(230, 230, 230);

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

bool FormDenoise::HandedBack() const { return runs_->HandedBack(); }

void FormDenoise::SetBeforeRowHookForTest(std::function<void(int32_t, int32_t)> hook) {
    runs_->SetBeforeRowHook(std::move(hook));
}

// The controls in the design's order, which is also their tab order.
void FormDenoise::BuildControls() {
    menuBar_ = new QMenuBar(this);
    menuBar_->setNativeMenuBar(false);
    ColoreSfondo = Named(menuBar_->addMenu(QString()), "ColoreSfondo");
    ColoreWhite = Named(ColoreSfondo->addAction(QString()), "ColoreWhite");
    ColoreGray = Named(ColoreSfondo->addAction(QString()), "ColoreGray");
    ColoreWhite->setCheckable(true);
    ColoreGray->setCheckable(true);
    ShowGuida = Named(menuBar_->addAction(QString()), "ShowGuida");

    client_ = Named(new QWidget(this), "client");
    client_->setAutoFillBackground(true);
    FrameDenoise = Named(new QFrame(client_), "FrameDenoise");
    FrameDenoise->setFrameShape(QFrame::StyledPanel);
    FrameDenoise->setAutoFillBackground(true);
    FrameDenoise->setGeometry(kFrameLeft, kFrameTop, kFrameWidth, kFrameHeight);
    QWidget* f = FrameDenoise;
    panel_ = std::make_unique<SettingsPanel>(f, state_);

    CmdSelectArea = MakePictureButton(f, "CmdSelectArea", 10, 190);
    CmdSelectArea->setIcon(SelectAreaPicture());
    CmdScroll = MakePictureButton(f, "CmdScroll", 50, 190);
    CmdScroll->setIcon(ScrollPicture());
    CmdPreview = MakeButton(f, "CmdPreview", 92, 194);
    CmdOKDenoise = MakeButton(f, "CmdOKDenoise", 170, 194);
    CmdOrigImg = MakePictureButton(f, "CmdOrigImg", 10, 230);
    CmdDenoisedImg = MakePictureButton(f, "CmdDenoisedImg", 50, 230);
    CmdNoiseImg = MakePictureButton(f, "CmdNoiseImg", 90, 230);
    CmdInterrompiDenoise = MakeButton(f, "CmdInterrompiDenoise", 170, 234);

    Shape2 = Named(new QFrame(client_), "Shape2");
    Shape2->setFrameShape(QFrame::Box);
    Shape2->setGeometry(kFrameLeft + 10, kFrameTop + kFrameHeight - 4, kProgressWidth + 2, 14);
    Shape1 = Named(new QFrame(client_), "Shape1");
    Shape1->setAutoFillBackground(true);
    QPalette progress = Shape1->palette();
    progress.setColor(QPalette::Window, QColor(40, 90, 170));
    Shape1->setPalette(progress);
    Shape1->setGeometry(kFrameLeft + 11, kFrameTop + kFrameHeight - 3, kProgressWidth, 12);
    Shape1->hide();
    Shape2->hide();

    Combo1 = Named(new QComboBox(client_), "Combo1");
    Combo1->resize(110, Combo1->sizeHint().height());
    Pic = Named(new PictureBox(client_), "Pic");
    Pic->resize(kWholeImageMaxWidth, kWholeImageMaxHeight);
    PicR = Named(new PictureBox(client_), "PicR");
    PicR->resize(kPaneWidth, kPaneHeight);
    PicNoise = Named(new PictureBox(client_), "PicNoise");
    PicNoise->resize(kPaneWidth, kPaneHeight);
    // The colour-noise mode's row, below the result panes (dialog_layout.h).
    FrameColourNoise = Named(new QWidget(client_), "FrameColourNoise");
    FrameColourNoise->resize(kColourRowWidth, kColourRowHeight);
    panel_->AddColourNoiseRow(FrameColourNoise);
    BuildParts();

    Line1 = Named(new QFrame(client_), "Line1");
    Line1->setFrameShape(QFrame::VLine);
    Line1->setFrameShadow(QFrame::Plain);
    Line1->setLineWidth(1);

    // Until a run is possible, or a preview exists, these wait.
    const std::initializer_list<QWidget*> waiting = {CmdPreview, CmdOKDenoise, CmdInterrompiDenoise,
                                                     CmdOrigImg, CmdDenoisedImg, CmdNoiseImg};
    for (QWidget* w : waiting) w->setEnabled(false);
}

void FormDenoise::BuildParts() {
    AreaToolControls view;
    view.pic = Pic;
    view.selectArea = CmdSelectArea;
    view.scroll = CmdScroll;
    view.save = Named(new WorkSurface(this), "PicSave");
    view.mask = Named(new WorkSurface(this), "PicMask");
    area_ = std::make_unique<AreaTool>(view, state_);

    ResultPaneControls results;
    results.denoisedPane = PicR;
    results.noisePane = PicNoise;
    results.view = Pic;
    results.viewButtons = {CmdOrigImg, CmdDenoisedImg, CmdNoiseImg};
    const char* const names[3][2] = {{"ImgOrig_scura", "ImgOrig_chiara"},
                                     {"ImgDenoised_scura", "ImgDenoised_chiara"},
                                     {"ImgNoise_scura", "ImgNoise_chiara"}};
    for (int i = 0; i < 3; ++i) {
        const auto v = static_cast<ResultView>(i);
        results.dark[i] = MakeStore(this, names[i][0], v, false);
        results.light[i] = MakeStore(this, names[i][1], v, true);
    }
    panes_ = std::make_unique<ResultPanes>(results, state_);

    runs_ = std::make_unique<RunController>(
        *this, host_, state_, RunParts{*panel_, *panes_, *area_},
        RunControls{CmdPreview, CmdOKDenoise, CmdInterrompiDenoise, Shape1, Shape2, Combo1});

    panel_->SetLockedControls(
        {ShowGuida, CmdSelectArea, CmdScroll, CmdPreview, CmdOKDenoise, results.viewButtons});
    staleNote_ = std::make_unique<StaleNote>(PicR, PicNoise, Pic);
    connect(panel_.get(), &SettingsPanel::settingsChanged, this, [this](const RunSettings& settings) {
        state_.settings = settings;
        UpdateStaleNote();
    });
    connect(runs_.get(), &RunController::previewShown, this, [this] { UpdateStaleNote(); });
    connect(panes_.get(), &ResultPanes::cleared, this, [this] {
        state_.previewShown = false;
        UpdateStaleNote();
    });
    connect(panel_.get(), &SettingsPanel::previewInvalidated, this,
            [this] { state_.previewValid = false; });
    connect(area_.get(), &AreaTool::selectionModeChanged, panel_.get(),
            &SettingsPanel::SelectionModeChanged);
    connect(area_.get(), &AreaTool::panesOutdated, panes_.get(), &ResultPanes::Clear);
    connect(area_.get(), &AreaTool::previewOutdated, panes_.get(), [this] {
        panes_->SetViewButtonsEnabled(false);
        panes_->Clear();
    });
    connect(runs_.get(), &RunController::imageHandedBack, area_.get(),
            [this] { area_->SetImage(nullptr, imageWidth_, imageHeight_); });
    connect(CmdSelectArea, &QToolButton::clicked, area_.get(), &AreaTool::SelectArea);
    connect(CmdScroll, &QToolButton::clicked, area_.get(), &AreaTool::Scroll);
    connect(Combo1, QOverload<int>::of(&QComboBox::activated), this,
            [this](int index) { ChannelChosen(index); });
    connect(ColoreWhite, &QAction::triggered, this,
            [this] { ChooseBackground(ColoreWhite, ColoreGray, kWhite); });
    connect(ColoreGray, &QAction::triggered, this,
            [this] { ChooseBackground(ColoreGray, ColoreWhite, kGray); });
    connect(ShowGuida, &QAction::triggered, this, [this] { ShowHelp(); });
}

bool FormDenoise::Load() {
    // 1-5: a fresh dialog starts from the design values: white, sigma 0,
    // radius 2, every channel at 100 %, no preview, no run.
    ColoreWhite->setChecked(true);
    ColoreGray->setChecked(false);
    ApplyBackground(kWhite);
    state_.previewValid = false;
    state_.rectangleShown = false;
    panel_->ResetSettings();

    // 6-9: the image, the texts, the title.
    const uint8_t* imageBits = host_.ImageBits();
    imageWidth_ = host_.ImageWidth();
    imageHeight_ = host_.ImageHeight();
    runs_->Reset(imageBits, imageWidth_, imageHeight_);
    if (!imageBits || imageWidth_ <= 0 || imageHeight_ <= 0) return false;  // nothing to denoise
    area_->SetImage(imageBits, imageWidth_, imageHeight_);
    // Measured on the first press only: the image stays the same while the dialog is open.
    panel_->SetNoiseSource([this, imageBits, estimate = std::optional<NoiseEstimate>()]() mutable {
        if (!estimate) estimate = EstimateNoise(imageBits, imageWidth_, imageHeight_);
        return *estimate;
    });
    if (owner_) titleTail_ = TitleTail(owner_->window()->windowTitle());
    language_ = CurrentPreferences().language;
    ApplyTexts();

    // 10: layout, pictures, display bitmaps, first drawing.
    state_.areaMode = UsesAreaMode(imageWidth_, imageHeight_);
    if (state_.areaMode)
        LayoutAreaMode();
    else
        LayoutWholeImage();
    panes_->SetSelectedView(ResultView::Denoised);
    if (const int message = area_->Prepare(makeBitmap_, PicR->size()); message != 0) {
        FailLoad(message);
        return false;
    }

    // 11: nothing to scroll: the rectangle goes up at once.
    if (state_.areaMode && !CmdSelectArea->isVisibleTo(this)) area_->SelectArea();

    // 12.
    CentreChannelsOverView(Widgets());
    Combo1->setCurrentIndex(0);
    state_.currentChannel = 0;
    return true;
}

void FormDenoise::FailLoad(int message) {
    QApplication::restoreOverrideCursor();
    unsetCursor();
    ShowMessage(this, message);
    hide();
}

void FormDenoise::ApplyTexts() {
    const FormDenoiseTexts& t = DialogTexts(language_);
    ColoreSfondo->setTitle(t.backgroundMenu);
    ColoreWhite->setText(t.white);
    ColoreGray->setText(t.gray);
    ShowGuida->setText(t.help);
    panel_->ApplyTexts(t);
    staleNote_->SetText(t.stalePreview);
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
    for (QWidget* widget : std::initializer_list<QWidget*>{this, client_, FrameDenoise}) {
        QPalette palette = widget->palette();
        palette.setColor(QPalette::Window, colour);
        widget->setPalette(palette);
    }
    panel_->PaintBackground(colour);
    panes_->SetBackground(colour);
}

// The two background items behave as a pair of radio items.
void FormDenoise::ChooseBackground(QAction* chosen, QAction* other, const QColor& colour) {
    if (other->isChecked()) {
        other->setChecked(false);
        ApplyBackground(colour);
    }
    chosen->setChecked(true);
}

void FormDenoise::ShowHelp() {
    const QString page = language_ == Language::English ? QStringLiteral("index_eng.html")
                                                        : QStringLiteral("index.html");
    const QString path = QDir(HelpFolder()).filePath(page);
    if (Seams().openUrl) Seams().openUrl(path);
}

void FormDenoise::ChannelChosen(int index) {
    if (index == state_.currentChannel || index < 0) return;
    const int previous = state_.currentChannel;
    // During a run the controls stay locked until it ends: an unlock here
    // would let the settings change under the run. The pictures follow the
    // channel as they do when idle (a preview in progress is not valid yet
    // and takes the channel up row by row).
    const bool running = state_.runActive;
    if (!running) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        panel_->Lock();
    }
    area_->RedrawInChannel(previous, index);
    if (state_.rectangleShown) area_->SaveSurroundings();
    if (state_.previewValid) {
        panes_->RedrawInChannel(index);
        const AreaBitmaps& a = state_.areaBitmaps;
        if (state_.areaMode) area_->ShowInRectangle(index == 0 ? a.denoised : a.denoisedChannel);
    }
    // The lit view button names what the view now shows: the denoised area
    // after a full refresh in area mode, otherwise the image itself.
    if (state_.previewShown)
        panes_->SetSelectedView(state_.previewValid && state_.areaMode ? ResultView::Denoised
                                                                       : ResultView::Original);
    if (state_.rectangleShown) area_->DrawRectangle();
    if (!running) {
        panel_->Unlock();
        QApplication::restoreOverrideCursor();
    }
    state_.currentChannel = index;
}

// A preview on show whose settings differ from the current ones is marked
// until the next preview, or until the settings are back to its own.
void FormDenoise::UpdateStaleNote() {
    state_.previewStale =
        state_.previewShown && !SameRun(state_.settings, state_.previewedSettings);
    if (!state_.previewStale) {
        staleNote_->Hide();
        return;
    }
    QRect area;  // the rectangle's inside, in area mode
    if (state_.areaMode && state_.rectangleShown)
        area = QRect(state_.rectLeft + 1, state_.rectTop + 1, state_.area.width, state_.area.height);
    staleNote_->Show(area);
}

// Layouts --------------------------------------------------------------------

void FormDenoise::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    const int menuHeight = menuBar_->sizeHint().height();
    menuBar_->setGeometry(0, 0, width(), menuHeight);
    client_->setGeometry(0, menuHeight, width(), std::max(1, height() - menuHeight));
    if (Line1->isVisibleTo(this)) Line1->resize(Line1->width(), client_->height());
}

DialogWidgets FormDenoise::Widgets() const {
    return {FrameDenoise, Shape1, Shape2, Pic, PicR, PicNoise, Combo1, Line1, CmdSelectArea,
            CmdScroll, CmdPreview, FrameColourNoise};
}

void FormDenoise::LayoutWholeImage() {
    const QSize inner =
        PlaceForWholeImage(Widgets(), DialogTexts(language_), imageWidth_, imageHeight_);
    const int menuHeight = menuBar_->sizeHint().height();
    setWindowState(windowState() & ~Qt::WindowMaximized);
    resize(inner.width(), inner.height() + menuHeight);
    show();
}

void FormDenoise::LayoutAreaMode() {
    const int menuHeight = menuBar_->sizeHint().height();
    const QSize expected = ExpectedAreaClientSize(owner_, menuHeight);
    resize(expected.width(), expected.height() + menuHeight);
    showMaximized();
    AwaitWindowManager(*this);
    const AreaPlacement placement = PlaceForAreaMode(Widgets(), DialogTexts(language_),
                                                     client_->size(), imageWidth_, imageHeight_);
    state_.scrollX = state_.scrollY = 0;
    state_.scrollLimitX = placement.layout.scrollLimitX;
    state_.scrollLimitY = placement.layout.scrollLimitY;
}

// Closing --------------------------------------------------------------------

void FormDenoise::closeEvent(QCloseEvent* event) {
    // During a run the close becomes a request: the run ends at its next row
    // and the dialog then closes itself.
    if (runs_->RequestClose()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void FormDenoise::reject() {
    if (runs_->RequestClose()) return;
    QDialog::reject();
}

}  // namespace calmora
