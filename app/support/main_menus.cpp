#include "main_menus.h"

#include <QAction>

namespace calmora {
namespace {

void SetEnabled(const QList<QAction*>& entries, bool enabled) {
    for (QAction* entry : entries) {
        if (entry) entry->setEnabled(enabled);
    }
}

}  // namespace

void DisableMainMenus(const QList<QAction*>& entries) { SetEnabled(entries, false); }
void EnableMainMenus(const QList<QAction*>& entries) { SetEnabled(entries, true); }

}  // namespace calmora
