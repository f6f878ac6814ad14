// Long commands of the main window lock its menu bar entries for their
// duration; the entries are the menus' actions (QMenu::menuAction() for a
// menu, the action itself for a command placed on the bar).
#pragma once

#include <QList>

class QAction;

namespace calmora {

// Sets Enabled false (respectively true) on each entry, in the order given;
// the items inside the menus keep their own state. Null entries are skipped.
void DisableMainMenus(const QList<QAction*>& entries);
void EnableMainMenus(const QList<QAction*>& entries);

}  // namespace calmora
