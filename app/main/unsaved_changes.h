// The question asked before unsaved changes would be lost (closing the window,
// opening or dropping another file), in the program's language.
#pragma once

#include <QString>

#include "app/support/language.h"
#include "ui_seams.h"

namespace calmora {

// "a.png" has changes that were not saved: save, discard or cancel, in language.
[[nodiscard]] QuestionRequest UnsavedChangesQuestion(const QString& fileName, Language language);

// What the window does about unsaved changes before it goes on.
enum class ChangesSettled {
    Now,        // nothing to save, discarded, or saved already: go on at once
    Later,      // a save runs (its frame waits): the continuation goes on if it succeeds
    Cancelled,  // stay as it is
};

}  // namespace calmora
