#include "settings_panel.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

#include "denoise_dialog_rules.h"
#include "denoise_dialog_text.h"
#include "dialog_controls.h"
#include "denoise_run/setting_ranges.h"

namespace calmora {

namespace {

QScrollBar* MakeSlider(QWidget* parent, const char* name, int minimum, int maximum, int small,
                       int large, int value) {
    auto* slider = Named(new QScrollBar(Qt::Horizontal, parent), name);
    slider->setRange(minimum, maximum);
    slider->setSingleStep(small);
    slider->setPageStep(large);
    slider->setValue(value);
    return slider;
}

QLineEdit* MakeField(QWidget* parent, const char* name, int value) {
    auto* field = Named(new QLineEdit(QString::number(value), parent), name);
    field->setMaxLength(kFieldMaxLength);
    field->setAlignment(Qt::AlignRight);
    return field;
}

}  // namespace

SettingsPanel::SettingsPanel(QWidget* frame, const PreviewState& state) : state_(state) {
    LabSigma = Named(new QLabel(frame), "LabSigma");
    LabSigma->setGeometry(10, 8, 150, 20);
    TxtSigma = MakeField(frame, "TxtSigma", kNoIntensity);
    TxtSigma->setGeometry(190, 6, 52, 24);
    HScrollSigma =
        MakeSlider(frame, "HScrollSigma", kNoIntensity, kMaxIntensity, 1, 10, kNoIntensity);
    HScrollSigma->setGeometry(10, 32, 232, 18);
    // Between the intensity's label and its field, which stay where they are.
    CmdSuggest = Named(new QPushButton(frame), "CmdSuggest");
    CmdSuggest->setGeometry(72, 5, 74, 26);
    CmdSuggest->setAutoDefault(false);
    // Kept out of the Tab order, which stays the design's.
    CmdSuggest->setFocusPolicy(Qt::ClickFocus);
    LabNoise = Named(new QLabel(frame), "LabNoise");
    LabNoise->setGeometry(147, 8, 41, 20);
    LabNoise->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    connect(CmdSuggest, &QPushButton::clicked, this, [this] { Suggest(); });

    Labrw = Named(new QLabel(frame), "Labrw");
    Labrw->setGeometry(10, 56, 150, 20);
    Txtrw = MakeField(frame, "Txtrw", kDefaultRadius);
    Txtrw->setGeometry(190, 54, 52, 24);
    HScrollrw = MakeSlider(frame, "HScrollrw", kMinRadius, kMaxRadius, 1, 1, kDefaultRadius);
    HScrollrw->setGeometry(10, 80, 232, 18);

    struct ChannelRow {
        const char* label;
        const char* slider;
        const char* field;
        const char* percent;
        int top;
    };
    static constexpr ChannelRow kRows[] = {
        {"LabelRed", "HScrollRed", "TxtRed", "Label2", 108},
        {"LabelGreen", "HScrollGreen", "TxtGreen", "Label3", 134},
        {"LabelBlue", "HScrollBlue", "TxtBlue", "Label5", 160},
    };
    for (size_t i = 0; i < std::size(kRows); ++i) {
        const ChannelRow& row = kRows[i];
        channelLabels_[i] = Named(new QLabel(frame), row.label);
        channelLabels_[i]->setGeometry(10, row.top + 2, 16, 20);
        channelSliders_[i] = MakeSlider(frame, row.slider, kMinChannelPercent, kMaxChannelPercent,
                                        10, 20, kDefaultChannelPercent);
        channelSliders_[i]->setGeometry(28, row.top + 3, 150, 18);
        channelFields_[i] = MakeField(frame, row.field, kDefaultChannelPercent);
        channelFields_[i]->setGeometry(184, row.top, 44, 24);
        percentLabels_[i] = Named(new QLabel(frame), row.percent);
        percentLabels_[i]->setGeometry(231, row.top + 2, 14, 20);
    }

    const std::array<std::pair<QScrollBar*, QLineEdit*>, 5> pairs = {{
        {HScrollSigma, TxtSigma},
        {HScrollrw, Txtrw},
        {channelSliders_[0], channelFields_[0]},
        {channelSliders_[1], channelFields_[1]},
        {channelSliders_[2], channelFields_[2]},
    }};
    for (const auto& [slider, field] : pairs) Couple(slider, field);
    Txtrw->installEventFilter(this);
}

void SettingsPanel::Couple(QScrollBar* slider, QLineEdit* field) {
    connect(slider, &QScrollBar::valueChanged, this,
            [this, slider, field](int v) { SliderMoved(slider, field, v); });
    connect(field, &QLineEdit::textEdited, this,
            [this, slider, field] { FieldEdited(field, slider); });
}

void SettingsPanel::AddColourNoiseRow(QWidget* row) {
    ChkColourNoise = Named(new QCheckBox(row), "ChkColourNoise");
    ChkColourNoise->setGeometry(0, 2, 134, 22);
    HScrollColour = MakeSlider(row, "HScrollColour", kMinColourStrength, kMaxColourStrength, 1,
                               10, kDefaultColourStrength);
    HScrollColour->setGeometry(136, 4, 66, 18);
    TxtColour = MakeField(row, "TxtColour", kDefaultColourStrength);
    TxtColour->setGeometry(208, 1, 44, 24);
    HScrollColour->setEnabled(false);
    TxtColour->setEnabled(false);
    connect(ChkColourNoise, &QCheckBox::toggled, this, [this](bool on) { ColourNoiseSwitched(on); });
    Couple(HScrollColour, TxtColour);
}

SettingsPanel::~SettingsPanel() = default;

void SettingsPanel::SetLockedControls(const LockedControls& c) {
    preview_ = c.preview;
    apply_ = c.apply;
    // In the order the lock disables them: a focused control that loses its
    // enabling hands the focus on along this list.
    using R = LockRole;
    lockList_ = {
        {Txtrw, nullptr, R::Setting},
        {HScrollrw, nullptr, R::Setting},
        {c.selectArea, nullptr, R::Setting},
        {c.scroll, nullptr, R::Setting},
        {TxtSigma, nullptr, R::Setting},
        {HScrollSigma, nullptr, R::Setting},
        {CmdSuggest, nullptr, R::Setting},
        {nullptr, c.help, R::Other},
        {c.preview, nullptr, R::RunButton},
        {c.apply, nullptr, R::RunButton},
        {c.views[0], nullptr, R::View},
        {c.views[1], nullptr, R::View},
        {c.views[2], nullptr, R::View},
    };
    for (size_t i = 0; i < channelFields_.size(); ++i) {
        lockList_.push_back({channelFields_[i], nullptr, R::Other});
        lockList_.push_back({channelSliders_[i], nullptr, R::Other});
    }
    // A colour setting as the channel strengths are: back after a complete
    // preview or a stopped full run.
    if (ChkColourNoise) {
        lockList_.push_back({ChkColourNoise, nullptr, R::Other});
        lockList_.push_back({TxtColour, nullptr, R::ColourStrength});
        lockList_.push_back({HScrollColour, nullptr, R::ColourStrength});
    }
}

void SettingsPanel::ResetSettings() {
    settings_ = RunSettings{};
    emit settingsChanged(settings_);
}

std::array<int, 3> SettingsPanel::ChannelPercents() const {
    return {channelSliders_[0]->value(), channelSliders_[1]->value(), channelSliders_[2]->value()};
}

void SettingsPanel::ApplyTexts(const FormDenoiseTexts& t) {
    LabSigma->setText(t.intensity);
    Labrw->setText(t.radius);
    CmdSuggest->setText(t.suggest);
    CmdSuggest->setToolTip(t.suggestTip);
    noiseShort_ = t.noiseShort;
    noiseTip_ = t.noiseEstimateTip;
    noNoiseTip_ = t.noNoiseTip;
    if (ChkColourNoise) {
        ChkColourNoise->setText(t.colourNoise);
        ChkColourNoise->setToolTip(t.colourNoiseTip);
        HScrollColour->setToolTip(t.colourStrengthTip);
        TxtColour->setToolTip(t.colourStrengthTip);
    }
    const QString letters[] = {QStringLiteral("R"), QStringLiteral("G"), QStringLiteral("B")};
    for (size_t i = 0; i < channelLabels_.size(); ++i) {
        channelLabels_[i]->setText(letters[i]);
        percentLabels_[i]->setText(QStringLiteral("%"));
    }
}

void SettingsPanel::PaintBackground(const QColor& colour) {
    std::vector<QWidget*> labels = {LabSigma, LabNoise, Labrw};
    if (ChkColourNoise) labels.push_back(ChkColourNoise);
    labels.insert(labels.end(), channelLabels_.begin(), channelLabels_.end());
    labels.insert(labels.end(), percentLabels_.begin(), percentLabels_.end());
    for (QWidget* label : labels) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::Window, colour);
        label->setPalette(palette);
    }
}

