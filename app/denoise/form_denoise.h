// FormDenoise: the modal dialog in which the user sets up, previews and
// applies the denoising of the main window's current image.
//
// The dialog builds the widgets and lays them out; its parts do the work:
// SettingsPanel (settings, enabling rule, run lock), AreaTool (image view,
// scrolling, preview rectangle), ResultPanes (panes and view buttons) and
// RunController (preview and full run). What they share is a PreviewState,
// which the dialog owns and shows read only.
//
// Everything runs on the user-interface thread. A run calls the engine once
// per row and lets pending events run before every row, which is what keeps
// the stop button and the window's close box working during long runs.
#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "app/support/language.h"
#include "area_tool.h"
#include "dialog_layout.h"
#include "preview_state.h"

class QAction;
class QComboBox;
class QFrame;
class QMenu;
class QMenuBar;
class QPushButton;
class QToolButton;

namespace calmora {

class DenoiseHost;
class PictureBox;
class ResultPanes;
class RunController;
class SettingsPanel;
class StaleNote;

class FormDenoise : public QDialog {
    Q_OBJECT
public:
    FormDenoise(QWidget* owner, DenoiseHost& host);
    ~FormDenoise() override;

    // The load sequence: texts, layout, display bitmaps, first drawing. Shows
    // the dialog. False when a display bitmap could not be made: the message
    // has been shown and the dialog is hidden again.
    bool Load();

    // Whether the last full run handed its result to the host.
    [[nodiscard]] bool HandedBack() const;

    // What the dialog shows and may do now (for the tests and the benchmark).
    [[nodiscard]] const PreviewState& State() const { return state_; }

    // Test seams: how display bitmaps are made (to simulate a lack of memory)
    // and a call made before every row of a run, before events are let through.
    void SetBitmapMakerForTest(BitmapMaker maker) { makeBitmap_ = std::move(maker); }
    void SetBeforeRowHookForTest(std::function<void(int32_t row, int32_t height)> hook);

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void BuildControls();
    void BuildParts();
    void ApplyTexts();
    void ApplyBackground(const QColor& colour);
    void ChooseBackground(QAction* chosen, QAction* other, const QColor& colour);
    [[nodiscard]] DialogWidgets Widgets() const;
    void LayoutWholeImage();
    void LayoutAreaMode();
    void FailLoad(int message);
    void ShowHelp();
    void ChannelChosen(int index);
    void UpdateStaleNote();

    DenoiseHost& host_;
    QWidget* owner_ = nullptr;
    PreviewState state_;
    Language language_ = Language::English;
    QString titleTail_;
    int32_t imageWidth_ = 0;
    int32_t imageHeight_ = 0;
    BitmapMaker makeBitmap_;

    // Controls, named as in the design.
    QMenuBar* menuBar_ = nullptr;
    QWidget* client_ = nullptr;
    QMenu* ColoreSfondo = nullptr;
    QAction* ColoreWhite = nullptr;
    QAction* ColoreGray = nullptr;
    QAction* ShowGuida = nullptr;
    QFrame* FrameDenoise = nullptr;
    QWidget* FrameColourNoise = nullptr;
    QPushButton* CmdPreview = nullptr;
    QPushButton* CmdOKDenoise = nullptr;
    QPushButton* CmdInterrompiDenoise = nullptr;
    QToolButton* CmdSelectArea = nullptr;
    QToolButton* CmdScroll = nullptr;
    QToolButton* CmdOrigImg = nullptr;
    QToolButton* CmdDenoisedImg = nullptr;
    QToolButton* CmdNoiseImg = nullptr;
    QComboBox* Combo1 = nullptr;
    PictureBox* Pic = nullptr;
    PictureBox* PicR = nullptr;
    PictureBox* PicNoise = nullptr;
    QFrame* Line1 = nullptr;
    QFrame* Shape1 = nullptr;
    QFrame* Shape2 = nullptr;

    // The parts, made after the controls and gone before them (they watch
    // some of the controls' events).
    std::unique_ptr<SettingsPanel> panel_;
    std::unique_ptr<AreaTool> area_;
    std::unique_ptr<ResultPanes> panes_;
    std::unique_ptr<RunController> runs_;
    std::unique_ptr<StaleNote> staleNote_;
};

}  // namespace calmora
