#include "imagefiles/memory_budget.h"

#include <sys/sysinfo.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

namespace calmora {

ImageFileError CheckImageSize(int64_t width, int64_t height) {
    if (width <= 0 || height <= 0 || width > kMaxImageSide || height > kMaxImageSide ||
        width * height > kMaxImagePixels)
        return ImageFileError::TooLarge;
    const uint64_t stride = (static_cast<uint64_t>(width) * 3 + 3) & ~uint64_t{3};
    const uint64_t bytes = stride * static_cast<uint64_t>(height);
    if (bytes > static_cast<uint64_t>(PTRDIFF_MAX) / 2) return ImageFileError::TooLarge;
    return ImageFileError::None;
}

uint64_t LoadingMemoryNeed(int64_t width, int64_t height) {
    if (width <= 0 || height <= 0) return 0;
    const uint64_t w = static_cast<uint64_t>(width), h = static_cast<uint64_t>(height);
    if (w > (UINT64_MAX - 3) / 3) return UINT64_MAX;
    const uint64_t stride = (w * 3 + 3) & ~uint64_t{3};
    if (stride > UINT64_MAX / 2 / h) return UINT64_MAX;
    // A 24-bit file decodes straight into the image, anything else into a
    // copy of its own that is converted; counting two 24-bit buffers
    // covers both without claiming precision the decoders do not offer.
    return 2 * stride * h;
}

ImageFileError CheckImageMemory(int64_t width, int64_t height, uint64_t memoryBytes) {
    if (memoryBytes == 0) return ImageFileError::None;
    return LoadingMemoryNeed(width, height) <= memoryBytes ? ImageFileError::None
                                                           : ImageFileError::NotEnoughMemory;
}

namespace {

// A number from a control-group file, or nothing for "max" or no file.
std::optional<uint64_t> ReadLimit(const std::string& path) {
    std::ifstream in(path);
    std::string text;
    if (!(in >> text) || text.empty() || !std::isdigit(static_cast<unsigned char>(text[0])))
        return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0') return std::nullopt;
    return value;
}

// The memory (and swap) limit of the process's own cgroup v2 group.
std::optional<uint64_t> ControlGroupLimit(uint64_t systemSwap) {
    std::ifstream groups("/proc/self/cgroup");
    std::string line;
    while (std::getline(groups, line)) {
        if (line.rfind("0::", 0) != 0) continue;
        const std::string folder = "/sys/fs/cgroup" + line.substr(3);
        const auto memory = ReadLimit(folder + "/memory.max");
        if (!memory) return std::nullopt;
        const auto swap = ReadLimit(folder + "/memory.swap.max");
        return *memory + std::min(swap.value_or(systemSwap), systemSwap);
    }
    return std::nullopt;
}

}  // namespace

uint64_t SystemMemoryBytes() {
    struct sysinfo info {};
    if (sysinfo(&info) != 0) return 0;
    const uint64_t unit = info.mem_unit ? info.mem_unit : 1;
    const uint64_t swap = uint64_t{info.totalswap} * unit;
    uint64_t total = uint64_t{info.totalram} * unit + swap;
    if (const auto limit = ControlGroupLimit(swap)) total = std::min(total, *limit);
    return total;
}

}  // namespace calmora
