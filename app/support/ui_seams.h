// Everything that would block a test (message boxes, file dialogs, opening a
// page in the browser) goes through these replaceable functions.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace calmora {

enum class MessageIcon { Critical = 16, Question = 32, Exclamation = 48, Information = 64 };

struct MessageRequest {
    QString text;
    QString title;
    MessageIcon icon = MessageIcon::Critical;
};

// A question with three answers, such as unsaved changes before closing:
// the buttons' captions in the program's language.
enum class QuestionAnswer { Save, Discard, Cancel };

struct QuestionRequest {
    QString text;
    QString title;
    QString saveCaption;
    QString discardCaption;
    QString cancelCaption;
};

struct FileDialogRequest {
    bool save = false;
    QString title;
    QString initialFolder;
    QString initialName;   // a name with wildcards only filters the listing
    QStringList filters;   // Qt name filters "Description (patterns)", in the order shown
    int filterIndex = 0;   // 0-based entry shown first
    bool overwritePrompt = false;
    QString defaultSuffix; // added to a typed name without extension
    bool fileMustExist = false;  // open: only existing files can be confirmed
    bool multiSelect = false;    // open: several files may be chosen
};

struct FileDialogResult {
    bool accepted = false;
    QString path;          // the chosen file ("/" separators); the first one when several
    int filterIndex = -1;  // 0-based entry chosen
};

struct UiSeams {
    // Shows a message and returns when the user has answered it.
    std::function<void(QWidget* parent, const MessageRequest&)> showMessage;
    // Asks and returns the answer; closing the box without one is Cancel.
    std::function<QuestionAnswer(QWidget* parent, const QuestionRequest&)> askQuestion;
    std::function<FileDialogResult(QWidget* parent, const FileDialogRequest&)> fileDialog;
    // Opens a local file or a URL with the desktop's handler; false on failure.
    std::function<bool(const QString& urlOrPath)> openUrl;
};

// The seams in use; defaults show real Qt dialogs. Tests assign their own.
UiSeams& Seams();

}  // namespace calmora
