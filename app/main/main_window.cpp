#include "main_window.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLinearGradient>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>
#include <cstring>

#include "KcDenoise.h"
#include "app_paths.h"
#include "file_dialogs.h"
#include "form_pref.h"
#include "imagefiles/image_load.h"
#include "imagefiles/image_save.h"
#include "main_menus.h"
#include "message_catalogue.h"
#include "picture_box.h"
#include "preferences.h"
#include "remembered_folder.h"
#include "ui_seams.h"

#include "denoise/denoise_dialog_launch.h"
#include "form_about.h"
#include "mouse_wheel.h"
#include "save_command.h"

namespace calmora {
namespace {

const QString kOpenFilter = QStringLiteral(
    "Image Files |*.JPG;*.JPEG;*.BMP;*.PNG;*.TIF;*.TIFF;*.GIF|"
    "JPEG Files (*.JPG;*.JPEG)|*.JPG;*.JPEG|"
    "Bitmap Files (*.BMP)|*.BMP|"
    "PNG Files (*.PNG)|*.PNG|"
    "TIF Files (*.TIF;*.TIFF)|*.TIF;*.TIFF|"
    "GIF Files (*.GIF)|*.GIF|");

int CurrentLanguage() { return CurrentPreferences().language == kItalian ? kItalian : kEnglish; }

void SetCursorByCode(QWidget* widget, int code) {
    switch (code) {
        case kPointerSizeAll: widget->setCursor(Qt::SizeAllCursor); break;
        case kPointerBusy: widget->setCursor(Qt::WaitCursor); break;
        default: widget->unsetCursor(); break;
    }
}

// Sets the caption of a named control of whichever kind it is.
void SetControlCaption(QObject* control, const QString& text) {
    if (auto* menu = qobject_cast<QMenu*>(control)) {
        menu->setTitle(text);
    } else if (auto* action = qobject_cast<QAction*>(control)) {
        action->setText(text);
    } else if (auto* frame = qobject_cast<QGroupBox*>(control)) {
        frame->setTitle(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        button->setText(text);
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
        label->setText(text);
    }
}

// Turns a picture drawn with Qt into the buffer layout (BGR, bottom-up rows).
bool BitmapFromImage(const QImage& image, DisplayBitmap& bitmap) {
    if (!CreaDIB(bitmap, image.width(), image.height())) return false;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    const int64_t stride = bitmap.stride();
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        uint8_t* row = bitmap.bits + (rgb.height() - 1 - y) * stride;
        for (int x = 0; x < rgb.width(); ++x) {
            row[3 * x] = static_cast<uint8_t>(qBlue(line[x]));
            row[3 * x + 1] = static_cast<uint8_t>(qGreen(line[x]));
            row[3 * x + 2] = static_cast<uint8_t>(qRed(line[x]));
        }
    }
    return true;
}

// What Pic shows before the first image is loaded.
QImage DrawStartPicture() {
    QImage image(360, 220, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, image.height());
    sky.setColorAt(0.0, QColor(62, 84, 112));
    sky.setColorAt(1.0, QColor(142, 164, 178));
    painter.fillRect(image.rect(), sky);
    // A calm sea of dots getting finer towards the horizon.
    painter.setPen(Qt::NoPen);
    for (int row = 0; row < 9; ++row) {
        const int y = 150 + row * 8;
        const int step = 6 + row * 2;
        painter.setBrush(QColor(230, 236, 240, 60 + row * 18));
        for (int x = (row % 2) * step / 2; x < image.width(); x += step) {
            painter.drawEllipse(QPointF(x, y), 0.8 + row * 0.25, 0.8 + row * 0.25);
        }
    }
    QFont font = painter.font();
    font.setPixelSize(48);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(246, 248, 250));
    painter.drawText(QRect(0, 30, image.width(), 90), Qt::AlignCenter, kProgramName);
    return image;
}

}  // namespace

namespace {

ImageAllocation DefaultAllocation() {
    ImageAllocation allocation;
    allocation.allocate24 = [](int32_t width, int32_t height) -> FIBITMAP* {
        if (width <= 0 || height <= 0) return nullptr;
        return FreeImage_AllocateT(FIT_BITMAP, width, height, 24);
    };
    allocation.createDisplayBitmap = [](DisplayBitmap& bitmap, int32_t width, int32_t height) {
        return CreaDIB(bitmap, width, height);
    };
    return allocation;
}

}  // namespace

ImageAllocation& Allocation() {
    static ImageAllocation allocation = DefaultAllocation();
    return allocation;
}

void RestoreDefaultAllocation() { Allocation() = DefaultAllocation(); }

