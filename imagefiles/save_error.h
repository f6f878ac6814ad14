// Why a save failed: shared by image saves and the program's small settings
// files, which follow the same rules for what they may replace.
#pragma once

#include <string>

namespace calmora {

enum class SaveError {
    None,
    NoImage,         // nothing to save
    NoFileName,
    BadJpegQuality,  // outside 1..100
    IsFolder,        // the name is that of a folder
    CannotCreate,    // no new file can be made in the folder (systemError says why)
    WriteFailed,     // writing or flushing failed (systemError says why)
    EncoderFailed,   // the encoder refused the image
    CannotReplace,   // the finished file could not take the old one's place (systemError)
    NotRegularFile,  // the name is (or links to) a device, FIFO or socket: never replaced
    WriteProtected,  // the file may not be written by this user (see CheckSaveTarget)
    BrokenLink,      // a link into a folder that does not exist, or a loop (systemError)
    UntrustedLink,   // a link another user put in a shared folder such as /tmp
};

struct SaveResult {
    bool ok = false;
    SaveError error = SaveError::None;
    int systemError = 0;  // errno behind the error, 0 when none
    std::string reason;   // DescribeSaveError, for a batch user; empty when ok
};

// Why a save failed, in English: the error, and for the errors that have one
// the system's reason (see SystemErrorText). The window program words it in
// its own language.
[[nodiscard]] std::string DescribeSaveError(SaveError error, int systemError);

// The system's wording of errno value error, in English whatever the locale.
[[nodiscard]] std::string SystemErrorText(int error);

// A reason that may have the system's behind it: text, followed by ": " and
// errno value systemError in the language of words, when there is one.
struct WithSystemReason {
    int systemError;
    std::string (*words)(int error);

    [[nodiscard]] std::string operator()(const char* text) const;
};

// A failed result with its English reason.
[[nodiscard]] SaveResult SaveFailure(SaveError error, int systemError = 0);

}  // namespace calmora
