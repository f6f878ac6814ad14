// The window's wording of save failures in either language.
#include "save_error_text.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "imagefiles/image_save.h"

using namespace calmora;

namespace {

TEST(SaveErrorText, SaveErrorsAreDescribedInEitherLanguage) {
    EXPECT_EQ(SaveErrorText(SaveError::WriteFailed, ENOSPC, Language::English),
              "writing failed: No space left on device");
    EXPECT_EQ(SaveErrorText(SaveError::WriteFailed, ENOSPC, Language::Italian),
              "scrittura non riuscita: spazio esaurito sul dispositivo");
    EXPECT_EQ(SaveErrorText(SaveError::CannotCreate, EACCES, Language::Italian),
              "impossibile creare un file nella sua cartella: permesso negato");
    EXPECT_EQ(SaveErrorText(SaveError::CannotReplace, 9999, Language::Italian),
              "impossibile sostituire il file: errore di sistema 9999");
    EXPECT_EQ(SaveErrorText(SaveError::IsFolder, 0, Language::Italian), "\xC3\xA8 una cartella");
    for (SaveError error : {SaveError::NoImage, SaveError::NoFileName, SaveError::BadJpegQuality,
                            SaveError::IsFolder, SaveError::CannotCreate, SaveError::WriteFailed,
                            SaveError::EncoderFailed, SaveError::CannotReplace}) {
        const std::string english = SaveErrorText(error, EIO, Language::English);
        const std::string italian = SaveErrorText(error, EIO, Language::Italian);
        EXPECT_FALSE(english.empty());
        EXPECT_FALSE(italian.empty());
        EXPECT_NE(english, italian);
    }
    // The reason given with a failed save is the English description.
    const SaveResult none = SaveImageFile(nullptr, "/tmp/x.png", SaveFormat::Png, {});
    EXPECT_EQ(none.error, SaveError::NoImage);
    EXPECT_EQ(none.reason, SaveErrorText(SaveError::NoImage, 0, Language::English));
}

TEST(SaveErrorText, NewErrorsAreDescribedInBothLanguages) {
    EXPECT_EQ(SaveErrorText(SaveError::NotRegularFile, 0, Language::Italian),
              "non \xC3\xA8 un file normale (dispositivo, FIFO o socket); non sostituito");
    EXPECT_EQ(SaveErrorText(SaveError::BrokenLink, ELOOP, Language::English),
              "broken link: Too many levels of symbolic links");
    for (const SaveError error : {SaveError::NotRegularFile, SaveError::WriteProtected,
                                  SaveError::BrokenLink, SaveError::UntrustedLink}) {
        const std::string english = SaveErrorText(error, 0, Language::English);
        const std::string italian = SaveErrorText(error, 0, Language::Italian);
        EXPECT_FALSE(english.empty());
        EXPECT_NE(english, italian);
        EXPECT_NE(english, "unknown error");
        EXPECT_NE(italian, "errore sconosciuto");
    }
}

TEST(SaveErrorText, OperationNotPermittedHasItsOwnItalianWording) {
    EXPECT_EQ(SaveErrorText(SaveError::CannotReplace, EPERM, Language::Italian),
              "impossibile sostituire il file: operazione non permessa");
    EXPECT_NE(SaveErrorText(SaveError::CannotReplace, EPERM, Language::Italian),
              SaveErrorText(SaveError::CannotReplace, EACCES, Language::Italian));
}

}  // namespace
