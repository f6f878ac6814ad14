// The transfer block a decoding child hands its picture back in: pixels,
// resolution, metadata and colour profile arrive exactly, pixels sent apart
// land where the parent prepared them, and a block that does not add up
// gives no bitmap.
#include <gtest/gtest.h>

#include <FreeImage.h>

#include <cstring>
#include <string>
#include <vector>

#include "imagefiles/bitmap_transfer.h"
#include "imagefiles/image_load.h"
#include "test_images.h"

using namespace calmora;
using calmora_test::AddTag;
using calmora_test::AllMetadata;

namespace {

std::vector<uint8_t> Block(FIBITMAP* image, int32_t status = 0) {
    std::vector<uint8_t> block(TransferBytes(image));
    WriteTransfer(status, image, block.data(), block.size());
    return block;
}

}  // namespace

TEST(BitmapTransfer, PixelsMetadataAndProfileArriveExactly) {
    BitmapPtr image = calmora_test::Pattern24(37, 23);  // rows with padding
    FreeImage_SetDotsPerMeterX(image.get(), 11811);
    FreeImage_SetDotsPerMeterY(image.get(), 5906);
    AddTag(image.get(), FIMD_COMMENTS, "Comment", 0, FIDT_ASCII, {'h', 'i', 0}, 3);
    AddTag(image.get(), FIMD_EXIF_MAIN, "Make", 0x010f, FIDT_ASCII, {'C', 'a', 'm', 0}, 4, "Maker");
    AddTag(image.get(), FIMD_EXIF_EXIF, "ExposureTime", 0x829a, FIDT_RATIONAL, {1, 0, 0, 0, 250, 0, 0, 0}, 1);
    AddTag(image.get(), FIMD_EXIF_GPS, "GPSVersionID", 0, FIDT_BYTE, {2, 2, 0, 0}, 4);
    AddTag(image.get(), FIMD_XMP, "XMLPacket", 0, FIDT_ASCII, {'<', 'x', '/', '>', 0}, 5);
    AddTag(image.get(), FIMD_EXIF_RAW, "ExifRaw", 0, FIDT_BYTE, {'I', 'I', 42, 0, 8, 0, 0, 0}, 8);
    AddTag(image.get(), FIMD_IPTC, "Keywords", 0x0219, FIDT_ASCII, {}, 0);  // empty value
    std::vector<uint8_t> profile(3000);
    for (size_t i = 0; i < profile.size(); ++i) profile[i] = static_cast<uint8_t>(i * 7);
    FIICCPROFILE* icc = FreeImage_CreateICCProfile(image.get(), profile.data(), 3000);
    icc->flags = FIICC_COLOR_IS_CMYK;

    const std::vector<uint8_t> block = Block(image.get(), 0);
    const TransferredBitmap back = ReadTransfer(block.data(), block.size());
    ASSERT_TRUE(back.valid);
    ASSERT_TRUE(back.image);
    EXPECT_EQ(calmora_test::PixelBytes(back.image.get()), calmora_test::PixelBytes(image.get()));
    EXPECT_EQ(FreeImage_GetBPP(back.image.get()), 24u);
    EXPECT_EQ(FreeImage_GetDotsPerMeterX(back.image.get()), 11811u);
    EXPECT_EQ(FreeImage_GetDotsPerMeterY(back.image.get()), 5906u);
    EXPECT_EQ(AllMetadata(back.image.get()), AllMetadata(image.get()));
    EXPECT_NE(AllMetadata(image.get()).find("Maker"), std::string::npos);
    const FIICCPROFILE* backIcc = FreeImage_GetICCProfile(back.image.get());
    ASSERT_EQ(backIcc->size, 3000);
    EXPECT_EQ(std::memcmp(backIcc->data, profile.data(), 3000), 0);
    EXPECT_EQ(backIcc->flags, FIICC_COLOR_IS_CMYK);

    // A status alone, and a header without pixels.
    const std::vector<uint8_t> refusal = Block(nullptr, 6);
    const TransferredBitmap refused = ReadTransfer(refusal.data(), refusal.size());
    EXPECT_TRUE(refused.valid);
    EXPECT_EQ(refused.status, 6);
    EXPECT_FALSE(refused.described);
    BitmapPtr deep(FreeImage_AllocateT(FIT_RGBA16, 300, 200));
    const std::vector<uint8_t> header = Block(deep.get());
    EXPECT_LT(header.size(), 4096u) << "no pixels are sent for a header";
    const TransferredBitmap described = ReadTransfer(header.data(), header.size());
    EXPECT_TRUE(described.valid && described.described);
    EXPECT_EQ(described.width, 300u);
    EXPECT_EQ(described.bitsPerPixel, 64u);
    EXPECT_EQ(described.type, FIT_RGBA16);
}

