// The settings part of the denoise dialog: intensity, radius and the three
// channel strengths, each a slider with its field, and the colour-noise mode
// (a check box and the colour strength's slider and field, on a row of their
// own); the rule that says when the run buttons may be pressed; and the lock
// that holds every control still while a run works.
#pragma once

#include <QObject>
#include <QString>
#include <array>
#include <functional>
#include <vector>

#include "preview_state.h"
#include "denoise_run/noise_estimate.h"

class QAbstractButton;
class QAction;
class QCheckBox;
class QColor;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;
class QWidget;

namespace calmora {

struct FormDenoiseTexts;

// Controls built elsewhere in the dialog that a run locks together with the panel's.
struct LockedControls {
    QAction* help = nullptr;
    QAbstractButton* selectArea = nullptr;
    QAbstractButton* scroll = nullptr;
    QPushButton* preview = nullptr;
    QPushButton* apply = nullptr;
    std::array<QAbstractButton*, 3> views{};  // original, denoised, noise
};

// The colour-noise row's size.
constexpr int kColourRowWidth = 252;
constexpr int kColourRowHeight = 26;

class SettingsPanel : public QObject {
    Q_OBJECT
public:
    // Builds the sliders, fields and their labels inside frame, at the design
    // values. state is read for the enabling rule (layout and mode).
    SettingsPanel(QWidget* frame, const PreviewState& state);

    // Builds the colour-noise controls inside row (kColourRowWidth x
    // kColourRowHeight): the mode off, the strength at its default. Called
    // after the dialog's other controls, so that Tab reaches them last.
    void AddColourNoiseRow(QWidget* row);
    ~SettingsPanel() override;

    // Where the suggest button gets the image's noise from (measured once,
    // when first asked for). Until set, the button does nothing.
    void SetNoiseSource(std::function<NoiseEstimate()> source) { noiseSource_ = std::move(source); }
    // The suggest button: the intensity from the noise at the current radius,
    // through the slider (so the field and the enabling rule follow), and the
    // estimate shown beside it. Nothing changes when no noise was measured.
    void Suggest();

    // Declares the lock's control list; until then Lock() holds the panel only.
    void SetLockedControls(const LockedControls& controls);

    // Back to the design settings (the sliders of a fresh panel stand there).
    void ResetSettings();
    [[nodiscard]] const RunSettings& Settings() const { return settings_; }
    [[nodiscard]] std::array<int, 3> ChannelPercents() const;  // red, green, blue

    void ApplyTexts(const FormDenoiseTexts& texts);
    void PaintBackground(const QColor& colour);

    // The view's mode changed: a preview needs select-area mode in area layout.
    void SelectionModeChanged();

    // The run lock. Unlock gives back what Lock took: the run and view buttons
    // their states from before (or from the enabling rule while locked), the
    // rest enabled. After a stopped preview only the settings and the run
    // buttons come back; the strengths, the views and help wait for a
    // complete preview.
    void Lock();
    void Unlock();
    void UnlockAfterStoppedPreview();

signals:
    void settingsChanged(const RunSettings& settings);
    // The settings no longer match the last preview.
    void previewInvalidated();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // How a control takes part in the lock.
    enum class LockRole {
        Setting,    // disabled while locked, enabled after a stopped preview too
        RunButton,  // keeps its state through the lock; enabled after a stopped preview
        View,       // keeps its state through the lock
        Other,      // disabled while locked
        ColourStrength,  // as Other, and enabled only while the colour-noise mode is on
    };
    struct Lockable {
        QWidget* widget = nullptr;
        QAction* action = nullptr;
        LockRole role = LockRole::Other;
        bool saved = false;  // its state before the lock
    };

    void Couple(QScrollBar* slider, QLineEdit* field);
    void SliderMoved(QScrollBar* slider, QLineEdit* field, int value);
    void FieldEdited(QLineEdit* field, QScrollBar* slider);
    void RadiusFieldLeft();
    void ColourNoiseSwitched(bool on);
    [[nodiscard]] bool Unlocked(const Lockable& control) const;
    void ApplyEnablingRule();
    static void SetEnabled(const Lockable& control, bool enabled);
    [[nodiscard]] Lockable* Find(const QWidget* widget);

    const PreviewState& state_;
    RunSettings settings_;
    bool locked_ = false;
    std::vector<Lockable> lockList_;
    QPushButton* preview_ = nullptr;
    QPushButton* apply_ = nullptr;

    std::function<NoiseEstimate()> noiseSource_;
    QString noiseShort_, noiseTip_, noNoiseTip_;

    QLabel* LabSigma = nullptr;
    QPushButton* CmdSuggest = nullptr;
    QLabel* LabNoise = nullptr;
    QScrollBar* HScrollSigma = nullptr;
    QLineEdit* TxtSigma = nullptr;
    QLabel* Labrw = nullptr;
    QScrollBar* HScrollrw = nullptr;
    QLineEdit* Txtrw = nullptr;
    std::array<QLabel*, 3> channelLabels_{};   // LabelRed, LabelGreen, LabelBlue
    std::array<QScrollBar*, 3> channelSliders_{};  // HScrollRed, ...
    std::array<QLineEdit*, 3> channelFields_{};    // TxtRed, ...
    std::array<QLabel*, 3> percentLabels_{};   // Label2, Label3, Label5
    QCheckBox* ChkColourNoise = nullptr;
    QScrollBar* HScrollColour = nullptr;
    QLineEdit* TxtColour = nullptr;
};

}  // namespace calmora