void SettingsPanel::Suggest() {
    if (!noiseSource_) return;
    const NoiseEstimate estimate = noiseSource_();
    if (estimate.samples == 0) {
        LabNoise->clear();
        LabNoise->setToolTip(QString());
        CmdSuggest->setToolTip(noNoiseTip_);
        return;
    }
    const auto level = [](double sigma) { return QString::number(sigma, 'f', 1); };
    LabNoise->setText(noiseShort_.arg(level(estimate.Mean())));
    LabNoise->setToolTip(
        noiseTip_.arg(level(estimate.red), level(estimate.green), level(estimate.blue)));
    HScrollSigma->setValue(SuggestedIntensity(estimate, settings_.radius));
}

void SettingsPanel::SliderMoved(QScrollBar* slider, QLineEdit* field, int value) {
    bool ruleApplies = true;  // the radius plays no part in whether a run can go
    if (slider == HScrollSigma) {
        settings_.sigma = static_cast<int16_t>(value);
    } else if (slider == HScrollrw) {
        settings_.radius = static_cast<int16_t>(value);
        ruleApplies = false;
    } else if (slider == HScrollColour) {
        settings_.colourStrength = static_cast<int16_t>(value);
    } else {
        float* const factors[] = {&settings_.red, &settings_.green, &settings_.blue};
        for (size_t i = 0; i < channelSliders_.size(); ++i)
            if (slider == channelSliders_[i]) *factors[i] = FactorFromPercent(value);
    }
    emit settingsChanged(settings_);
    const QString text = QString::number(value);
    if (field->text() != text) field->setText(text);
    if (ruleApplies) ApplyEnablingRule();
}

