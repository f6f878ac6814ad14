#include "unsaved_changes.h"

#include <memory>

#include "captions.h"
#include "command_lock.h"
#include "app/support/language.h"
#include "main_window.h"
#include "save_command.h"

namespace calmora {

QuestionRequest UnsavedChangesQuestion(const QString& fileName, Language language) {
    QuestionRequest request;
    request.title = kProgramName;
    if (language != Language::Italian) {
        request.text = QStringLiteral("The changes to %1 have not been saved.\n"
                                      "Save them before going on?")
                           .arg(fileName);
        request.saveCaption = QStringLiteral("Save");
        request.discardCaption = QStringLiteral("Discard");
        request.cancelCaption = QStringLiteral("Cancel");
    } else {
        request.text = QStringLiteral("Le modifiche a %1 non sono state salvate.\n"
                                      "Salvarle prima di continuare?")
                           .arg(fileName);
        request.saveCaption = QStringLiteral("Salva");
        request.discardCaption = QStringLiteral("Non salvare");
        request.cancelCaption = QStringLiteral("Annulla");
    }
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
