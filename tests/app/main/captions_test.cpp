#include "captions.h"

#include <gtest/gtest.h>


using namespace calmora;

namespace {

std::string S(const QString& text) { return text.toStdString(); }

TEST(Captions, LoadedImageTitle) {
    EXPECT_EQ(S(LoadingCaption(QStringLiteral("a.png"))), "Calmora   a.png");
    EXPECT_EQ(S(BaseCaption(QStringLiteral("a.png"), 640, 480)), "Calmora   a.png  (640x480)");
    EXPECT_EQ(S(BaseCaption(QStringLiteral("mare d'estate è.jpg"), 3000, 2000)),
              "Calmora   mare d'estate è.jpg  (3000x2000)");
}

TEST(Captions, FittedViewInBothLanguages) {
    const CaptionPair caption = CaptionPair::Same(BaseCaption(QStringLiteral("b.jpg"), 4000, 3000));
    const CaptionPair fit = FitCaption(caption, 933, 700, 23);
    EXPECT_EQ(S(fit.english), "Calmora   b.jpg  (4000x3000)     view size (933x700) (23%)");
    EXPECT_EQ(S(fit.italian), "Calmora   b.jpg  (4000x3000)     ridotta a  (933x700) (23%)");
}

TEST(Captions, RotationSuffixesAndTheWayBack) {
    const CaptionPair base = CaptionPair::Same(QStringLiteral("Calmora   c.png  (10x20)"));
    const CaptionPair turned = RotatedCaption(base, 90);
    EXPECT_EQ(S(turned.english), "Calmora   c.png  (10x20)  90° rotated");
    EXPECT_EQ(S(turned.italian), "Calmora   c.png  (10x20)  ruotata 90°");
    EXPECT_EQ(S(RotatedCaption(base, 270).english), "Calmora   c.png  (10x20)  270° rotated");
    EXPECT_TRUE(RotatedCaption(base, 0) == base);
    EXPECT_TRUE(RotatedCaption(base, 360) == base);
}

TEST(Captions, TitleFollowsTheLanguageSwitch) {
    const CaptionPair caption{QStringLiteral("C  90° rotated"), QStringLiteral("C  ruotata 90°")};
    const CaptionPair fit = FitCaption(caption, 10, 20, 50);
    // English -> Italian and back, for both views.
    constexpr Language kEn = Language::English, kIt = Language::Italian;
    EXPECT_EQ(SwappedTitle(caption.english, kEn, kIt, caption, fit), caption.italian);
    EXPECT_EQ(SwappedTitle(caption.italian, kIt, kEn, caption, fit), caption.english);
    EXPECT_EQ(SwappedTitle(fit.english, kEn, kIt, caption, fit), fit.italian);
    EXPECT_EQ(SwappedTitle(fit.italian, kIt, kEn, caption, fit), fit.english);
    // No image, or a title of a load that did not finish: unchanged.
    EXPECT_EQ(S(SwappedTitle(QStringLiteral("Calmora"), kEn, kIt, caption, fit)), "Calmora");
    EXPECT_EQ(S(SwappedTitle(QStringLiteral("Calmora   x.png"), kEn, kIt, caption, fit)),
              "Calmora   x.png");
    // A title in the language being left only is switched, never the other one.
    EXPECT_EQ(SwappedTitle(caption.italian, kEn, kIt, caption, fit), caption.italian);
}

}  // namespace
