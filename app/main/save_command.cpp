#include "save_command.h"

#include "command_lock.h"
#include "app/support/language.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

#include "imagefiles/orientation.h"
#include "main_window.h"
#include "picture_box.h"
#include "preferences.h"
#include "remembered_folder.h"
#include "save_error_text.h"
#include "save_rules.h"
#include "app/support/message_catalogue.h"
#include "ui_seams.h"

namespace calmora {

namespace {

const QString kCommandName = QStringLiteral("SaveCommand");

}  // namespace

void RunFileSave(MainWindow& window, std::function<void(bool saved)> done) {
    SaveCommand::Of(window).FileSave_Click(std::move(done));
}

SaveCommand& SaveCommand::Of(MainWindow& window) {
    if (auto* command = window.findChild<SaveCommand*>(kCommandName, Qt::FindDirectChildrenOnly))
        return *command;
    return *new SaveCommand(window);
}

SaveCommand::SaveCommand(MainWindow& window) : QObject(&window), window_(window) {
    setObjectName(kCommandName);
    saveFolder_ = ReadRememberedFolder(QString::fromLatin1(kSaveFolderFile));
    BuildJpegFrame();
    BuildTiffFrame();
    window_.ClientArea()->installEventFilter(this);
}

SaveCommand::~SaveCommand() {
    if (lock_) lock_->Abandon();
}

bool SaveCommand::FrameOpen() const {
    const QWidget* client = window_.ClientArea();
    return frameJPGQuality_->isVisibleTo(client) || frameTIFF_->isVisibleTo(client);
}

void SaveCommand::FileSave_Click(std::function<void(bool saved)> done) {
    // The frame already asks about an earlier name; one save at a time.
    if (FrameOpen() || writing_ || !window_.HasImage()) {
        if (done) done(false);
        return;
    }
    done_ = std::move(done);

    saveName_ = kSaveStartName;
    QString fileTitle;
    QString filter = SaveDialogFilter();
    int32_t filterIndex = 1;
    int32_t flags = 0;
    if (!dialog_.VBGetSaveFileName(saveName_, fileTitle, true, filter, filterIndex, saveFolder_,
                                   QString(), kSaveDefaultExtension, &window_, flags)) {
        Finish(false);
        return;
    }

    // The next dialog opens where this one ended, even if the name is refused.
    const QString folder = FolderOfPath(saveName_);
    if (!folder.isEmpty()) saveFolder_ = folder;

    const SaveNameCheck check = CheckSaveName(saveName_);
    if (check.verdict == SaveNameVerdict::NoExtension) {
        Finish(false);
        return;
    }
    if (check.verdict == SaveNameVerdict::InvalidName) {
        ShowText(InvalidFileNameText(saveName_), MessageIcon::Exclamation);
        Finish(false);
        return;
    }

    LockWindow();
    WriteRememberedFolder(QString::fromLatin1(kSaveFolderFile), saveFolder_);

    if (check.verdict == SaveNameVerdict::UnknownFormat) {
        ShowText(UnknownSaveFormatText(saveName_, CurrentLanguage()),
                 MessageIcon::Exclamation);
        UnlockWindow();
        Finish(false);
        return;
    }
    switch (*check.format) {
        case SaveFormat::Jpeg:
            OpenFrame(frameJPGQuality_, okjpgQual_);
            break;
        case SaveFormat::Tiff:
            // Every opening starts from "Uncompressed", whatever was chosen last time.
            uncompressedTIFFOpt_->setChecked(true);
            lzwOpt_->setChecked(false);
            tiffLzw_ = false;
            OpenFrame(frameTIFF_, okTif_);
            break;
        case SaveFormat::Png:
        case SaveFormat::Bmp: {
            SaveResult result;
            {
                const BusyPointers busy(window_);
                result = WriteImage(*check.format, SaveOptions{});
            }
            EndWrite(result);
            break;
        }
    }
}

void SaveCommand::HScrolljpgQual_Change() {
    labjpgQual_->setText(JpegQualityCaption(hScrolljpgQual_->value()));
}

void SaveCommand::OkjpgQual_Click() {
    if (writing_) return;
    SaveResult result;
    {
        const BusyPointers busy(window_);
        okjpgQual_->setEnabled(false);
        // The frame's Cancel stays shown but must not end the command under the write.
        writing_ = true;
        QCoreApplication::processEvents();
        SaveOptions options;
        options.jpegQuality = hScrolljpgQual_->value();
        result = WriteImage(SaveFormat::Jpeg, options);
        frameJPGQuality_->hide();
        okjpgQual_->setEnabled(true);
    }
    EndWrite(result);
}

void SaveCommand::AnnullajpgQual_Click() { CancelFrame(frameJPGQuality_); }

void SaveCommand::UncompressedTIFFOpt_Click() {
    uncompressedTIFFOpt_->setChecked(true);
    lzwOpt_->setChecked(false);
    tiffLzw_ = false;
}

void SaveCommand::LZWopt_Click() {
    lzwOpt_->setChecked(true);
    uncompressedTIFFOpt_->setChecked(false);
    tiffLzw_ = true;
}

void SaveCommand::OkTif_Click() {
    if (writing_) return;
    frameTIFF_->hide();
    SaveResult result;
    {
        const BusyPointers busy(window_);
        SaveOptions options;
        options.tiffLzw = tiffLzw_;
        result = WriteImage(SaveFormat::Tiff, options);
    }
    EndWrite(result);
}

void SaveCommand::AnnullaTif_Click() { CancelFrame(frameTIFF_); }

void SaveCommand::CancelFrame(QGroupBox* frame) {
    // Cancel stays shown during a write, but must not end the command under it.
    if (writing_) return;
    frame->hide();
    UnlockWindow();
    Finish(false);
}

void SaveCommand::EndWrite(const SaveResult& result) {
    ReportFailure(result);
    UnlockWindow();
    Finish(result.ok);
}

void SaveCommand::LockWindow() { lock_.emplace(window_, true); }

void SaveCommand::UnlockWindow() { lock_.reset(); }

SaveResult SaveCommand::WriteImage(SaveFormat format, const SaveOptions& options) {
    writing_ = true;
    // The document's own bitmap: full size whatever the view shows. Once the
    // user has turned it, its pixels are upright as they stand.
    const ImageDocument& document = window_.Document();
    SaveResult result;
    {
        const exif::UprightWhileAlive upright(document.image, document.rotation != 0);
        result = SaveImageFile(document.image, saveName_.toStdString(), format, options);
    }
    writing_ = false;
    return result;
}

void SaveCommand::ReportFailure(const SaveResult& result) {
    if (result.ok) return;
    // The reason in the interface's language, not the batch tool's English.
    const Language language = CurrentLanguage();
    const QString reason =
        QString::fromStdString(SaveErrorText(result.error, result.systemError, language));
    ShowText(SaveFailedText(saveName_, reason, language), MessageIcon::Critical);
}

void SaveCommand::Finish(bool saved) {
    if (saved) window_.MarkSaved();
    // Taken out first: the continuation may start another save or close the window.
    std::function<void(bool)> done = std::move(done_);
    done_ = nullptr;
    if (done) done(saved);
}

void SaveCommand::ShowText(const QString& text, MessageIcon icon) {
    ShowMessageText(&window_, text, icon);
}

}  // namespace calmora
