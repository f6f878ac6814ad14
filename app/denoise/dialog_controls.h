// How the denoise dialog makes its controls: each named (the design's names
// are their objectNames), the buttons at their design sizes.
#pragma once

#include <QString>

#include "preview_state.h"

class QObject;
class QPushButton;
class QToolButton;
class QWidget;

namespace calmora {

class ImageStore;

template <typename T>
T* Named(T* object, const char* name) {
    object->setObjectName(QString::fromLatin1(name));
    return object;
}

// A 36 x 36 picture button at left, top of parent.
[[nodiscard]] QToolButton* MakePictureButton(QWidget* parent, const char* name, int left, int top);

// A 72 x 28 push button at left, top of parent, never pressed by Enter.
[[nodiscard]] QPushButton* MakeButton(QWidget* parent, const char* name, int left, int top);

// A store holding the light or dark picture of a view button.
[[nodiscard]] ImageStore* MakeStore(QObject* parent, const char* name, ResultView view, bool light);

}  // namespace calmora
