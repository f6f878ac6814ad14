#include "dialog_controls.h"

#include <QPushButton>
#include <QToolButton>

#include "result_panes.h"
#include "result_view_pictures.h"

namespace calmora {

QToolButton* MakePictureButton(QWidget* parent, const char* name, int left, int top) {
    auto* button = Named(new QToolButton(parent), name);
    button->setIconSize(QSize(28, 28));
    button->setAutoRaise(false);
    button->setGeometry(left, top, 36, 36);
    return button;
}

QPushButton* MakeButton(QWidget* parent, const char* name, int left, int top) {
    auto* button = Named(new QPushButton(parent), name);
    button->setGeometry(left, top, 72, 28);
    // No button may be pressed by Enter in a field: a run must be asked for.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

ImageStore* MakeStore(QObject* parent, const char* name, ResultView view, bool light) {
    auto* store = Named(new ImageStore(parent), name);
    store->picture = ViewButtonPicture(view, light);
    return store;
}

}  // namespace calmora