// ---------------------------------------------------------------- start-up

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("FormMain"));
    denoiseDialog_ = ShowDenoiseDialog;
    CreateMenus();
    CreateClientArea();
    InstallWheel();

    LoadPreferences();
    if (CurrentLanguage() == kEnglish) {
        ApplyEnglishCaptions();
    } else {
        ApplyItalianCaptions();
    }
    SetTitle(kProgramName);
    doc_.openFolder = ReadRememberedFolder(QString::fromLatin1(kOpenFolderFile));

    const QScreen* screen = this->screen();
    const QSize available = screen ? screen->availableGeometry().size() : QSize(1280, 960);
    resize(std::min(1100, available.width() * 9 / 10), std::min(800, available.height() * 9 / 10));
    setMinimumSize(320, 240);
    ShowStartPicture();
}

MainWindow::~MainWindow() {
    ReleaseDocument();
    if (destination_) FreeImage_Unload(destination_);
    RemoveWheelHook(this);
    delete openDialog_;
}

void MainWindow::CreateMenus() {
    auto addMenu = [this](const char* name, const QString& caption) {
        QMenu* menu = menuBar()->addMenu(caption);
        menu->setObjectName(QString::fromLatin1(name));
        menu->menuAction()->setObjectName(QString::fromLatin1(name));
        return menu;
    };
    auto addItem = [](QWidget* owner, const char* name) {
        auto* action = new QAction(owner);
        action->setObjectName(QString::fromLatin1(name));
        owner->addAction(action);
        return action;
    };

    fileMenu_ = addMenu("FileMenu", QStringLiteral("File"));
    fileOpen_ = addItem(fileMenu_, "FileOpen");
    fileSave_ = addItem(fileMenu_, "FileSave");
    paintSizeMenu_ = addMenu("PaintSize", QString());
    paintSizeTrue_ = addItem(paintSizeMenu_, "PaintSizeTrue");
    paintSizeScreenFit_ = addItem(paintSizeMenu_, "PaintSizeScreenFit");
    imageMenu_ = addMenu("ImageMenu", QString());
    ruota90_ = addItem(imageMenu_, "Ruota90");
    denoise_ = addItem(imageMenu_, "Denoise");
    prefMenu_ = addItem(menuBar(), "PrefMenu");
    showGuida_ = addItem(menuBar(), "ShowGuida");
    showAbout_ = addItem(menuBar(), "ShowAbout");

    paintSizeTrue_->setCheckable(true);
    paintSizeScreenFit_->setCheckable(true);
    paintSizeTrue_->setChecked(true);
    fileSave_->setEnabled(false);  // until an image is loaded
    paintSizeMenu_->menuAction()->setVisible(false);
    imageMenu_->menuAction()->setVisible(false);

    connect(fileOpen_, &QAction::triggered, this, &MainWindow::FileOpen_Click);
    connect(fileSave_, &QAction::triggered, this, &MainWindow::FileSave_Click);
    // Qt flips a checkable item's mark before it reports the click; the two
    // views set their marks themselves, and a click on the view already shown
    // must find its mark still set, so the flip is undone first.
    const auto viewCommand = [this](QAction* action, void (MainWindow::*command)()) {
        connect(action, &QAction::triggered, this, [this, action, command](bool checked) {
            action->setChecked(!checked);
            (this->*command)();
        });
    };
    viewCommand(paintSizeTrue_, &MainWindow::PaintSizeTrue_Click);
    viewCommand(paintSizeScreenFit_, &MainWindow::PaintSizeScreenFit_Click);
    connect(ruota90_, &QAction::triggered, this, &MainWindow::Ruota90_Click);
    connect(denoise_, &QAction::triggered, this, &MainWindow::Denoise_Click);
    connect(prefMenu_, &QAction::triggered, this, &MainWindow::PrefMenu_Click);
    connect(showGuida_, &QAction::triggered, this, &MainWindow::ShowGuida_Click);
    connect(showAbout_, &QAction::triggered, this, &MainWindow::ShowAbout_Click);
}

void MainWindow::CreateClientArea() {
    client_ = new QWidget(this);
    client_->setObjectName(QStringLiteral("ClientArea"));
    setCentralWidget(client_);
    client_->installEventFilter(this);

    pic_ = new PictureBox(client_);
    pic_->setObjectName(QStringLiteral("Pic"));
    pic_->installEventFilter(this);

    hScroll_ = new QScrollBar(Qt::Horizontal, client_);
    hScroll_->setObjectName(QStringLiteral("HScroll1"));
    vScroll_ = new QScrollBar(Qt::Vertical, client_);
    vScroll_->setObjectName(QStringLiteral("VScroll1"));
    for (QScrollBar* bar : {hScroll_, vScroll_}) {
        bar->setRange(0, 0);
        bar->hide();
    }
    connect(hScroll_, &QScrollBar::valueChanged, this, &MainWindow::HScroll1_Change);
    connect(vScroll_, &QScrollBar::valueChanged, this, &MainWindow::Vscroll1_Change);
}

