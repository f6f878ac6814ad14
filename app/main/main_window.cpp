#include "main_window.h"

#include "added_captions.h"
#include "app/support/language.h"
#include "qt_translation.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QScrollBar>
#include <algorithm>

#include "KcDenoise.h"
#include "app_paths.h"
#include "file_dialogs.h"
#include "form_pref.h"
#include "imagefiles/image_load.h"
#include "imagefiles/image_save.h"
#include "imagefiles/memory_budget.h"
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

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent), history_(HistoryBudget(SystemMemoryBytes())) {
    setObjectName(QStringLiteral("FormMain"));
    denoiseDialog_ = ShowDenoiseDialog;
    CreateMenus();
    ConnectAddedCommands();
    CreateClientArea();
    InstallWheel();
    InstallViewKeys();

    LoadPreferences();
    ApplyCaptions(CurrentLanguage());
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
    // Added after the original items and menus, so none of them moves.
    fileMenu_->addSeparator();
    fileRecentMenu_ = fileMenu_->addMenu(QString());
    fileRecentMenu_->setObjectName(QStringLiteral("FileRecent"));
    fileRecentMenu_->menuAction()->setObjectName(QStringLiteral("FileRecent"));
    fileQuit_ = addItem(fileMenu_, "FileQuit");
    zoomIn_ = addItem(paintSizeMenu_, "PaintSizeZoomIn");
    zoomOut_ = addItem(paintSizeMenu_, "PaintSizeZoomOut");
    editMenu_ = addMenu("EditMenu", QString());
    editUndo_ = addItem(editMenu_, "EditUndo");
    editRedo_ = addItem(editMenu_, "EditRedo");
    editRevert_ = addItem(editMenu_, "EditRevert");
    for (QAction* item : {editUndo_, editRedo_, editRevert_}) item->setEnabled(false);

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
    target.horizontalBar = [this] { return hScroll_; };
    target.zoom = [this](int notches, QPoint globalPosition) {
        const QPointF at = client_->mapFromGlobal(QPointF(globalPosition));
        SyncClientSize();
        const ClientSpot spot = view_.DeviceSpot(at.x(), at.y());
        ZoomBy(notches, &spot);
    };
    mouse_hook(this, std::move(target));
}

// ---------------------------------------------------------------- captions

void MainWindow::ApplyCaptions(Language language) {
    UseQtTranslation(language);
    auto apply = [this, language](const ControlCaption& entry) {
        const QString text = QString::fromUtf8(entry.In(language));
        const QString name = QString::fromLatin1(entry.control);
        for (QObject* control : findChildren<QObject*>(name)) SetControlCaption(control, text);
    };
    for (const ControlCaption& entry : kControlCaptions) apply(entry);
    for (const ControlCaption& entry : kAddedCaptions) apply(entry);
}

void MainWindow::ApplyEnglishCaptions() { ApplyCaptions(Language::English); }
void MainWindow::ApplyItalianCaptions() { ApplyCaptions(Language::Italian); }

void MainWindow::SwapCaptionLanguage() {
    const Language language = CurrentLanguage();
    const Language previous = OtherLanguage(language);
    // A zoomed view's title has a twin of its own.
    if (view_.Mode() == kZoomed && windowTitle() == view_.ZoomedCaption().In(previous)) {
        SetTitle(view_.ZoomedCaption().In(language));
        return;
    }
    SetTitle(SwappedTitle(windowTitle(), previous, language, view_.Caption(), view_.FittedCaption()));
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

void MainWindow::DisableMainMenus() {
    calmora::DisableMainMenus(LockedMenus());
    // Not part of the lock, but the picture belongs to the locking command.
    ruota90_->setEnabled(false);
    UpdateEditMenu();
}

void MainWindow::EnableMainMenus() {
    calmora::EnableMainMenus(LockedMenus());
    // Without an image there is nothing for the denoise dialog to work on.
    denoise_->setEnabled(HasImage());
    ruota90_->setEnabled(true);
    UpdateEditMenu();
}

void MainWindow::SetWindowPointer(int code) {
    windowPointer_ = code;
    SetCursorByCode(this, code);
}

void MainWindow::SetPicPointer(int code) {
    picPointer_ = code;
    SetCursorByCode(pic_, code);
}

// ---------------------------------------------------------------- other windows

void MainWindow::FileSave_Click() {
    if (HasImage() && !doc_.loadingFlag) RunFileSave(*this);
}

void MainWindow::PrefMenu_Click() {
    ShowPreferencesDialog(this, [this](Language language) {
        ApplyCaptions(language);
        SwapCaptionLanguage();
    });
}

void MainWindow::ShowGuida_Click() {
    const QString page = CurrentLanguage() == Language::English ? QStringLiteral("index_eng.html")
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
    // Unsaved changes go only when the user says so; a save chosen here
    // closes the window once it has written the picture, and not otherwise.
    const ChangesSettled settled = SettleChanges([this] {
        QMetaObject::invokeMethod(this, &MainWindow::close, Qt::QueuedConnection);
    });
    if (settled != ChangesSettled::Now) {
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
}

void MainWindow::FileQuit_Click() { close(); }

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
