// Fuzz target: the header guard that runs before any decoder, on the input
// as each of the five formats the program opens, from memory and from a
// file. Both readings of the same bytes must give the same verdict, and a
// verdict must be one the loader can act on. With the EXIF block checker in
// the layer, the input is also an EXIF block: a block the checker passes
// must be one FreeImage's EXIF reader can be given.
#include <FreeImage.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "imagefiles/image_guard.h"
#if CALMORA_FUZZ_EXIF_CHECK
#include "imagefiles/bitmap.h"
#include "imagefiles/decoder_messages.h"
#include "imagefiles/exif_check.h"
#include "imagefiles/exif_tags.h"
#endif
#include "input_file.h"

namespace {

[[noreturn]] void Broken(FREE_IMAGE_FORMAT fif, const char* what) {
    std::fprintf(stderr, "fuzz_guard: format %d: %s\n", static_cast<int>(fif), what);
    std::abort();
}

void CheckVerdict(FREE_IMAGE_FORMAT fif, const calmora::GuardVerdict& verdict) {
    if (verdict.accepted()) {
        if (!verdict.reason.empty()) Broken(fif, "accepted with a reason");
        if (verdict.width == 0 || verdict.height == 0 || verdict.width > calmora::kGuardMaxSide ||
            verdict.height > calmora::kGuardMaxSide ||
            uint64_t{verdict.width} * verdict.height > calmora::kGuardMaxPixels)
            Broken(fif, "accepted a size outside the limits");
    } else if (verdict.reason.empty()) {
        Broken(fif, "refused without a reason");
    }
}

#if CALMORA_FUZZ_EXIF_CHECK
void CheckExif(const uint8_t* data, size_t size) {
    for (int nesting : {0, 1}) {
        const calmora::exif::BlockCheck check = calmora::exif::CheckExifBlock(data, size, nesting);
        if (check.valid != check.reason.empty()) Broken(FIF_JPEG, "EXIF verdict and reason disagree");
        if (!check.valid || nesting != 0) continue;
        // What the loader does with a block that passed: FreeImage reads it.
        calmora::DecoderMessages quiet;
        const calmora::BitmapPtr image(FreeImage_Allocate(1, 1, 24));
        if (image) (void)calmora::exif::AttachExifBlock(image.get(), data, size);
    }
}
#endif

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const calmora_fuzz::InputFile input(data, size);
    for (FREE_IMAGE_FORMAT fif : {FIF_JPEG, FIF_PNG, FIF_BMP, FIF_TIFF, FIF_GIF}) {
        const calmora::GuardVerdict inMemory = calmora::InspectBeforeDecode(data, size, fif);
        CheckVerdict(fif, inMemory);
        if (!input.Written()) continue;
        const calmora::GuardVerdict inFile = calmora::InspectBeforeDecode(input.Path(), fif);
        if (inFile.outcome != inMemory.outcome || inFile.width != inMemory.width ||
            inFile.height != inMemory.height)
            Broken(fif, "the file and the same bytes in memory get different verdicts");
    }
#if CALMORA_FUZZ_EXIF_CHECK
    CheckExif(data, size);
#endif
    return 0;
}