void MainWindow::InstallWheel() {
    WheelTarget target;
    target.verticalBar = [this] { return vScroll_; };
    target.picture = [this]() -> QWidget* { return pic_; };
    target.setViewReady = [this](bool ready) { doc_.viewReadyFlag = ready; };
    target.redrawView = [this] { RedrawView(); };
    mouse_hook(this, std::move(target));
}

void MainWindow::ShowStartPicture() {
    DisplayBitmap picture;
    if (!BitmapFromImage(DrawStartPicture(), picture)) return;
    const QSize client = ClientSize();
    PlacePic((client.width() - picture.width()) / 2, (client.height() - picture.height()) / 2,
             picture.width(), picture.height());
    pic_->BitBlt(0, 0, picture.width(), picture.height(), picture, 0, 0);
    pic_->show();
    startPictureShown_ = true;
}

// ---------------------------------------------------------------- captions

void MainWindow::ApplyCaptions(int language) {
    for (const ControlCaption& entry : kControlCaptions) {
        const QString text = QString::fromUtf8(language == kEnglish ? entry.english : entry.italian);
        const QString name = QString::fromLatin1(entry.control);
        for (QObject* control : findChildren<QObject*>(name)) SetControlCaption(control, text);
    }
}

void MainWindow::ApplyEnglishCaptions() { ApplyCaptions(kEnglish); }
void MainWindow::ApplyItalianCaptions() { ApplyCaptions(kItalian); }

void MainWindow::SwapCaptionLanguage() {
    const int language = CurrentLanguage();
    const int previous = language == kEnglish ? kItalian : kEnglish;
    SetTitle(SwappedTitle(windowTitle(), previous, language, doc_.caption, doc_.fitCaption));
}

QAction* MainWindow::MenuAction(const char* objectName) const {
    for (QAction* action : findChildren<QAction*>(QString::fromLatin1(objectName))) return action;
    return nullptr;
}

// ---------------------------------------------------------------- menus and pointers

QList<QAction*> MainWindow::LockedMenus() const {
    return {fileMenu_->menuAction(), paintSizeMenu_->menuAction(), showAbout_, showGuida_,
            denoise_, prefMenu_};
}

void MainWindow::DisableMainMenus() { calmora::DisableMainMenus(LockedMenus()); }

void MainWindow::EnableMainMenus() {
    calmora::EnableMainMenus(LockedMenus());
    // Without an image there is nothing for the denoise dialog to work on.
    denoise_->setEnabled(HasImage());
}

void MainWindow::SetWindowPointer(int code) {
    windowPointer_ = code;
    SetCursorByCode(this, code);
}

void MainWindow::SetPicPointer(int code) {
    picPointer_ = code;
    SetCursorByCode(pic_, code);
}

// ---------------------------------------------------------------- opening

void MainWindow::FileOpen_Click() {
    if (!openDialog_) openDialog_ = new GCommonDialog;
    QString fileName = doc_.fileName;
    QString fileTitle;
    bool readOnly = false;
    QString filter = kOpenFilter;
    int32_t filterIndex = 1;
    int32_t flags = 0;
    const bool confirmed = openDialog_->VBGetOpenFileName(
        fileName, fileTitle, true, false, readOnly, true, filter, filterIndex, doc_.openFolder,
        QString(), QStringLiteral("JPG"), this, flags);
    if (!confirmed) {
        doc_.fileName = doc_.lastChosenName;
        return;
    }
    BeginLoad(fileName);
}

void MainWindow::OpenFile(const QString& path) {
    if (doc_.loadingFlag || path.isEmpty()) return;
    BeginLoad(QFileInfo(path).absoluteFilePath());
}

QString MainWindow::SplitPath(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0) return path;
    doc_.openFolder = slash == 0 ? QStringLiteral("/") : path.left(slash);
    return path.mid(slash + 1);
}

void MainWindow::WriteOpenFolder() {
    WriteRememberedFolder(QString::fromLatin1(kOpenFolderFile), doc_.openFolder);
}

void MainWindow::BeginLoad(const QString& path) {
    doc_.fileName = path;
    const QString name = SplitPath(path);
    SetTitle(LoadingCaption(name));
    doc_.lastChosenName = path;
    WriteOpenFolder();
    doc_.loadingFlag = true;
    LoadImageFile();
}

