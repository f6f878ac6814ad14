// The file a fuzz target hands to the load path: each input is written to
// one file in a folder private to the process, and removed again after it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace calmora_fuzz {

// Writes data to the process's input file for as long as it lives. The
// folder is made on first use (mode 0700 under $TMPDIR or /tmp) and is
// removed however the process ends: libFuzzer leaves through _Exit after a
// crash, a timeout or an interrupt, which runs no destructor and no atexit
// handler, so a helper process made with the folder removes it once this
// process is gone.
class InputFile {
public:
    InputFile(const uint8_t* data, size_t size);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // False when the file could not be written (the input is then skipped).
    [[nodiscard]] bool Written() const { return written_; }
    [[nodiscard]] const std::string& Path() const;

private:
    bool written_ = false;
};

}  // namespace calmora_fuzz
