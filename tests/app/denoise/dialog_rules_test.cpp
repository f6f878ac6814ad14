// The dialog's widget-free rules: field filter, enabling rule, title texts.
#include <gtest/gtest.h>

#include "denoise_dialog_rules.h"

namespace calmora {
namespace {

TEST(DialogFieldEdit, TypingKeepsOnlyDigits) {
    struct Case {
        const char* desc;
        const char* text;
        int caret, minimum, maximum;
        const char* wantText;
        int wantCaret, wantValue;
        bool wantSlider;
    };
    const Case cases[] = {
        {"digit typed", "15", 2, 0, 200, "15", 2, 15, true},
        {"letter typed after 1", "1a", 2, 0, 200, "1", 1, 1, true},
        {"letter typed in the middle", "1a5", 2, 0, 200, "15", 1, 15, true},
        {"above the maximum", "250", 3, 0, 200, "200", 3, 200, true},
        {"colour above 100", "101", 3, 0, 100, "100", 3, 100, true},
        {"emptied counts as 0", "", 0, 0, 200, "", 0, 0, true},
        {"radius below its minimum", "1", 1, 2, 12, "1", 1, 1, false},
        {"radius emptied", "", 0, 2, 12, "", 0, 0, false},
        {"leading zeros", "0099", 4, 0, 100, "0099", 4, 99, true},
        {"pasted with several foreign characters", "a1-b2", 5, 0, 200, "12", 2, 12, true},
        {"minus sign", "-5", 2, 0, 200, "5", 1, 5, true},
        {"blank", " 7", 2, 0, 200, "7", 1, 7, true},
        {"caret before the bad character", "12x", 1, 0, 200, "12", 1, 12, true},
    };
    for (const Case& c : cases) {
        const FieldEdit e =
            ApplyFieldEdit(QString::fromLatin1(c.text), c.caret, c.minimum, c.maximum);
        EXPECT_EQ(e.text, QString::fromLatin1(c.wantText)) << c.desc;
        EXPECT_EQ(e.caret, c.wantCaret) << c.desc;
        EXPECT_EQ(e.value, c.wantValue) << c.desc;
        EXPECT_EQ(e.setSlider, c.wantSlider) << c.desc;
    }
}

TEST(DialogFieldEdit, NonLatinDigitsAreNotDigits) {
    const FieldEdit e = ApplyFieldEdit(QString::fromUtf8("1\u0663"), 2, 0, 200);  // Arabic three
    EXPECT_EQ(e.text, QStringLiteral("1"));
    EXPECT_EQ(e.value, 1);
}

TEST(DialogRadiusField, LeavingItEmptyOrTooSmallGivesTwo) {
    EXPECT_EQ(RadiusFieldOnLeave(QString(), 2), QStringLiteral("2"));
    EXPECT_EQ(RadiusFieldOnLeave(QStringLiteral("  "), 2), QStringLiteral("2"));
    EXPECT_EQ(RadiusFieldOnLeave(QStringLiteral("1"), 2), QStringLiteral("2"));
    EXPECT_EQ(RadiusFieldOnLeave(QStringLiteral("0"), 2), QStringLiteral("2"));
    EXPECT_EQ(RadiusFieldOnLeave(QStringLiteral("2"), 2), QStringLiteral("2"));
    EXPECT_EQ(RadiusFieldOnLeave(QStringLiteral("12"), 2), QStringLiteral("12"));
}

TEST(DialogEnablingRule, RunsNeedIntensityChannelAndSelection) {
    struct Case {
        const char* desc;
        int16_t sigma;
        float red, green, blue;
        bool area, select;
        bool apply, preview, invalidated;
    };
    const Case cases[] = {
        {"sigma 0", 0, 1, 1, 1, false, false, false, false, false},
        {"all channels off", 10, 0, 0, 0, false, false, false, false, false},
        {"one channel on", 10, 0, 0, 0.1f, false, false, true, true, true},
        {"whole-image mode", 1, 1, 1, 1, false, false, true, true, true},
        {"area mode, scrolling", 10, 1, 1, 1, true, false, true, false, true},
        {"area mode, area selected", 10, 1, 1, 1, true, true, true, true, true},
    };
    for (const Case& c : cases) {
        RunSettings s;
        s.sigma = c.sigma;
        s.red = c.red;
        s.green = c.green;
        s.blue = c.blue;
        const RunButtons b = EnablingRule(s, c.area, c.select);
        EXPECT_EQ(b.apply, c.apply) << c.desc;
        EXPECT_EQ(b.preview, c.preview) << c.desc;
        EXPECT_EQ(b.previewInvalidated, c.invalidated) << c.desc;
    }
}

TEST(DialogTitleSuffix, BothLanguagesExactly) {
    const TitleSuffix s = DenoisedTitleSuffix(15, 3, 100, 70, 0);
    EXPECT_EQ(s.english,
              QStringLiteral("   denoised  (Intensity:15, Radius:3    R:100%, G:70%, B:0%)"));
    EXPECT_EQ(s.italian, QString::fromUtf8(
                             "   rumore ridotto  (Intensit\xc3\xa0:15, Raggio:3    R:100%, G:70%, "
                             "B:0%)"));
}

TEST(DialogTitleSuffix, TheColourNoiseModeFollowsInBothLanguages) {
    const TitleSuffix s = ColourNoiseTitleAddition(25);
    EXPECT_EQ(s.english, QStringLiteral("  colour noise:25"));
    EXPECT_EQ(s.italian, QStringLiteral("  rumore di colore:25"));
    EXPECT_EQ(ColourNoiseTitleAddition(0).english, QStringLiteral("  colour noise:0"));
}

TEST(DialogTitleTail, WhatFollowsTheProgramName) {
    EXPECT_EQ(TitleTail(QStringLiteral("Calmora   a.png  (640x480)")),
              QStringLiteral("   a.png  (640x480)"));
    EXPECT_EQ(TitleTail(QStringLiteral("Calmora")), QString());
    EXPECT_EQ(TitleTail(QStringLiteral("Something else")), QString());
}

}  // namespace
}  // namespace calmora
