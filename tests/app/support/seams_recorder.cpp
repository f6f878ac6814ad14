#include "seams_recorder.h"

namespace calmora::testing {

SeamsRecorder::SeamsRecorder() : saved_(Seams()) {
    Seams().showMessage = [this](QWidget* parent, const MessageRequest& request) {
        messages.append({parent, request});
    };
    Seams().askQuestion = [this](QWidget*, const QuestionRequest& request) {
        questions.append(request);
        return nextAnswer;
    };
    Seams().fileDialog = [this](QWidget*, const FileDialogRequest& request) {
        fileRequests.append(request);
        return nextFileResult;
    };
    Seams().openUrl = [this](const QString& url) {
        openedUrls.append(url);
        return openUrlSucceeds;
    };
}

SeamsRecorder::~SeamsRecorder() { Seams() = saved_; }

}  // namespace calmora::testing
