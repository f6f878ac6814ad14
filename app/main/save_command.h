// FileSave: asks for a name, picks the format from its extension, asks for
// the JPEG quality or the TIFF compression in a frame on the main window, and
// writes the full-size image. While a frame waits for its answer the main
// menus and the scroll bars are locked.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

#include "command_lock.h"

#include "file_dialogs.h"
#include "imagefiles/image_save.h"
#include "ui_seams.h"

class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QScrollBar;

namespace calmora {

class MainWindow;

// The File menu's "save". done, when given, hears once whether the picture
// was written: at once for PNG and BMP, when the frame is answered for JPEG and
// TIFF, false at once when the save does not start (one is under way already,
// the dialog was cancelled, the name refused).
void RunFileSave(MainWindow& window, std::function<void(bool saved)> done = {});

class SaveCommand : public QObject {
    Q_OBJECT
public:
    // The window's save command: made on first use (the frames with it) and
    // kept as long as the window, so the quality and the folder persist.
    static SaveCommand& Of(MainWindow& window);
    explicit SaveCommand(MainWindow& window);
    // Goes with the window, whose menus may be gone by then.
    ~SaveCommand() override;

    void FileSave_Click(std::function<void(bool saved)> done = {});

    void HScrolljpgQual_Change();
    void OkjpgQual_Click();
    void AnnullajpgQual_Click();

    void UncompressedTIFFOpt_Click();
    void LZWopt_Click();
    void OkTif_Click();
    void AnnullaTif_Click();

    // True while a frame waits for its answer.
    [[nodiscard]] bool FrameOpen() const;
    [[nodiscard]] const QString& SaveName() const { return saveName_; }
    [[nodiscard]] const QString& SaveFolder() const { return saveFolder_; }
    [[nodiscard]] bool TiffLzw() const { return tiffLzw_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildJpegFrame();
    void BuildTiffFrame();
    void OpenFrame(QGroupBox* frame, QWidget* focus);
    void PlaceFrame(QGroupBox* frame);
    // The menus and the scroll bars, from the name's acceptance to the end.
    void LockWindow();
    void UnlockWindow();
    // Writes the document's image.
    [[nodiscard]] SaveResult WriteImage(SaveFormat format, const SaveOptions& options);
    // Says why a write failed; nothing when it did not.
    void ReportFailure(const SaveResult& result);
    void ShowText(const QString& text, MessageIcon icon);
    // The end of a save that started: the window hears of a written picture,
    // then whoever asked for the save.
    void Finish(bool saved);
    // A frame's Cancel: nothing written, the window given back.
    void CancelFrame(QGroupBox* frame);
    // After a write: why it failed if it did, the window given back, the end.
    void EndWrite(const SaveResult& result);

    MainWindow& window_;
    GCommonDialog dialog_;
    QString saveName_;
    QString saveFolder_;
    bool tiffLzw_ = false;
    bool writing_ = false;
    std::optional<MenuLock> lock_;
    std::function<void(bool saved)> done_;

    QGroupBox* frameJPGQuality_ = nullptr;
    QScrollBar* hScrolljpgQual_ = nullptr;
    QLabel* labjpgQual_ = nullptr;
    QPushButton* okjpgQual_ = nullptr;
    QPushButton* annullajpgQual_ = nullptr;

    QGroupBox* frameTIFF_ = nullptr;
    QRadioButton* uncompressedTIFFOpt_ = nullptr;
    QRadioButton* lzwOpt_ = nullptr;
    QPushButton* okTif_ = nullptr;
    QPushButton* annullaTif_ = nullptr;
};

}  // namespace calmora