void MainWindow::LoadImageFile() {
    const std::string path = doc_.fileName.toUtf8().toStdString();
    const QString name = doc_.fileName.mid(doc_.fileName.lastIndexOf(QLatin1Char('/')) + 1);

    // Anything the header alone rules out (not an image, unreadable, too large
    // to hold) is refused while the current picture stays on screen.
    const ImageProbe probe = ProbeImageFile(path);
    if (probe.error != ImageFileError::None) {
        ShowMessage(this, CatalogueMessageFor(probe.error));
        doc_.loadingFlag = false;
        return;
    }
    doc_.fileType = probe.format;

    SetPicPointer(kPointerBusy);
    SetWindowPointer(kPointerBusy);
    paintSizeMenu_->menuAction()->setVisible(false);
    imageMenu_->menuAction()->setVisible(false);
    pic_->hide();
    pic_->resize(1, 1);
    pic_->Cls();
    startPictureShown_ = false;
    hScroll_->hide();
    vScroll_->hide();
    DisableMainMenus();
    QCoreApplication::processEvents();

    ReleaseDocument();
    SuspendSystemKeys();

    LoadedImage loaded = calmora::LoadImageFile(path);
    if (!loaded.image) {
        FailLoad(CatalogueMessageFor(loaded.error), false);
        return;
    }
    doc_.fileType = loaded.format;
    doc_.image = loaded.image.release();
    doc_.width = static_cast<int32_t>(FreeImage_GetWidth(doc_.image));
    doc_.height = static_cast<int32_t>(FreeImage_GetHeight(doc_.image));
    doc_.imageBits = FreeImage_GetBits(doc_.image);
    ResumeSystemKeys();

    doc_.baseCaption = CaptionPair::Same(BaseCaption(name, doc_.width, doc_.height));
    doc_.caption = doc_.baseCaption;
    SetTitle(doc_.caption.In(CurrentLanguage()));

    UpdateFitGeometry();

    doc_.viewReadyFlag = false;
    hScroll_->setValue(0);
    vScroll_->setValue(0);
    const TrueSizeLayout layout = ComputeLayout(doc_.width, doc_.height);
    ApplyLayout(layout);
    doc_.viewReadyFlag = true;

    const int failure =
        MakeTrueView(doc_.viewBitmap, doc_.imageBits, doc_.width, doc_.height, layout, 0, 0);
    if (failure != 0) {
        FailLoad(failure, true);
        return;
    }

    PlacePic(layout.viewLeft, layout.viewTop, layout.viewWidth, layout.viewHeight);
    pic_->BitBlt(0, 0, layout.viewWidth, layout.viewHeight, doc_.viewBitmap, 0, 0);
    pic_->Refresh();
    hScroll_->setEnabled(true);
    vScroll_->setEnabled(true);
    pic_->show();

    doc_.viewMode = kTrueSize;
    paintSizeTrue_->setChecked(true);
    paintSizeScreenFit_->setChecked(false);
    doc_.trueScrollX = doc_.trueScrollY = 0;
    doc_.loadingFlag = false;
    SetWindowPointer(kPointerDefault);
    SetPicPointer(kPointerDefault);
    fileSave_->setEnabled(true);
    EnableMainMenus();
    imageMenu_->menuAction()->setVisible(true);
    doc_.rotation = 0;
}

void MainWindow::FailLoad(int message, bool hidePaintSize) {
    if (hidePaintSize) paintSizeMenu_->menuAction()->setVisible(false);
    ResumeSystemKeys();
    SetWindowPointer(kPointerDefault);
    SetPicPointer(kPointerDefault);
    // Nothing of the failed file stays behind, and nothing may act on it.
    ReleaseDocument();
    hScroll_->hide();
    vScroll_->hide();
    fileSave_->setEnabled(false);
    ShowMessage(this, message);
    EnableMainMenus();
    doc_.loadingFlag = false;
}

void MainWindow::ReleaseDocument() {
    if (doc_.image) {
        FreeImage_Unload(doc_.image);
        doc_.image = nullptr;
    }
    doc_.imageBits = nullptr;
    doc_.viewBitmap.Release();
    DropFitBitmap();
}

// ---------------------------------------------------------------- view

QSize MainWindow::ClientSize() const { return client_->size(); }

TrueSizeLayout MainWindow::ComputeLayout(int32_t width, int32_t height) const {
    const QSize client = ClientSize();
    const int thickness = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, hScroll_);
    return LayoutTrueSize(client.width(), client.height(), width, height, thickness, thickness);
}

void MainWindow::ApplyLayout(const TrueSizeLayout& layout) {
    hScroll_->hide();
    vScroll_->hide();
    doc_.layout = layout;
    hScroll_->setRange(0, layout.hScrollMax);
    vScroll_->setRange(0, layout.vScrollMax);
    // One wheel notch moves a quarter of the view, the arrows a twentieth.
    hScroll_->setPageStep(std::max(1, layout.viewWidth / 4));
    hScroll_->setSingleStep(std::max(1, layout.viewWidth / 20));
    vScroll_->setPageStep(std::max(1, layout.viewHeight / 4));
    vScroll_->setSingleStep(std::max(1, layout.viewHeight / 20));
    PlaceScrollBars();
    hScroll_->setVisible(layout.hScrollShown);
    vScroll_->setVisible(layout.vScrollShown);
    paintSizeMenu_->menuAction()->setVisible(layout.sizeMenuVisible);
    if (layout.sizeMenuVisible) {
        paintSizeTrue_->setChecked(true);
        paintSizeScreenFit_->setChecked(false);
    }
}

