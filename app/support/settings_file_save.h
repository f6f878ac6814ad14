// Writing one of the program's small settings files ("Pref", the remembered
// folders) by the rules image saves follow: written aside and renamed into
// place, so an interrupted write never leaves half a file, and never in
// place of a device, FIFO, socket or folder that stands (or a link leads)
// where the settings file should be.
#pragma once

#include <QByteArray>
#include <QString>

namespace calmora {

// False when the file could not be written or may not be replaced; the
// previous file, or whatever stands in its place, is then left as it was.
bool SaveSettingsFile(const QString& path, const QByteArray& contents);

}  // namespace calmora
