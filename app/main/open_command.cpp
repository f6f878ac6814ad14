#include "main_window.h"

#include "command_lock.h"
#include "app/support/language.h"
#include "message_catalogue.h"
#include "message_ids.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMenu>
#include <QScrollBar>

#include "file_dialogs.h"
#include "load_message.h"
#include "imagefiles/image_load.h"
#include "picture_box.h"
#include "remembered_folder.h"
#include "system_keys.h"

namespace calmora {

namespace {

const QString kOpenFilter = QStringLiteral(
    "Image Files |*.JPG;*.JPEG;*.BMP;*.PNG;*.TIF;*.TIFF;*.GIF|"
    "JPEG Files (*.JPG;*.JPEG)|*.JPG;*.JPEG|"
    "Bitmap Files (*.BMP)|*.BMP|"
    "PNG Files (*.PNG)|*.PNG|"
    "TIF Files (*.TIF;*.TIFF)|*.TIF;*.TIFF|"
    "GIF Files (*.GIF)|*.GIF|");

}  // namespace

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
    OpenAsked(fileName);
}

void MainWindow::OpenFile(const QString& path) {
    if (doc_.loadingFlag || path.isEmpty()) return;
    OpenAsked(QFileInfo(path).absoluteFilePath());
}

void MainWindow::OpenAsked(const QString& path) {
    // The picture on screen with its unsaved changes goes only when the user
    // said so, or once it is saved.
    const ChangesSettled settled = SettleChanges([this, path] {
        if (!doc_.loadingFlag) BeginLoad(path);
    });
    if (settled == ChangesSettled::Now) BeginLoad(path);
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
    ImageProbe probe = ProbeImageFile(path);
    if (probe.error != ImageFileError::None) {
        TellRefusal(RefusalFor(name, probe, SystemMemoryBytes(), CurrentLanguage()));
        // Told why, the title names the picture still shown again, not the refused file.
        SetTitle(HasImage() ? view_.Title(CurrentLanguage()) : kProgramName);
        doc_.loadingFlag = false;
        return;
    }
    doc_.fileType = probe.format;

    BusyPointers busy(*this);
    paintSizeMenu_->menuAction()->setVisible(false);
    imageMenu_->menuAction()->setVisible(false);
    pic_->hide();
    pic_->resize(1, 1);
    pic_->Cls();
    startPictureShown_ = false;
    hScroll_->hide();
    vScroll_->hide();
    MenuLock menus(*this);
    QCoreApplication::processEvents();

    ReleaseDocument();
    SuspendSystemKeys();

    LoadedImage loaded = calmora::LoadImageFile(path);
    if (!loaded.image) {
        // The size the header gave, with the reason the whole load found.
        probe.error = loaded.error;
        FailLoad(busy, RefusalFor(name, probe, SystemMemoryBytes(), CurrentLanguage()), false);
        return;
    }
    doc_.fileType = loaded.format;
    doc_.image = loaded.image.release();
    doc_.width = static_cast<int32_t>(FreeImage_GetWidth(doc_.image));
    doc_.height = static_cast<int32_t>(FreeImage_GetHeight(doc_.image));
    doc_.imageBits = FreeImage_GetBits(doc_.image);
    ResumeSystemKeys();

    history_.Reset();
    shownFile_ = doc_.fileName;
    AddRecentFile(doc_.fileName);
    view_.SetImageSize(doc_.width, doc_.height);
    view_.SetBaseCaption(CaptionPair::Same(BaseCaption(name, doc_.width, doc_.height)));
    SetTitle(view_.Caption().In(CurrentLanguage()));

    UpdateFitGeometry();

    const TrueSizeLayout layout = ComputeLayout(doc_.width, doc_.height);
    InstallLayout(layout, 0, 0);

    const int failure =
        MakeTrueView(doc_.viewBitmap, doc_.imageBits, doc_.width, doc_.height, layout, 0, 0);
    if (failure != 0) {
        FailLoad(busy, {failure, {}}, true);
        return;
    }

    PlacePic(layout.viewLeft, layout.viewTop, layout.viewWidth, layout.viewHeight);
    pic_->BitBlt(0, 0, layout.viewWidth, layout.viewHeight, doc_.viewBitmap, 0, 0);
    pic_->Refresh();
    hScroll_->setEnabled(true);
    vScroll_->setEnabled(true);
    pic_->show();

    view_.SetMode(kTrueSize);
    ApplyMarks(view_.Marks());
    view_.SetTrueScroll(0, 0);
    doc_.loadingFlag = false;
    busy.Release();
    fileSave_->setEnabled(true);
    menus.Release();
    imageMenu_->menuAction()->setVisible(true);
    doc_.rotation = 0;
    UpdateEditMenu();
}

void MainWindow::FailLoad(BusyPointers& busy, const LoadRefusal& refusal, bool hidePaintSize) {
    if (hidePaintSize) paintSizeMenu_->menuAction()->setVisible(false);
    ResumeSystemKeys();
    busy.Release();
    // Nothing of the failed file stays behind, and nothing may act on it.
    ReleaseDocument();
    hScroll_->hide();
    vScroll_->hide();
    fileSave_->setEnabled(false);
    TellRefusal(refusal);
    doc_.loadingFlag = false;
}

void MainWindow::TellRefusal(const LoadRefusal& refusal) {
    if (refusal.text.isEmpty()) {
        ShowMessage(this, refusal.message);
    } else {
        ShowMessageText(this, refusal.text, MessageIcon::Critical);
    }
}

void MainWindow::ReleaseDocument() {
    if (doc_.image) {
        FreeImage_Unload(doc_.image);
        doc_.image = nullptr;
    }
    // Its history goes with the picture.
    history_.Reset();
    if (editUndo_) UpdateEditMenu();
    doc_.imageBits = nullptr;
    doc_.viewBitmap.Release();
    DropFitBitmap();
}

}  // namespace calmora
