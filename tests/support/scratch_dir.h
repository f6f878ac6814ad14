// A fresh folder under the system's temporary folder for one test, removed
// with its content (tests write nowhere else).
#pragma once

#include <string>
#include <vector>

namespace calmora_test {

class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    [[nodiscard]] const std::string& Path() const { return path_; }
    [[nodiscard]] std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    // Names of the entries in the folder, sorted.
    [[nodiscard]] std::vector<std::string> Entries() const;

private:
    std::string path_;
};

}  // namespace calmora_test
