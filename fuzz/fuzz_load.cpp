// Fuzz target: the whole load path, as the batch tool and the window reach
// it: ProbeImageFile and LoadImageFile on a file holding the input.
//
// Beyond not crashing, a load must keep its promises: a picture comes with
// no error, is 24-bit, within the size limits, and every byte of it can be
// read (the pixels are summed, so a buffer shorter than its rows is found by
// AddressSanitizer here even when FreeImage itself wrote nothing past it).
#include <FreeImage.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "imagefiles/decoder_messages.h"
#include "imagefiles/image_load.h"
#include "input_file.h"

namespace {

// Memory the loads may plan for. Far below the fuzzer's 2 GB limit even with
// the decoders' own copies (up to 8 bytes a pixel for 16-bit RGBA), so an
// input claiming a huge but permitted size is refused as NotEnoughMemory
// instead of ending the run as out-of-memory.
constexpr uint64_t kMemoryBudget = uint64_t{256} << 20;

[[noreturn]] void Broken(const char* what) {
    std::fprintf(stderr, "fuzz_load: %s\n", what);
    std::abort();
}

// Keeps the sum (and so the reads) alive without printing anything.
volatile unsigned g_pixelSum = 0;

unsigned SumPixels(FIBITMAP* image) {
    const unsigned width = FreeImage_GetWidth(image);
    unsigned sum = 0;
    for (unsigned y = 0; y < FreeImage_GetHeight(image); ++y) {
        const BYTE* row = FreeImage_GetScanLine(image, static_cast<int>(y));
        for (unsigned i = 0; i < 3 * width; ++i) sum += row[i];
    }
    return sum;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Decoding stays in this process unless the environment says otherwise:
    // the sanitizers' runtimes make system calls the decoding child's filter
    // forbids (every load would fail), and a crash inside a child is only a
    // failed load to the fuzzer, which also sees no coverage from there.
    // CALMORA_DECODE_IN_PROCESS=0 fuzzes through the child instead.
    setenv("CALMORA_DECODE_IN_PROCESS", "1", 0);
    // The first collector installs the quiet message handlers of FreeImage
    // and libtiff for the whole process; what the decoders say outside a
    // collector is dropped, so a run's log shows only the fuzzer.
    calmora::DecoderMessages install;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const calmora_fuzz::InputFile input(data, size);
    if (!input.Written()) return 0;

    const calmora::ImageProbe probe = calmora::ProbeImageFile(input.Path(), kMemoryBudget);
    if (probe.error == calmora::ImageFileError::None &&
        (probe.width <= 0 || probe.height <= 0 || probe.width > calmora::kMaxImageSide ||
         probe.height > calmora::kMaxImageSide))
        Broken("probe accepted a size outside the limits");

    const calmora::LoadedImage loaded = calmora::LoadImageFile(input.Path(), kMemoryBudget);
    FIBITMAP* image = loaded.image.get();
    if (!image) {
        if (loaded.error == calmora::ImageFileError::None) Broken("no picture and no error");
        return 0;
    }
    if (loaded.error != calmora::ImageFileError::None) Broken("a picture and an error");
    if (FreeImage_GetBPP(image) != 24 || FreeImage_GetImageType(image) != FIT_BITMAP ||
        !FreeImage_HasPixels(image))
        Broken("the picture is not a 24-bit bitmap");
    if (calmora::CheckImageSize(FreeImage_GetWidth(image), FreeImage_GetHeight(image)) !=
        calmora::ImageFileError::None)
        Broken("the picture is outside the size limits");
    if (FreeImage_GetPitch(image) < 3 * FreeImage_GetWidth(image)) Broken("rows shorter than the width");
    g_pixelSum = SumPixels(image);
    return 0;
}