void MainWindow::PlaceScrollBars() {
    const QSize client = ClientSize();
    const int thickness = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, hScroll_);
    const bool both = doc_.layout.hScrollShown && doc_.layout.vScrollShown;
    hScroll_->setGeometry(0, client.height() - thickness,
                          both ? client.width() - thickness : client.width(), thickness);
    vScroll_->setGeometry(client.width() - thickness, 0, thickness,
                          both ? client.height() - thickness : client.height());
}

void MainWindow::PlacePic(int left, int top, int width, int height) {
    pic_->setGeometry(left, top, width, height);
}

int MainWindow::MakeTrueView(DisplayBitmap& bitmap, const uint8_t* bits, int32_t width,
                             int32_t height, const TrueSizeLayout& layout, int32_t x,
                             int32_t y) const {
    if (!Allocation().createDisplayBitmap(bitmap, layout.viewWidth, layout.viewHeight)) return 4;
    if (layout.viewWidth == width && layout.viewHeight == height) {
        std::memcpy(bitmap.bits, bits, static_cast<size_t>(bitmap.info.sizeImage));
        return 0;
    }
    x = std::clamp(x, 0, std::max(0, width - layout.viewWidth));
    y = std::clamp(y, 0, std::max(0, height - layout.viewHeight));
    if (!CopyImageBlock(bitmap.bits, 0, 0, layout.viewWidth, layout.viewHeight, bits, x, y, width,
                        height)) {
        bitmap.Release();
        return 5;
    }
    return 0;
}

int MainWindow::MakeFitView(DisplayBitmap& bitmap, const uint8_t* bits, int32_t width,
                            int32_t height, const FitGeometry& fit) const {
    const int64_t sourceStride = BufferStride(width);
    if (sourceStride < 0) return 6;
    if (!Allocation().createDisplayBitmap(bitmap, fit.fitWidth, fit.fitHeight)) return 6;
    KcNearestResampling(bits, bitmap.bits, width, static_cast<int32_t>(sourceStride), height,
                        fit.fitWidth, static_cast<int32_t>(bitmap.stride()), fit.fitHeight);
    return 0;
}

void MainWindow::UpdateFitGeometry() {
    const QSize client = ClientSize();
    doc_.fit = ComputeFit(client.width(), client.height(), doc_.width, doc_.height);
    doc_.fitCaption =
        FitCaption(doc_.caption, doc_.fit.fitWidth, doc_.fit.fitHeight, doc_.fit.fitPercent);
}

void MainWindow::DropFitBitmap() {
    doc_.fitBitmap.Release();
    doc_.fitBitmapExists = false;
}

// Each view sets the Size menu's marks itself: a view may be shown again from
// an event that arrives while another command is half way (a resize during
// screen fit), and the marks must name the view on screen.
void MainWindow::ShowTrueView() {
    const TrueSizeLayout& layout = doc_.layout;
    doc_.viewMode = kTrueSize;
    paintSizeTrue_->setChecked(true);
    paintSizeScreenFit_->setChecked(false);
    SetTitle(doc_.caption.In(CurrentLanguage()));
    PlacePic(layout.viewLeft, layout.viewTop, layout.viewWidth, layout.viewHeight);
    pic_->BitBlt(0, 0, layout.viewWidth, layout.viewHeight, doc_.viewBitmap, 0, 0);
    pic_->Refresh();
    hScroll_->setVisible(layout.hScrollShown);
    vScroll_->setVisible(layout.vScrollShown);
    pic_->show();
}

void MainWindow::ShowFitView() {
    const FitGeometry& fit = doc_.fit;
    paintSizeScreenFit_->setChecked(true);
    paintSizeTrue_->setChecked(false);
    hScroll_->hide();
    vScroll_->hide();
    PlacePic(fit.fitLeft, fit.fitTop, fit.fitWidth, fit.fitHeight);
    pic_->BitBlt(0, 0, fit.fitWidth, fit.fitHeight, doc_.fitBitmap, 0, 0);
    SetTitle(doc_.fitCaption.In(CurrentLanguage()));
    doc_.viewMode = kScreenFit;
    pic_->Refresh();
    pic_->show();
}

