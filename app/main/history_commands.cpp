#include "main_window.h"

#include "command_lock.h"
#include "app/support/language.h"
#include "message_catalogue.h"

#include <QMenu>
#include <QScrollBar>

namespace calmora {

// ---------------------------------------------------------------- history

HistoryState MainWindow::TakeCurrentState() {
    HistoryState state;
    state.image.reset(doc_.image);
    doc_.image = nullptr;
    doc_.imageBits = nullptr;
    state.rotation = doc_.rotation;
    state.caption = view_.Caption();
    state.id = history_.CurrentId();
    return state;
}

void MainWindow::RecordStep(FIBITMAP* before, int16_t rotation, const CaptionPair& caption) {
    HistoryState state;
    state.image.reset(before);
    state.rotation = rotation;
    state.caption = caption;
    state.id = history_.CurrentId();
    history_.Record(std::move(state), history_.NextId());
    UpdateEditMenu();
}

bool MainWindow::CommandsLocked() const {
    // A save frame waiting or screen fit half way holds the menus; the picture
    // belongs to that command until it ends.
    return doc_.loadingFlag || denoiseDialogOpen_ || !fileMenu_->menuAction()->isEnabled();
}

void MainWindow::UpdateEditMenu() {
    const bool usable = HasImage() && !CommandsLocked();
    editUndo_->setEnabled(usable && history_.CanUndo());
    editRedo_->setEnabled(usable && history_.CanRedo());
    editRevert_->setEnabled(usable && history_.CanRevert());
}

void MainWindow::EditUndo_Click() { GoToState(history_.UndoTarget(), &History::Undo); }
void MainWindow::EditRedo_Click() { GoToState(history_.RedoTarget(), &History::Redo); }
void MainWindow::EditRevert_Click() { GoToState(history_.RevertTarget(), &History::Revert); }

void MainWindow::GoToState(const HistoryState* target,
                           std::optional<HistoryState> (History::*move)(HistoryState&)) {
    if (!target || !HasImage() || CommandsLocked()) return;
    // A zoomed view goes back to true size on the same spot first; the state
    // brought in is then shown like a turned picture.
    if (view_.Mode() == kZoomed) LeaveZoom();
    BusyPointers busy(*this);
    const MenuLock menus(*this);

    // As with a turn, the views of the state to show are made before anything
    // of the current one moves, so a failure leaves everything as it was.
    FIBITMAP* image = target->image.get();
    // A denoise undone keeps the spot in view; a different size starts at the corner.
    const bool sameSize = static_cast<int32_t>(FreeImage_GetWidth(image)) == doc_.width &&
                          static_cast<int32_t>(FreeImage_GetHeight(image)) == doc_.height;
    ReplacementViews views;
    const int failure = MakeReplacementViews(views, image, sameSize ? hScroll_->value() : 0,
                                             sameSize ? vScroll_->value() : 0);
    if (failure != 0) {
        busy.Release();
        ShowMessage(this, failure);
        return;
    }

    HistoryState current = TakeCurrentState();
    std::optional<HistoryState> next = (history_.*move)(current);
    doc_.rotation = next->rotation;
    ShowReplacement(next->image.release(), views, next->caption);
}

}  // namespace calmora
