// Messages from FreeImage's decoders and encoders, collected instead of
// printed. Most are noise, but a JPEG decoder reaching the end of the file
// early only says so here and then returns a picture whose missing part is
// grey.
//
// The first collector installs the process-wide FreeImage message handler
// (and libtiff's); nothing else should replace them.
#pragma once

#include <string>

#include "imagefiles/no_copy.h"

namespace calmora {

// Collects what the decoders say on this thread for as long as it lives.
class DecoderMessages : NoCopy {
public:
    DecoderMessages();
    ~DecoderMessages();

    [[nodiscard]] bool Contains(const char* what) const {
        return text_.find(what) != std::string::npos;
    }

private:
    std::string text_;
};

}  // namespace calmora
