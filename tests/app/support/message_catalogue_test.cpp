#include "message_catalogue.h"

#include <gtest/gtest.h>

#include <QSet>
#include <QWidget>

#include "preferences.h"
#include "seams_recorder.h"

namespace calmora {
namespace {

struct TextCase {
    int number;
    const char* english;
    const char* italian;
};

class MessageTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(MessageTextTest, HoldsTheExactTexts) {
    const TextCase& c = GetParam();
    EXPECT_EQ(MessageText(c.number, Language::English), QString::fromUtf8(c.english)) << c.number;
    EXPECT_EQ(MessageText(c.number, Language::Italian), QString::fromUtf8(c.italian)) << c.number;
}

INSTANTIATE_TEST_SUITE_P(
    Catalogue, MessageTextTest,
    ::testing::Values(
        TextCase{1, "Unknown image format.", "Formato immagine sconosciuto."},
        TextCase{7, "Width and Height cannot be over 20.000 value.",
                 "Larghezza ed altezza non possono essere superiori a 20.000."},
        TextCase{14, "Decimal numbers must be inserted using ",
                 "I numeri decimali devo essere inseriti usando "},
        TextCase{20, "Crop value cannot be negative.",
                 "Il valore di taglio non pu\xC3\xB2 essere negativo."},
        TextCase{21, "Crop values sum must be : ", "La somma dei valori di taglio deve essere : "},
        TextCase{42, "Insufficient memory for POut CreaDIB.",
                 "Memoria insufficiente per CreaDIB POut."},
        TextCase{43, "Insufficient memory for dib Denoise.",
                 "Memoria insufficiente per creazione dib Denoise."}),
    [](const auto& info) { return "No" + std::to_string(info.param.number); });

TEST(MessageCatalogue, EveryEntryIsFilledAndDistinct) {
    for (Language language : {Language::English, Language::Italian}) {
        QSet<QString> seen;
        for (int n = 1; n <= kMessageCount; ++n) {
            const QString text = MessageText(n, language);
            EXPECT_FALSE(text.isEmpty()) << n << " " << int(language);
            EXPECT_FALSE(seen.contains(text)) << n << " " << int(language);
            seen.insert(text);
        }
    }
}

TEST(MessageCatalogue, OutOfRangeGivesNothing) {
    EXPECT_TRUE(MessageText(0, Language::English).isEmpty());
    EXPECT_TRUE(MessageText(44, Language::Italian).isEmpty());
    EXPECT_TRUE(MessageText(1, static_cast<Language>(0)).isEmpty());
    EXPECT_TRUE(MessageText(1, static_cast<Language>(3)).isEmpty());
}

TEST(ShowMessage, CurrentLanguageCriticalIconAndProgramTitle) {
    testing::SeamsRecorder seams;
    QWidget owner;
    CurrentPreferences().language = Language::Italian;
    ShowMessage(&owner, 1);
    CurrentPreferences().language = Language::English;
    ShowMessage(nullptr, 14);
    CurrentPreferences() = {};
    ASSERT_EQ(seams.messages.size(), 2);
    EXPECT_EQ(seams.messages[0].parent, &owner);
    EXPECT_EQ(seams.messages[0].request.text, "Formato immagine sconosciuto.");
    EXPECT_EQ(seams.messages[0].request.title, "Calmora");
    EXPECT_EQ(seams.messages[0].request.icon, MessageIcon::Critical);
    EXPECT_EQ(seams.messages[1].request.text, "Decimal numbers must be inserted using ");
}

TEST(ShowMessage, UnknownNumberShowsNothing) {
    testing::SeamsRecorder seams;
    ShowMessage(nullptr, 0);
    ShowMessage(nullptr, 44);
    EXPECT_TRUE(seams.messages.isEmpty());
}

}  // namespace
}  // namespace calmora
