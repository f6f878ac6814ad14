// How a name chosen in the save dialog becomes a file format, and the texts
// the save command shows. No widgets: the command and the tests share these.
#pragma once

#include <QString>
#include <optional>

#include "app/support/language.h"
#include "imagefiles/image_save.h"

namespace calmora {

enum class SaveNameVerdict {
    NoExtension,    // no dot in the name: nothing is saved, nothing said
    InvalidName,    // more than one dot in the name: refused with a message
    UnknownFormat,  // an extension no writer exists for: refused with a message
    Writable,       // format holds the format to write
};

struct SaveNameCheck {
    SaveNameVerdict verdict = SaveNameVerdict::NoExtension;
    QString extension;  // lower case, after the dot; empty without one
    std::optional<SaveFormat> format;
};

// Looks only at the last path component (after the last '/'): its first dot
// starts the extension, a second dot anywhere after it makes the name invalid.
// The extension is compared in lower case; jpg, jpeg, png, tif, tiff and bmp
// can be written.
[[nodiscard]] SaveNameCheck CheckSaveName(const QString& saveName);

// The folder part of a full path (before its last '/', without it); "/" for
// a file in the root; empty when the path names no folder.
[[nodiscard]] QString FolderOfPath(const QString& path);

// The save dialog's type list, as the file-dialog wrapper takes it.
[[nodiscard]] QString SaveDialogFilter();
inline const QString kSaveStartName = QStringLiteral("*.JPG");
inline const QString kSaveDefaultExtension = QStringLiteral("JPG");

// The quality label under the slider: "90 %".
[[nodiscard]] QString JpegQualityCaption(int quality);

// Message texts in either language.
[[nodiscard]] QString InvalidFileNameText(const QString& saveName);
[[nodiscard]] QString UnknownSaveFormatText(const QString& saveName, Language language);
[[nodiscard]] QString SaveFailedText(const QString& saveName, const QString& reason,
                                     Language language);

// The quality slider's range and steps; 90 when the program starts.
constexpr int kJpegQualityMin = 1;
constexpr int kJpegQualityMax = 100;
constexpr int kJpegQualityStart = 90;
constexpr int kJpegQualitySmallStep = 1;
constexpr int kJpegQualityLargeStep = 10;

}  // namespace calmora
