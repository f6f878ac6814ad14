// A fresh folder under the system's temporary folder for one test, removed
// with its content (tests write nowhere else).
#pragma once

#include <string>
#include <vector>

#include "imagefiles/no_copy.h"

namespace calmora_test {

class ScratchDir : calmora::NoCopy {
public:
    ScratchDir();
    ~ScratchDir();
    [[nodiscard]] const std::string& Path() const { return path_; }
    [[nodiscard]] std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    // Names of the entries in the folder, sorted.
    [[nodiscard]] std::vector<std::string> Entries() const;

private:
    std::string path_;
};

}  // namespace calmora_test
