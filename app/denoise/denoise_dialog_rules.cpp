#include "denoise_dialog_rules.h"

#include <algorithm>

namespace calmora {

FieldEdit ApplyFieldEdit(const QString& text, int caret, int minimum, int maximum) {
    FieldEdit edit;
    caret = std::clamp(caret, 0, static_cast<int>(text.size()));
    // Pasted text may bring several foreign characters at once: all go, and
    // the caret moves back by those that stood before it.
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            edit.text.append(c);
        } else if (i < caret) {
            --caret;
        }
    }
    edit.text.truncate(kFieldMaxLength);
    edit.caret = std::min(caret, static_cast<int>(edit.text.size()));
    edit.value = edit.text.isEmpty() ? 0 : edit.text.toInt();
    if (edit.value > maximum) {
        edit.value = maximum;
        edit.text = QString::number(maximum);
        edit.caret = static_cast<int>(edit.text.size());
    }
    edit.setSlider = edit.value >= minimum;
    return edit;
}

QString RadiusFieldOnLeave(const QString& text, int minimum) {
    const QString trimmed = text.trimmed();
    bool ok = false;
    const int value = trimmed.toInt(&ok);
    if (trimmed.isEmpty() || !ok || value < minimum) return QString::number(minimum);
    return text;
}

RunButtons EnablingRule(const RunSettings& settings, bool areaMode, bool selectAreaMode) {
    RunButtons buttons;
    if (!CanRun(settings)) return buttons;
    buttons.previewInvalidated = true;
    buttons.apply = true;
    buttons.preview = !(areaMode && !selectAreaMode);
    return buttons;
}

TitleSuffix DenoisedTitleSuffix(int sigma, int radius, int redPercent, int greenPercent,
                                int bluePercent) {
    const QString colours = QStringLiteral("    R:") + QString::number(redPercent) +
                            QStringLiteral("%") + QStringLiteral(", G:") +
                            QString::number(greenPercent) + QStringLiteral("%") +
                            QStringLiteral(", B:") + QString::number(bluePercent) +
                            QStringLiteral("%");
    TitleSuffix suffix;
    suffix.english = QStringLiteral("   denoised  (Intensity:") + QString::number(sigma) +
                     QStringLiteral(", Radius:") + QString::number(radius) + colours +
                     QStringLiteral(")");
    suffix.italian = QStringLiteral("   rumore ridotto  (") + QStringLiteral("Intensit\u00e0:") +
                     QString::number(sigma) + QStringLiteral(", Raggio:") +
                     QString::number(radius) + colours + QStringLiteral(")");
    return suffix;
}

TitleSuffix ColourNoiseTitleAddition(int colourStrength) {
    const QString strength = QString::number(colourStrength);
    return {QStringLiteral("  colour noise:") + strength,
            QStringLiteral("  rumore di colore:") + strength};
}

QString TitleTail(const QString& mainWindowTitle) {
    static const QString kProgram = QStringLiteral("Calmora");
    if (!mainWindowTitle.startsWith(kProgram)) return QString();
    return mainWindowTitle.mid(kProgram.size());
}

}  // namespace calmora
