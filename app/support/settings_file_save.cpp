#include "settings_file_save.h"

#include <QFile>

#include <string>

#include "imagefiles/contents_save.h"

namespace calmora {

bool SaveSettingsFile(const QString& path, const QByteArray& contents) {
    if (path.isEmpty()) return false;
    const QByteArray name = QFile::encodeName(path);
    return SaveFileContents(std::string(name.constData(), static_cast<size_t>(name.size())),
                            std::string(contents.constData(), static_cast<size_t>(contents.size())))
        .ok;
}

}  // namespace calmora