void MainWindow::PaintSizeScreenFit_Click() {
    if (!HasImage() || paintSizeScreenFit_->isChecked()) return;
    hScroll_->setEnabled(false);
    vScroll_->setEnabled(false);
    DisableMainMenus();
    paintSizeScreenFit_->setChecked(true);
    paintSizeTrue_->setChecked(false);
    SetWindowPointer(kPointerBusy);
    QCoreApplication::processEvents();

    if (!doc_.fitBitmapExists) {
        if (MakeFitView(doc_.fitBitmap, doc_.imageBits, doc_.width, doc_.height, doc_.fit) != 0) {
            // The true-size view stays, with its menu marks and bars usable.
            doc_.fitBitmapExists = false;
            paintSizeScreenFit_->setChecked(false);
            paintSizeTrue_->setChecked(true);
            SetWindowPointer(kPointerDefault);
            ShowMessage(this, 6);
            EnableMainMenus();
            hScroll_->setEnabled(true);
            vScroll_->setEnabled(true);
            return;
        }
        doc_.fitBitmapExists = true;
    }
    ShowFitView();
    EnableMainMenus();
    hScroll_->setEnabled(doc_.layout.hScrollShown);
    vScroll_->setEnabled(doc_.layout.vScrollShown);
    SetWindowPointer(kPointerDefault);
}

void MainWindow::PaintSizeTrue_Click() {
    if (!HasImage() || paintSizeTrue_->isChecked()) return;
    pic_->hide();
    ShowTrueView();
    // The fitted view left only the bars it had hidden usable. A turn or a
    // resize made while fitted may have brought in the other bar: both come
    // back usable, or a bar would show that neither clicks nor the wheel move.
    hScroll_->setEnabled(true);
    vScroll_->setEnabled(true);
    // The bars keep their values while hidden; show the block they point at.
    RedrawView();
}

void MainWindow::RedrawView() {
    if (doc_.loadingFlag || !doc_.viewReadyFlag || !HasImage()) return;
    if (doc_.viewMode == kTrueSize) {
        doc_.trueScrollX = hScroll_->value();
        doc_.trueScrollY = vScroll_->value();
        if (!doc_.viewBitmap.made()) return;
        const TrueSizeLayout& layout = doc_.layout;
        const int32_t x = std::clamp(doc_.trueScrollX, 0, std::max(0, doc_.width - layout.viewWidth));
        const int32_t y = std::clamp(doc_.trueScrollY, 0, std::max(0, doc_.height - layout.viewHeight));
        if (!CopyImageBlock(doc_.viewBitmap.bits, 0, 0, layout.viewWidth, layout.viewHeight,
                            doc_.imageBits, x, y, doc_.width, doc_.height)) {
            return;
        }
        pic_->BitBlt(0, 0, layout.viewWidth, layout.viewHeight, doc_.viewBitmap, 0, 0);
    } else {
        if (!doc_.fitBitmapExists) return;
        pic_->BitBlt(0, 0, doc_.fit.fitWidth, doc_.fit.fitHeight, doc_.fitBitmap, 0, 0);
    }
    pic_->Refresh();
}

void MainWindow::HScroll1_Change() { RedrawView(); }
void MainWindow::Vscroll1_Change() { RedrawView(); }

// A window that can be resized gets its view laid out again for the new client
// area, keeping the scroll position where it can.
void MainWindow::RelayoutForClientSize() {
    if (!HasImage()) {
        doc_.layout = TrueSizeLayout{};
        PlaceScrollBars();
        if (startPictureShown_) {
            const QSize client = ClientSize();
            pic_->move((client.width() - pic_->width()) / 2, (client.height() - pic_->height()) / 2);
        }
        return;
    }
    if (doc_.loadingFlag || !doc_.viewReadyFlag || !doc_.viewBitmap.made()) {
        PlaceScrollBars();
        return;
    }
    const TrueSizeLayout layout = ComputeLayout(doc_.width, doc_.height);
    const int32_t x = std::min(hScroll_->value(), layout.hScrollMax);
    const int32_t y = std::min(vScroll_->value(), layout.vScrollMax);
    const QSize client = ClientSize();
    const FitGeometry fit = ComputeFit(client.width(), client.height(), doc_.width, doc_.height);
    DisplayBitmap view;
    int failure = MakeTrueView(view, doc_.imageBits, doc_.width, doc_.height, layout, x, y);
    DisplayBitmap fitted;
    const bool fitChanged = fit.fitWidth != doc_.fit.fitWidth || fit.fitHeight != doc_.fit.fitHeight;
    const bool refit = doc_.viewMode == kScreenFit && fitChanged;
    if (failure == 0 && refit) {
        failure = MakeFitView(fitted, doc_.imageBits, doc_.width, doc_.height, fit);
    }
    if (failure != 0) {
        // The previous view is still whole; keep it.
        PlaceScrollBars();
        ShowMessage(this, failure);
        return;
    }
    std::swap(doc_.viewBitmap, view);
    if (fitChanged) DropFitBitmap();
    if (refit) {
        std::swap(doc_.fitBitmap, fitted);
        doc_.fitBitmapExists = true;
    }
    doc_.fit = fit;
    doc_.fitCaption = FitCaption(doc_.caption, fit.fitWidth, fit.fitHeight, fit.fitPercent);

    doc_.viewReadyFlag = false;
    ApplyLayout(layout);
    hScroll_->setValue(x);
    vScroll_->setValue(y);
    doc_.viewReadyFlag = true;
    if (doc_.viewMode == kTrueSize) {
        ShowTrueView();
    } else {
        ShowFitView();
    }
}

