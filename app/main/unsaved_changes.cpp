#include "unsaved_changes.h"

#include <memory>

#include "captions.h"
#include "command_lock.h"
#include "app/support/language.h"
#include "main_window.h"
#include "save_command.h"

namespace calmora {

namespace {

// The question and its three buttons, English then Italian.
constexpr const char* kQuestionTexts[2][4] = {
    {"The changes to %1 have not been saved.\nSave them before going on?", "Save", "Discard",
     "Cancel"},
    {"Le modifiche a %1 non sono state salvate.\nSalvarle prima di continuare?", "Salva",
     "Non salvare", "Annulla"},
};

}  // namespace

QuestionRequest UnsavedChangesQuestion(const QString& fileName, Language language) {
    const char* const* texts = kQuestionTexts[language == Language::Italian ? 1 : 0];
    QuestionRequest request;
    request.title = kProgramName;
    request.text = QString::fromUtf8(texts[0]).arg(fileName);
    request.saveCaption = QString::fromUtf8(texts[1]);
    request.discardCaption = QString::fromUtf8(texts[2]);
    request.cancelCaption = QString::fromUtf8(texts[3]);
    return request;
}

ChangesSettled MainWindow::SettleChanges(std::function<void()> proceed) {
    if (!HasUnsavedChanges()) return ChangesSettled::Now;
    const QString name = shownFile_.mid(shownFile_.lastIndexOf(QLatin1Char('/')) + 1);
    switch (Seams().askQuestion(this, UnsavedChangesQuestion(name, CurrentLanguage()))) {
        case QuestionAnswer::Discard: return ChangesSettled::Now;
        case QuestionAnswer::Cancel: return ChangesSettled::Cancelled;
        case QuestionAnswer::Save: break;
    }
    // PNG and BMP are written before RunFileSave returns, JPEG and TIFF when
    // their frame is answered; a save refused, cancelled or failed goes
    // nowhere, so the picture and its changes stay.
    struct Progress {
        bool running = true;
        bool savedAtOnce = false;
    };
    auto progress = std::make_shared<Progress>();
    RunFileSave(*this, [progress, proceed = std::move(proceed)](bool saved) {
        if (!saved) return;
        if (progress->running) {
            progress->savedAtOnce = true;
        } else if (proceed) {
            proceed();
        }
    });
    progress->running = false;
    return progress->savedAtOnce ? ChangesSettled::Now : ChangesSettled::Later;
}

}  // namespace calmora
