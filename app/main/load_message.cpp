#include "load_message.h"

#include "message_ids.h"

namespace calmora {

int CatalogueMessageFor(ImageFileError error) {
    switch (error) {
        case ImageFileError::None: return 0;
        case ImageFileError::UnknownFormat: return msg::kUnknownFormat;
        case ImageFileError::ConversionFailed: return msg::kNoMemoryFor24Bits;
        default: return msg::kNoMemoryToLoad;
    }
}

}  // namespace calmora
