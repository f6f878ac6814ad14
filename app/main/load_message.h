// The message the window shows for a file it could not load.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

#include "app/support/language.h"
#include "imagefiles/image_load.h"

namespace calmora {

// Number of the message catalogue entry for error: unknown format 1, no
// 24-bit version 3, everything else 2; 0 for None.
[[nodiscard]] int CatalogueMessageFor(ImageFileError error);

// What the window tells about a refused file: text when it has its own,
// otherwise the catalogue's message number.
struct LoadRefusal {
    int message = 0;
    QString text;
};

// A picture refused for its size (TooLarge, NotEnoughMemory): its name, its
// size in pixels and the limit it is over (the fixed limits, or memoryBytes,
// the memory this computer can give; 0 when not known), in language. The
// catalogue's "insufficient memory" would leave the user guessing whether
// the file is damaged or the computer too small. Nothing for other errors.
[[nodiscard]] std::optional<QString> SizeRefusalText(const QString& fileName,
                                                     const ImageProbe& probe, uint64_t memoryBytes,
                                                     Language language);

// The size text for a size refusal, the catalogue's number for anything else.
[[nodiscard]] LoadRefusal RefusalFor(const QString& fileName, const ImageProbe& probe,
                                     uint64_t memoryBytes, Language language);

}  // namespace calmora
