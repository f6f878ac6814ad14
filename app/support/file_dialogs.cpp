#include "file_dialogs.h"

#include <QFileInfo>

#include "ui_seams.h"

namespace calmora {

std::vector<FilterEntry> ConvertFilter(const QString& filter) {
    QStringList parts;
    QString part;
    for (const QChar c : filter) {
        if (c == QLatin1Char('|') || c == QLatin1Char(':')) {
            parts.append(part);
            part.clear();
        } else {
            part.append(c);
        }
    }
    parts.append(part);
    std::vector<FilterEntry> entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty() || parts[i + 1].isEmpty()) break;
        entries.push_back({parts[i], parts[i + 1]});
    }
    return entries;
}

QString QtNameFilter(const FilterEntry& entry) {
    QStringList patterns;
    const auto add = [&patterns](const QString& p) {
        if (!patterns.contains(p)) patterns.append(p);
    };
    for (const QString& p : entry.pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString trimmed = p.trimmed();
        if (trimmed.isEmpty()) continue;
        add(trimmed);
        add(trimmed.toLower());
        add(trimmed.toUpper());
    }
    return entry.description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
           QLatin1Char(')');
}

int32_t OpenDialogFlags(bool fileMustExist, bool multiSelect, bool readOnly, bool hideReadOnly,
                        int32_t callerFlags) {
    int32_t flags = callerFlags & ~(OFN_ENABLEHOOK | OFN_ENABLETEMPLATE);
    if (fileMustExist) flags |= OFN_FILEMUSTEXIST;
    if (multiSelect) flags |= OFN_ALLOWMULTISELECT;
    if (readOnly) flags |= OFN_READONLY;
    if (hideReadOnly) flags |= OFN_HIDEREADONLY;
    return flags;
}

int32_t SaveDialogFlags(bool overwritePrompt, int32_t callerFlags) {
    int32_t flags = (callerFlags & ~(OFN_ENABLEHOOK | OFN_ENABLETEMPLATE)) | OFN_HIDEREADONLY;
    if (overwritePrompt) flags |= OFN_OVERWRITEPROMPT;
    return flags;
}

bool GCommonDialog::VBGetOpenFileName(QString& fileName, QString& fileTitle, bool fileMustExist,
                                      bool multiSelect, bool& readOnly, bool hideReadOnly,
                                      QString& filter, int32_t& filterIndex,
                                      const QString& initialFolder, const QString& title,
                                      const QString& defaultExtension, QWidget* owner,
                                      int32_t& flags) {
    const int32_t dialogFlags =
        OpenDialogFlags(fileMustExist, multiSelect, readOnly, hideReadOnly, flags);
    const bool ok = Run(false, fileName, fileTitle, filter, filterIndex, initialFolder, title,
                        defaultExtension, owner, flags, dialogFlags);
    if (ok) readOnly = (flags & OFN_READONLY) != 0;
    return ok;
}

bool GCommonDialog::VBGetSaveFileName(QString& fileName, QString& fileTitle, bool overwritePrompt,
                                      QString& filter, int32_t& filterIndex,
                                      const QString& initialFolder, const QString& title,
                                      const QString& defaultExtension, QWidget* owner,
                                      int32_t& flags) {
    const int32_t dialogFlags = SaveDialogFlags(overwritePrompt, flags);
    return Run(true, fileName, fileTitle, filter, filterIndex, initialFolder, title,
               defaultExtension, owner, flags, dialogFlags);
}

bool GCommonDialog::Run(bool save, QString& fileName, QString& fileTitle, QString& filter,
                        int32_t& filterIndex, const QString& initialFolder, const QString& title,
                        const QString& defaultExtension, QWidget* owner, int32_t& flags,
                        int32_t dialogFlags) {
    const std::vector<FilterEntry> entries = ConvertFilter(filter);

    FileDialogRequest request;
    request.save = save;
    request.title = title;
    request.initialFolder = initialFolder;
    request.initialName = fileName;
    // A start name with a folder opens that folder, as a full path always has.
    const qsizetype slash = fileName.lastIndexOf(QLatin1Char('/'));
    if (slash >= 0) {
        const QString folder = slash == 0 ? QStringLiteral("/") : fileName.left(slash);
        if (QFileInfo(folder).isDir()) request.initialFolder = folder;
        request.initialName = fileName.mid(slash + 1);
    }
    for (const FilterEntry& entry : entries) request.filters.append(QtNameFilter(entry));
    const int32_t shown = filterIndex >= 1 && size_t(filterIndex) <= entries.size() ? filterIndex : 1;
    request.filterIndex = int(shown - 1);
    request.overwritePrompt = (dialogFlags & OFN_OVERWRITEPROMPT) != 0;
    request.defaultSuffix = defaultExtension;
    request.fileMustExist = (dialogFlags & OFN_FILEMUSTEXIST) != 0;
    request.multiSelect = (dialogFlags & OFN_ALLOWMULTISELECT) != 0;

    const FileDialogResult result = Seams().fileDialog(owner, request);
    if (!result.accepted || result.path.isEmpty()) {
        fileName.clear();
        fileTitle.clear();
        filter.clear();
        flags = 0;
        filterIndex = save ? 0 : -1;
        return false;
    }
    fileName = result.path;
    fileTitle = QFileInfo(result.path).fileName();
    flags = dialogFlags;
    const bool known = result.filterIndex >= 0 && size_t(result.filterIndex) < entries.size();
    filterIndex = known ? result.filterIndex + 1 : shown;
    filter = size_t(filterIndex) <= entries.size() && filterIndex >= 1
                 ? entries[size_t(filterIndex - 1)].pattern
                 : QString();
    return true;
}

}  // namespace calmora
