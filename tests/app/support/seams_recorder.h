// Replaces the UI seams for the lifetime of one object: message boxes and
// opened URLs are recorded instead of shown, and file dialogs answer with a
// scripted result. The previous seams come back on destruction.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "imagefiles/no_copy.h"
#include "ui_seams.h"

namespace calmora::testing {

class SeamsRecorder : NoCopy {
public:
    SeamsRecorder();
    ~SeamsRecorder();

    struct Message {
        QWidget* parent;
        MessageRequest request;
    };
    QList<Message> messages;
    QList<QuestionRequest> questions;
    QList<FileDialogRequest> fileRequests;
    QStringList openedUrls;

    // What the next file dialogs answer (default: cancelled).
    FileDialogResult nextFileResult;
    bool openUrlSucceeds = true;
    // What three-answer questions are answered (default: discard, as a
    // window closed without a question did).
    QuestionAnswer nextAnswer = QuestionAnswer::Discard;

private:
    UiSeams saved_;
};

}  // namespace calmora::testing
