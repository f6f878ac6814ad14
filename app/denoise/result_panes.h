// The denoise dialog's results: the two panes (denoised area, removed noise)
// and the three view buttons that put the original, denoised or noise picture
// of the preview area into the image view, in the channel on show.
#pragma once

#include <QObject>
#include <QPixmap>
#include <array>

#include "preview_state.h"

class QAbstractButton;
class QColor;

namespace calmora {

class PictureBox;

// A picture kept for a button, never shown itself (ImgOrig_scura, ...).
class ImageStore : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    QPixmap picture;
};

struct ResultPaneControls {
    PictureBox* denoisedPane = nullptr;  // PicR
    PictureBox* noisePane = nullptr;     // PicNoise
    PictureBox* view = nullptr;          // Pic, where the view buttons show their picture
    std::array<QAbstractButton*, 3> viewButtons{};  // original, denoised, noise
    // Dark and light picture of each view button, by ResultView.
    std::array<ImageStore*, 3> dark{}, light{};
};

class ResultPanes : public QObject {
    Q_OBJECT
public:
    // Writes state's selected view.
    ResultPanes(const ResultPaneControls& controls, PreviewState& state);
    ~ResultPanes() override;

    void SetBackground(const QColor& colour);
    void Clear();
    void SetViewButtonsEnabled(bool enabled);
    // Marks selected as the view on show (its button light, the others dark).
    void SetSelectedView(ResultView selected);

    // Shows buffer row `row` of the preview in both panes; channel > 0 takes
    // the grey pictures of that channel.
    void ShowRow(int32_t row, int16_t channel);
    // Draws both panes again in channel (0 colour).
    void RedrawInChannel(int channel);

signals:
    // Both panes were cleared: they show no preview any more.
    void cleared();

private:
    void ShowView(ResultView view);
    void PutIntoView(const DisplayBitmap& bitmap);

    ResultPaneControls c_;
    PreviewState& state_;
};

}  // namespace calmora
