#include "imagefiles/decoder_messages.h"

#include <FreeImage.h>
#include <dlfcn.h>

#include <cstdarg>
#include <cstdio>

namespace calmora {

namespace {

thread_local std::string* g_decoderMessages = nullptr;

void CollectDecoderMessage(FREE_IMAGE_FORMAT, const char* message) {
    if (g_decoderMessages && message) {
        g_decoderMessages->append(message);
        g_decoderMessages->push_back('\n');
    }
}

// libtiff, which FreeImage uses, prints its complaints (including harmless
// ones on every save) straight to stderr. They are collected like
// FreeImage's own messages instead. The setters are looked up at run time so
// that no libtiff headers are needed; nothing happens if it is not loaded.
using TiffHandler = void (*)(const char* module, const char* format, va_list args);
using TiffHandlerSetter = TiffHandler (*)(TiffHandler);

void CollectTiffMessage(const char* module, const char* format, va_list args) {
    if (!g_decoderMessages || !format) return;
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    if (module) g_decoderMessages->append(module).append(": ");
    g_decoderMessages->append(text).push_back('\n');
}

void InstallMessageCollectors() {
    FreeImage_SetOutputMessage(CollectDecoderMessage);
    for (const char* setter : {"TIFFSetErrorHandler", "TIFFSetWarningHandler"})
        if (void* symbol = dlsym(RTLD_DEFAULT, setter))
            reinterpret_cast<TiffHandlerSetter>(symbol)(CollectTiffMessage);
}

}  // namespace

DecoderMessages::DecoderMessages() {
    static const bool installed = (InstallMessageCollectors(), true);
    (void)installed;
    g_decoderMessages = &text_;
}

DecoderMessages::~DecoderMessages() { g_decoderMessages = nullptr; }

}  // namespace calmora