TEST(BitmapTransfer, PixelsSentApartLandInPreparedBitmapOrCopy) {
    BitmapPtr image = calmora_test::Pattern24(301, 203);
    FreeImage_SetDotsPerMeterX(image.get(), 3937);
    AddTag(image.get(), FIMD_EXIF_MAIN, "Make", 0x010f, FIDT_ASCII, {'C', 'a', 'm', 0}, 4);
    std::vector<uint8_t> block(TransferBytes(image.get(), PixelPlace::Apart));
    EXPECT_LT(block.size(), 4096u) << "the pixels are not in the block";
    WriteTransfer(0, image.get(), block.data(), block.size(), PixelPlace::Apart);
    const uint64_t pixelBytes = ApartPixelBytes(image.get());
    ASSERT_EQ(pixelBytes, uint64_t{FreeImage_GetPitch(image.get())} * 203);
    const auto* bits = FreeImage_GetBits(image.get());

    // Received into a bitmap of the right size: that bitmap is the result.
    BitmapPtr prepared(FreeImage_Allocate(301, 203, 24));
    std::memcpy(FreeImage_GetBits(prepared.get()), bits, pixelBytes);
    FIBITMAP* const preparedAddress = prepared.get();
    TransferredBitmap back = ReadTransfer(block.data(), block.size(),
                                          {FreeImage_GetBits(prepared.get()), pixelBytes, &prepared});
    ASSERT_TRUE(back.valid && back.image);
    EXPECT_EQ(back.image.get(), preparedAddress);
    EXPECT_EQ(calmora_test::PixelBytes(back.image.get()), calmora_test::PixelBytes(image.get()));
    EXPECT_EQ(AllMetadata(back.image.get()), AllMetadata(image.get()));
    EXPECT_EQ(FreeImage_GetDotsPerMeterX(back.image.get()), 3937u);

    // Received into one of another size (the decoder's picture differed from
    // its header) or a plain buffer: copied into a bitmap of the block's size.
    BitmapPtr other(FreeImage_Allocate(203, 301, 24));
    std::vector<uint8_t> plain(bits, bits + pixelBytes);
    back = ReadTransfer(block.data(), block.size(), {plain.data(), pixelBytes, &other});
    ASSERT_TRUE(back.valid && back.image);
    EXPECT_EQ(FreeImage_GetWidth(back.image.get()), 301u);
    EXPECT_EQ(calmora_test::PixelBytes(back.image.get()), calmora_test::PixelBytes(image.get()));
    EXPECT_TRUE(other) << "a bitmap of another size is left alone";

    // One byte short, or none at all: no bitmap.
    EXPECT_FALSE(ReadTransfer(block.data(), block.size(), {plain.data(), pixelBytes - 1, nullptr}).image);
    EXPECT_FALSE(ReadTransfer(block.data(), block.size()).valid);
}

TEST(BitmapTransfer, ABlockThatDoesNotAddUpGivesNoBitmap) {
    BitmapPtr image = calmora_test::Pattern24(20, 10);
    AddTag(image.get(), FIMD_EXIF_MAIN, "Make", 0x010f, FIDT_ASCII, {'C', 'a', 'm', 0}, 4);
    const std::vector<uint8_t> block = Block(image.get());
    // Cut anywhere: never read past the end, never a bitmap.
    for (size_t size : {size_t{0}, size_t{10}, size_t{100}, block.size() / 2, block.size() - 1}) {
        const TransferredBitmap cut = ReadTransfer(block.data(), size);
        EXPECT_FALSE(cut.valid && cut.image) << size;
    }
    // Every byte of the header and tag record flipped in turn: a bitmap
    // may come back (a changed pixel count or colour), but nothing breaks.
    for (size_t at = 0; at < 400 && at < block.size(); ++at) {
        std::vector<uint8_t> bad = block;
        bad[at] ^= 0xff;
        const TransferredBitmap read = ReadTransfer(bad.data(), bad.size());
        if (read.image) {
            EXPECT_EQ(FreeImage_GetBPP(read.image.get()), 24u);
        }
    }
}
