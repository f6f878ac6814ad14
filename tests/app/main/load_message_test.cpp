// What the window says about a file it could not load: the catalogue's
// message for each kind of failure, and for a picture refused for its size,
// its size and the limit it is over, in either language.
#include "load_message.h"

#include <gtest/gtest.h>

#include "case_name.h"

namespace calmora {
namespace {

TEST(LoadMessage, EachLoadFailureHasItsMessage) {
    EXPECT_EQ(CatalogueMessageFor(ImageFileError::None), 0);
    EXPECT_EQ(CatalogueMessageFor(ImageFileError::NotEnoughMemory), 2);
    EXPECT_EQ(CatalogueMessageFor(ImageFileError::UnknownFormat), 1);
    EXPECT_EQ(CatalogueMessageFor(ImageFileError::Truncated), 2);
    EXPECT_EQ(CatalogueMessageFor(ImageFileError::TooLarge), 2);
    EXPECT_EQ(CatalogueMessageFor(ImageFileError::ConversionFailed), 3);
}

constexpr uint64_t kGB = 1000 * 1000 * 1000;

struct RefusalCase {
    const char* desc;
    ImageFileError error;
    int64_t width, height;
    unsigned bitsPerPixel;
    uint64_t memoryBytes;
    Language language;
    const char* text;  // UTF-8
};

class RefusalText : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(RefusalText, Says) {
    const RefusalCase& c = GetParam();
    ImageProbe probe;
    probe.error = c.error;
    probe.width = c.width;
    probe.height = c.height;
    probe.bitsPerPixel = c.bitsPerPixel;
    const std::optional<QString> text =
        SizeRefusalText(QStringLiteral("p.png"), probe, c.memoryBytes, c.language);
    ASSERT_TRUE(text.has_value()) << c.desc;
    EXPECT_EQ(text->toStdString(), c.text) << c.desc;
    // The window shows the text, not the catalogue's message.
    EXPECT_EQ(RefusalFor(QStringLiteral("p.png"), probe, c.memoryBytes, c.language).text, *text)
        << c.desc;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusalText,
    ::testing::Values(
        RefusalCase{"over the side limit", ImageFileError::TooLarge, 100000, 100000, 24, 0,
                    Language::English,
                    "p.png is 100000 x 100000 pixels (10000 megapixels): Calmora opens pictures "
                    "of up to 200 megapixels and 65535 pixels on a side."},
        RefusalCase{"over the side limit, Italian", ImageFileError::TooLarge, 100000, 100000, 24, 0,
                    Language::Italian,
                    "p.png misura 100000 x 100000 pixel (10000 megapixel): Calmora apre immagini "
                    "fino a 200 megapixel e 65535 pixel per lato."},
        RefusalCase{"a thin strip has its tenth", ImageFileError::TooLarge, 70000, 10, 24, 0,
                    Language::Italian,
                    "p.png misura 70000 x 10 pixel (0,7 megapixel): Calmora apre immagini fino "
                    "a 200 megapixel e 65535 pixel per lato."},
        RefusalCase{"a header with no size", ImageFileError::TooLarge, 0, 0, 24, 0,
                    Language::English,
                    "p.png: Calmora opens pictures of up to 200 megapixels and 65535 pixels on a "
                    "side."},
        RefusalCase{"more than the memory", ImageFileError::NotEnoughMemory, 20000, 15000, 24,
                    1 * kGB, Language::English,
                    "p.png is 20000 x 15000 pixels (300 megapixels): loading it takes at least "
                    "1.8 GB of memory, more than the 1.0 GB this computer can give."},
        RefusalCase{"more than the memory, Italian", ImageFileError::NotEnoughMemory, 20000, 15000,
                    24, 1 * kGB, Language::Italian,
                    "p.png misura 20000 x 15000 pixel (300 megapixel): per caricarla servono "
                    "almeno 1,8 GB di memoria, ma questo computer ne pu\xC3\xB2 dare 1,0 GB."},
        // 48-bit samples decode to twice the 24-bit picture, which comes on top.
        RefusalCase{"a 16-bit picture needs more", ImageFileError::NotEnoughMemory, 8000, 6000, 48,
                    400 * 1000 * 1000, Language::English,
                    "p.png is 8000 x 6000 pixels (48 megapixels): loading it takes at least 432 "
                    "MB of memory, more than the 400 MB this computer can give."},
        RefusalCase{"within the estimate yet refused", ImageFileError::NotEnoughMemory, 4000, 3000,
                    24, 8 * kGB, Language::English,
                    "p.png is 4000 x 3000 pixels (12 megapixels): there is not enough free "
                    "memory to load it (this computer can give 8.0 GB)."},
        RefusalCase{"memory not known, Italian", ImageFileError::NotEnoughMemory, 4000, 3000, 24, 0,
                    Language::Italian,
                    "p.png misura 4000 x 3000 pixel (12 megapixel): non c'\xC3\xA8 abbastanza "
                    "memoria libera per caricarla."}),
    calmora_test::NameFromDesc());

TEST(SizeRefusal, OtherFailuresKeepTheCatalogueMessage) {
    for (const ImageFileError error :
         {ImageFileError::None, ImageFileError::UnknownFormat, ImageFileError::CannotOpen,
          ImageFileError::Truncated, ImageFileError::Corrupt, ImageFileError::ConversionFailed}) {
        ImageProbe probe;
        probe.error = error;
        probe.width = 100000;
        probe.height = 100000;
        EXPECT_FALSE(SizeRefusalText(QStringLiteral("p.png"), probe, kGB, Language::English))
            << static_cast<int>(error);
        const LoadRefusal refusal =
            RefusalFor(QStringLiteral("p.png"), probe, kGB, Language::Italian);
        EXPECT_TRUE(refusal.text.isEmpty()) << static_cast<int>(error);
        EXPECT_EQ(refusal.message, CatalogueMessageFor(error)) << static_cast<int>(error);
    }
}

}  // namespace
}  // namespace calmora