// ---------------------------------------------------------------- drag scrolling

bool MainWindow::AnyScrollBarShown() const { return !hScroll_->isHidden() || !vScroll_->isHidden(); }

void MainWindow::Pic_MouseDown(Qt::MouseButton button, QPointF position) {
    const Qt::MouseButton dragButton =
        CurrentPreferences().scrollButton == 2 ? Qt::RightButton : Qt::LeftButton;
    if (button != dragButton) return;
    if (!AnyScrollBarShown() || !(hScroll_->isEnabled() || vScroll_->isEnabled())) return;
    // A busy pointer belongs to work in progress, not to a drag.
    if (picPointer_ == kPointerSizeAll) {
        SetPicPointer(kPointerDefault);
    } else if (picPointer_ == kPointerDefault) {
        SetPicPointer(kPointerSizeAll);
        doc_.dragStartX = static_cast<int32_t>(RoundHalfEven(position.x()));
        doc_.dragStartY = static_cast<int32_t>(RoundHalfEven(position.y()));
    }
}

bool MainWindow::DragAxis(QScrollBar* bar, double position, int32_t& start, int32_t extent) {
    if (bar->isHidden()) return false;
    const int64_t delta = DragDelta(position, start, extent, bar->maximum() - bar->minimum());
    if (delta == 0) return false;
    doc_.viewReadyFlag = false;
    bar->setValue(ApplyDragDelta(bar->value(), delta, bar->minimum(), bar->maximum()));
    start = static_cast<int32_t>(RoundHalfEven(position));
    return true;
}

void MainWindow::Pic_MouseMove(QPointF position) {
    if (picPointer_ != kPointerSizeAll || !AnyScrollBarShown()) return;
    const bool vertical = DragAxis(vScroll_, position.y(), doc_.dragStartY, pic_->height());
    const bool horizontal = DragAxis(hScroll_, position.x(), doc_.dragStartX, pic_->width());
    doc_.viewReadyFlag = true;
    if (vertical || horizontal) RedrawView();
}

