#include "stale_note.h"

#include <QLabel>
#include <QWidget>

namespace calmora {

namespace {

QLabel* MakeMark(QWidget* over, const char* name) {
    auto* mark = new QLabel(over);
    mark->setObjectName(QString::fromLatin1(name));
    mark->setAlignment(Qt::AlignCenter);
    mark->setWordWrap(true);
    // Dimmed, not hidden: the old result stays readable for comparison.
    mark->setStyleSheet(QStringLiteral(
        "QLabel { background-color: rgba(255, 255, 255, 150); color: rgb(150, 0, 0);"
        " font-weight: bold; }"));
    // Presses go to the picture below (the rectangle is dragged through it).
    mark->setAttribute(Qt::WA_TransparentForMouseEvents);
    mark->hide();
    return mark;
}

}  // namespace

StaleNote::StaleNote(QWidget* denoisedPane, QWidget* noisePane, QWidget* view) {
    marks_ = {MakeMark(denoisedPane, "StaleNoteDenoised"), MakeMark(noisePane, "StaleNoteNoise"),
              MakeMark(view, "StaleNoteArea")};
}

StaleNote::~StaleNote() = default;

void StaleNote::SetText(const QString& text) {
    for (QLabel* mark : marks_) mark->setText(text);
}

void StaleNote::Show(const QRect& areaInView) {
    for (int i = 0; i < 2; ++i) {
        marks_[i]->setGeometry(marks_[i]->parentWidget()->rect());
        marks_[i]->show();
        marks_[i]->raise();
    }
    if (areaInView.isEmpty()) {
        marks_[2]->hide();
    } else {
        marks_[2]->setGeometry(areaInView);
        marks_[2]->show();
        marks_[2]->raise();
    }
    shown_ = true;
}

void StaleNote::Hide() {
    for (QLabel* mark : marks_) mark->hide();
    shown_ = false;
}

}  // namespace calmora
