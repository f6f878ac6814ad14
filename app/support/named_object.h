// Gives a new widget (or any QObject) its objectName as it is made, so that
// a form's construction reads as the list of its named controls and tests can
// find each by name.
#pragma once

#include <QString>

namespace calmora {

template <typename T>
T* Named(T* object, const char* name) {
    object->setObjectName(QString::fromLatin1(name));
    return object;
}

}  // namespace calmora