void MainWindow::Pic_Mouseup() {
    if (AnyScrollBarShown() && picPointer_ == kPointerSizeAll) SetPicPointer(kPointerDefault);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == pic_) {
        switch (event->type()) {
            case QEvent::MouseButtonPress: {
                auto* mouse = static_cast<QMouseEvent*>(event);
                Pic_MouseDown(mouse->button(), mouse->position());
                break;
            }
            case QEvent::MouseMove:
                Pic_MouseMove(static_cast<QMouseEvent*>(event)->position());
                break;
            case QEvent::MouseButtonRelease:
                Pic_Mouseup();
                break;
            default:
                break;
        }
    } else if (watched == client_ && event->type() == QEvent::Resize) {
        RelayoutForClientSize();
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------- image commands

void MainWindow::Ruota90_Click() {
    // The Image menu is not part of the lock, but while the menus are locked
    // (a save frame waiting for its answer, screen fit half way) the image
    // belongs to that command; a turn would also give the menus back under it.
    if (!HasImage() || doc_.loadingFlag || !fileMenu_->menuAction()->isEnabled()) return;
    SetWindowPointer(kPointerBusy);
    SetPicPointer(kPointerBusy);
    DisableMainMenus();
    auto fail = [this](FIBITMAP* turned, int message) {
        if (turned) FreeImage_Unload(turned);
        SetWindowPointer(kPointerDefault);
        SetPicPointer(kPointerDefault);
        ShowMessage(this, message);
        EnableMainMenus();
    };

    // Everything the turned picture needs is made before anything of the
    // current one is given up, so a failure leaves angle, titles and view as
    // they were.
    const int32_t width = doc_.height, height = doc_.width;
    FIBITMAP* turned = Allocation().allocate24(width, height);
    if (!turned || KcRuota90Antiorario(doc_.imageBits, FreeImage_GetBits(turned), doc_.width,
                                       doc_.height) == 1) {
        fail(turned, 24);
        return;
    }
    uint8_t* bits = FreeImage_GetBits(turned);
    const TrueSizeLayout layout = ComputeLayout(width, height);
    const QSize client = ClientSize();
    const FitGeometry fit = ComputeFit(client.width(), client.height(), width, height);
    DisplayBitmap view, fitted;
    int failure = MakeTrueView(view, bits, width, height, layout, 0, 0);
    if (failure == 0 && doc_.viewMode == kScreenFit) {
        failure = MakeFitView(fitted, bits, width, height, fit);
    }
    if (failure != 0) {
        fail(turned, failure);
        return;
    }

    CopyImageMetadata(turned, doc_.image);
    FreeImage_Unload(doc_.image);
    doc_.image = turned;
    doc_.imageBits = bits;
    doc_.width = width;
    doc_.height = height;
    std::swap(doc_.viewBitmap, view);
    DropFitBitmap();
    if (doc_.viewMode == kScreenFit) {
        std::swap(doc_.fitBitmap, fitted);
        doc_.fitBitmapExists = true;
    }

    doc_.rotation = static_cast<int16_t>((doc_.rotation + 90) % 360);
    doc_.caption = RotatedCaption(doc_.baseCaption, doc_.rotation);
    doc_.fit = fit;
    doc_.fitCaption = FitCaption(doc_.caption, fit.fitWidth, fit.fitHeight, fit.fitPercent);

    doc_.viewReadyFlag = false;
    hScroll_->setValue(0);
    vScroll_->setValue(0);
    ApplyLayout(layout);
    doc_.viewReadyFlag = true;
    doc_.trueScrollX = doc_.trueScrollY = 0;
    if (doc_.viewMode == kTrueSize) {
        ShowTrueView();
    } else {
        ShowFitView();
    }
    SetWindowPointer(kPointerDefault);
    SetPicPointer(kPointerDefault);
    EnableMainMenus();
}

void MainWindow::Denoise_Click() {
    if (!HasImage() || doc_.loadingFlag || denoiseDialogOpen_) return;
    destination_ = Allocation().allocate24(doc_.width, doc_.height);
    if (!destination_) {
        ShowMessage(this, 43);
        return;
    }
    // The dialog starts from the true-size view (nothing happens when it is shown already).
    PaintSizeTrue_Click();

    denoiseDialogOpen_ = true;
    if (denoiseDialog_) denoiseDialog_(this, *this);
    denoiseDialogOpen_ = false;
    // Not handed over: the run was stopped, cancelled or never started.
    if (destination_) {
        FreeImage_Unload(destination_);
        destination_ = nullptr;
    }
}

void MainWindow::AdoptDenoised() {
    if (!destination_ || !HasImage()) return;
    CopyImageMetadata(destination_, doc_.image);
    FreeImage_Unload(doc_.image);
    doc_.image = destination_;
    destination_ = nullptr;
    doc_.imageBits = FreeImage_GetBits(doc_.image);
    DropFitBitmap();
    if (doc_.viewMode != kTrueSize) ShowTrueView();
    RedrawView();
}

void MainWindow::AppendTitleSuffix(const QString& english, const QString& italian) {
    doc_.caption.english += english;
    doc_.caption.italian += italian;
    doc_.fitCaption =
        FitCaption(doc_.caption, doc_.fit.fitWidth, doc_.fit.fitHeight, doc_.fit.fitPercent);
    SetTitle(windowTitle() + (CurrentLanguage() == kEnglish ? english : italian));
}

// ---------------------------------------------------------------- other windows

void MainWindow::FileSave_Click() {
    if (HasImage() && !doc_.loadingFlag) RunFileSave(*this);
}

void MainWindow::PrefMenu_Click() {
    ShowPreferencesDialog(this, [this](int language) {
        if (language == kEnglish) {
            ApplyEnglishCaptions();
        } else {
            ApplyItalianCaptions();
        }
        SwapCaptionLanguage();
    });
}

void MainWindow::ShowGuida_Click() {
    const QString page = CurrentLanguage() == kEnglish ? QStringLiteral("index_eng.html")
                                                       : QStringLiteral("index.html");
    Seams().openUrl(HelpFolder() + QLatin1Char('/') + page);
}

void MainWindow::ShowAbout_Click() {
    ShowAboutBox(this);
}

// ---------------------------------------------------------------- closing

void MainWindow::closeEvent(QCloseEvent* event) {
    // A load in progress or an open denoise dialog still works on the image,
    // and so does any command that shows the busy pointer while it lets
    // pending events run (screen fit, writing a file): closing under it would
    // free the image the command goes on to read.
    if (doc_.loadingFlag || denoiseDialogOpen_ || windowPointer_ == kPointerBusy) {
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
}

void MainWindow::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    ReleaseDocument();
    if (destination_) {
        FreeImage_Unload(destination_);
        destination_ = nullptr;
    }
    RemoveWheelHook(this);
    SavePreferences();
}

}  // namespace calmora
