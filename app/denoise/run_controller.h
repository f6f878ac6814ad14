// The denoise dialog's runs: the preview of the area and the full run of the
// image, both one engine call per row with pending events let through before
// every row, so that Stop, the close box and Escape are heard. A completed
// full run hands its result to the host and closes the dialog.
#pragma once

#include <QObject>
#include <array>
#include <functional>

#include "preview_state.h"

class QComboBox;
class QDialog;
class QFrame;
class QPushButton;

namespace calmora {

class AreaTool;
class DenoiseHost;
class ResultPanes;
class SettingsPanel;

struct RunControls {
    QPushButton* preview = nullptr;  // CmdPreview
    QPushButton* apply = nullptr;    // CmdOKDenoise
    QPushButton* stop = nullptr;     // CmdInterrompiDenoise
    QFrame* progressBar = nullptr;   // Shape1
    QFrame* progressFrame = nullptr;  // Shape2
    QComboBox* channels = nullptr;   // Combo1, read before every preview row
};

// The parts a run locks, fills and draws into.
struct RunParts {
    SettingsPanel& panel;
    ResultPanes& panes;
    AreaTool& area;
};

class RunController : public QObject {
    Q_OBJECT
public:
    // Writes state's run fields (run active, preview valid).
    RunController(QDialog& dialog, DenoiseHost& host, PreviewState& state, RunParts parts,
                  const RunControls& controls);
    ~RunController() override;

    // A fresh dialog: no run, no stop or close asked for.
    void Reset(const uint8_t* imageBits, int32_t imageWidth, int32_t imageHeight);

    void Preview();
    void Apply();
    void Stop() { stopFlag_ = true; }
    // The close box or Escape: false when no run is active (the dialog may
    // close now); otherwise the run ends at its next row and closes the dialog.
    [[nodiscard]] bool RequestClose();

    [[nodiscard]] bool HandedBack() const { return handedBack_; }

    // Called before every row of a run, before events are let through.
    void SetBeforeRowHook(std::function<void(int32_t row, int32_t height)> hook) {
        beforeRowHook_ = std::move(hook);
    }

signals:
    // The host holds the result now: the old image's bits are gone.
    void imageHandedBack();
    // A preview completed: the panes show it, computed with state's settings.
    void previewShown();

private:
    bool BeforeRow(int32_t row, int32_t height);
    void SetProgressVisible(bool visible);

    QDialog& dialog_;
    DenoiseHost& host_;
    PreviewState& state_;
    RunParts parts_;
    RunControls c_;
    const uint8_t* imageBits_ = nullptr;
    int32_t imageWidth_ = 0, imageHeight_ = 0;

    bool stopFlag_ = false;
    bool closeRequest_ = false;
    bool previewStarted_ = false;  // some preview ran in this dialog
    bool handedBack_ = false;
    int progressFullWidth_ = 0;
    bool progressShown_ = false;
    std::function<void(int32_t, int32_t)> beforeRowHook_;
};

}  // namespace calmora
