// The open and save dialogs behind plain arguments: the caller gives a
// "|"-separated filter of description and pattern pairs and gets back the
// chosen path, its name, the dialog flags and the chosen filter entry. The
// dialog itself is shown through Seams().fileDialog.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

class QWidget;

namespace calmora {

// The bits of the dialogs' flags, in and out; unscoped so that they combine
// with the callers' plain int32_t flags.
enum DialogFlag : int32_t {
    OFN_READONLY = 0x1,
    OFN_OVERWRITEPROMPT = 0x2,
    OFN_HIDEREADONLY = 0x4,
    OFN_ENABLEHOOK = 0x20,
    OFN_ENABLETEMPLATE = 0x40,
    OFN_ALLOWMULTISELECT = 0x200,
    OFN_FILEMUSTEXIST = 0x1000,
};

struct FilterEntry {
    QString description;
    QString pattern;  // e.g. "*.JPG;*.JPEG"
};

// Splits a filter string into its entries. Every "|" and every ":" separates,
// so a colon inside a description starts a new part and shifts the pairing of
// the parts after it. The list ends at the first empty part; a description
// left without a pattern is dropped.
[[nodiscard]] std::vector<FilterEntry> ConvertFilter(const QString& filter);

// "Description (patterns)" for the dialog, patterns blank-separated. File
// systems here tell case apart, so each pattern is also given in lower and in
// upper case ("*.JPG" also matches "photo.jpg").
[[nodiscard]] QString QtNameFilter(const FilterEntry& entry);

// Flags handed to the dialog: the options' bits plus the caller's, without
// hook and template, which cannot apply here.
[[nodiscard]] int32_t OpenDialogFlags(bool fileMustExist, bool multiSelect, bool readOnly,
                                      bool hideReadOnly, int32_t callerFlags);
[[nodiscard]] int32_t SaveDialogFlags(bool overwritePrompt, int32_t callerFlags);

class GCommonDialog {
public:
    // Open dialog. In: fileName is the path (or name) shown first, filterIndex
    // the 1-based entry shown first, flags further OFN_ bits; owner may be null.
    // Confirmed: true; fileName = chosen path, fileTitle = its name without
    // folder, readOnly = the read-only bit of the returned flags, filter = the
    // chosen entry's pattern, filterIndex = its 1-based number, flags = the
    // dialog's flags. Cancelled: false; fileName, fileTitle and filter "",
    // flags 0, filterIndex -1.
    bool VBGetOpenFileName(QString& fileName, QString& fileTitle, bool fileMustExist,
                           bool multiSelect, bool& readOnly, bool hideReadOnly, QString& filter,
                           int32_t& filterIndex, const QString& initialFolder,
                           const QString& title, const QString& defaultExtension, QWidget* owner,
                           int32_t& flags);

    // Save dialog; as above, with the overwrite prompt as option and the
    // read-only box always hidden. Cancelled: filterIndex 0.
    bool VBGetSaveFileName(QString& fileName, QString& fileTitle, bool overwritePrompt,
                           QString& filter, int32_t& filterIndex, const QString& initialFolder,
                           const QString& title, const QString& defaultExtension, QWidget* owner,
                           int32_t& flags);

private:
    bool Run(bool save, QString& fileName, QString& fileTitle, QString& filter,
             int32_t& filterIndex, const QString& initialFolder, const QString& title,
             const QString& defaultExtension, QWidget* owner, int32_t& flags,
             int32_t dialogFlags);
};

}  // namespace calmora