void SettingsPanel::FieldEdited(QLineEdit* field, QScrollBar* slider) {
    const FieldEdit edit = ApplyFieldEdit(field->text(), field->cursorPosition(),
                                          slider->minimum(), slider->maximum());
    if (edit.text != field->text()) {
        field->setText(edit.text);
        field->setCursorPosition(edit.caret);
    }
    // When the slider moves, its handler writes the plain decimal back.
    if (edit.setSlider) slider->setValue(edit.value);
}

void SettingsPanel::RadiusFieldLeft() {
    const QString text = RadiusFieldOnLeave(Txtrw->text(), HScrollrw->minimum());
    if (text != Txtrw->text()) {
        Txtrw->setText(text);
        HScrollrw->setValue(text.toInt());
        // The slider may already stand at the minimum: the radius follows the text.
        settings_.radius = static_cast<int16_t>(HScrollrw->value());
        emit settingsChanged(settings_);
    }
}

void SettingsPanel::ColourNoiseSwitched(bool on) {
    settings_.colourNoise = on;
    // The strength means something only while the mode is on.
    HScrollColour->setEnabled(on);
    TxtColour->setEnabled(on);
    emit settingsChanged(settings_);
    ApplyEnablingRule();
}

bool SettingsPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Txtrw && event->type() == QEvent::FocusOut) {
        // Only when the focus goes to another control: opening a menu or
        // switching to another window must not fill in a field being retyped.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
            RadiusFieldLeft();
    }
    return QObject::eventFilter(watched, event);
}

void SettingsPanel::ApplyEnablingRule() {
    const RunButtons buttons = EnablingRule(settings_, state_.areaMode, state_.selectionMode == 1);
    if (buttons.previewInvalidated) emit previewInvalidated();
    if (!preview_ || !apply_) return;
    // During a run the buttons are locked; their states take effect at the unlock.
    if (locked_) {
        Find(preview_)->saved = buttons.preview;
        Find(apply_)->saved = buttons.apply;
        return;
    }
    apply_->setEnabled(buttons.apply);
    preview_->setEnabled(buttons.preview);
}

void SettingsPanel::SelectionModeChanged() {
    if (!preview_) return;
    if (state_.selectionMode == 0)
        preview_->setEnabled(false);
    else if (CanRun(settings_))
        preview_->setEnabled(true);
}

void SettingsPanel::SetEnabled(const Lockable& control, bool enabled) {
    if (control.widget) control.widget->setEnabled(enabled);
    if (control.action) control.action->setEnabled(enabled);
}

SettingsPanel::Lockable* SettingsPanel::Find(const QWidget* widget) {
    for (Lockable& control : lockList_)
        if (control.widget == widget) return &control;
    return nullptr;
}

void SettingsPanel::Lock() {
    for (Lockable& control : lockList_) {
        if (control.role == LockRole::RunButton || control.role == LockRole::View)
            control.saved = control.widget->isEnabled();
        SetEnabled(control, false);
    }
    locked_ = true;
}

bool SettingsPanel::Unlocked(const Lockable& control) const {
    switch (control.role) {
        case LockRole::RunButton:
        case LockRole::View: return control.saved;
        case LockRole::ColourStrength: return ChkColourNoise && ChkColourNoise->isChecked();
        default: return true;
    }
}

void SettingsPanel::Unlock() {
    for (const Lockable& control : lockList_) SetEnabled(control, Unlocked(control));
    locked_ = false;
}

void SettingsPanel::UnlockAfterStoppedPreview() {
    for (const Lockable& control : lockList_)
        if (control.role == LockRole::Setting || control.role == LockRole::RunButton)
            SetEnabled(control, true);
    // The next lock must not save the stopped run's disabled states as theirs.
    locked_ = false;
}

}  // namespace calmora
