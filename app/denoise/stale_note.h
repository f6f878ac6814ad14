// The mark on a preview whose settings have changed since it was computed:
// the two result panes and the preview area in the image view are dimmed
// under a short note until the next preview (or until the settings are back
// where the preview had them). The marks are widgets laid over the pictures,
// so the pictures themselves stay as they were.
#pragma once

#include <QObject>
#include <QRect>
#include <QString>
#include <array>

class QLabel;
class QWidget;

namespace calmora {

class StaleNote : public QObject {
    Q_OBJECT
public:
    // Marks lie over the two panes and over an area of view.
    StaleNote(QWidget* denoisedPane, QWidget* noisePane, QWidget* view);
    ~StaleNote() override;

    void SetText(const QString& text);
    // areaInView: the preview area in view's coordinates; empty leaves the view unmarked.
    void Show(const QRect& areaInView);
    void Hide();
    [[nodiscard]] bool Shown() const { return shown_; }

private:
    std::array<QLabel*, 3> marks_{};  // over the denoised pane, the noise pane, the view's area
    bool shown_ = false;
};

}  // namespace calmora
