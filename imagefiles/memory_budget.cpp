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

namespace {

// Bytes of a width x height buffer of bitsPerPixel with rows padded to four
// bytes, as FreeImage allocates it; UINT64_MAX when that does not fit.
uint64_t BufferBytes(uint64_t width, uint64_t height, uint64_t bitsPerPixel) {
    if (width > (UINT64_MAX - 31) / bitsPerPixel) return UINT64_MAX;
    const uint64_t stride = (width * bitsPerPixel + 31) / 32 * 4;
    if (stride > UINT64_MAX / 4 / height) return UINT64_MAX;
    return stride * height;
}

uint64_t Add(uint64_t a, uint64_t b) { return a > UINT64_MAX - b ? UINT64_MAX : a + b; }

}  // namespace

uint64_t LoadingMemoryNeed(int64_t width, int64_t height, unsigned decodedBitsPerPixel,
                           bool needsGreyStep) {
    if (width <= 0 || height <= 0) return 0;
    const uint64_t w = static_cast<uint64_t>(width), h = static_cast<uint64_t>(height);
    const uint64_t image = BufferBytes(w, h, 24);
    const uint64_t decoded = BufferBytes(w, h, decodedBitsPerPixel ? decodedBitsPerPixel : 24);
    const uint64_t grey = needsGreyStep ? BufferBytes(w, h, 8) : 0;
    // Two 24-bit copies at least: a decoder's buffers of its own (the GIF
    // decoder's lines, libpng's rows, libtiff's strips) come on top of the
    // picture, and a file decoded straight to 24 bits has them too.
    return std::max(Add(image, image), Add(Add(decoded, grey), image));
}

ImageFileError CheckImageMemory(int64_t width, int64_t height, uint64_t memoryBytes) {
    return CheckImageMemory(width, height, 24, false, memoryBytes);
}

ImageFileError CheckImageMemory(int64_t width, int64_t height, unsigned decodedBitsPerPixel,
                                bool needsGreyStep, uint64_t memoryBytes) {
    if (memoryBytes == 0) return ImageFileError::None;
    return LoadingMemoryNeed(width, height, decodedBitsPerPixel, needsGreyStep) <= memoryBytes
               ? ImageFileError::None
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

std::string Trimmed(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path == "/" ? "" : path;
}

std::optional<uint64_t> Lowest(std::optional<uint64_t> a, std::optional<uint64_t> b) {
    if (!a) return b;
    if (!b) return a;
    return std::min(*a, *b);
}

// cgroup v2: a group may use no more than any group above it allows.
std::optional<uint64_t> UnifiedLimit(const std::string& root, std::string group,
                                     uint64_t systemSwap) {
    std::optional<uint64_t> lowest;
    for (;;) {
        const std::string folder = root + group;
        if (const auto memory = ReadLimit(folder + "/memory.max")) {
            const auto swap = ReadLimit(folder + "/memory.swap.max");
            lowest = Lowest(lowest, *memory + std::min(swap.value_or(systemSwap), systemSwap));
        }
        if (group.empty()) return lowest;
        group = Trimmed(group.substr(0, group.rfind('/')));
    }
}

// cgroup v1: the memory controller's own hierarchy, where memsw is memory
// and swap together. A group that cannot be found under root (the program's
// own cgroup namespace) is read at the hierarchy's top.
std::optional<uint64_t> MemoryControllerLimit(const std::string& root, const std::string& group,
                                              uint64_t systemSwap) {
    std::string folder = root + "/memory" + group;
    auto memory = ReadLimit(folder + "/memory.limit_in_bytes");
    if (!memory && !group.empty()) {
        folder = root + "/memory";
        memory = ReadLimit(folder + "/memory.limit_in_bytes");
    }
    if (!memory) return std::nullopt;
    const uint64_t withSwap = *memory > UINT64_MAX - systemSwap ? UINT64_MAX : *memory + systemSwap;
    return Lowest(withSwap, ReadLimit(folder + "/memory.memsw.limit_in_bytes"));
}

bool NamesMemoryController(const std::string& controllers) {
    size_t start = 0;
    for (;;) {
        const size_t comma = controllers.find(',', start);
        if (controllers.compare(start, comma - start, "memory") == 0) return true;
        if (comma == std::string::npos) return false;
        start = comma + 1;
    }
}

}  // namespace

std::optional<uint64_t> ControlGroupMemoryLimit(const std::string& root,
                                                const std::string& membership,
                                                uint64_t systemSwap) {
    std::ifstream groups(membership);
    std::string line;
    std::optional<uint64_t> lowest;
    while (std::getline(groups, line)) {
        // id:controllers:path
        const size_t first = line.find(':');
        const size_t second = first == std::string::npos ? first : line.find(':', first + 1);
        if (second == std::string::npos) continue;
        const std::string controllers = line.substr(first + 1, second - first - 1);
        const std::string group = Trimmed(line.substr(second + 1));
        if (line.compare(0, first, "0") == 0 && controllers.empty())
            lowest = Lowest(lowest, UnifiedLimit(root, group, systemSwap));
        else if (NamesMemoryController(controllers))
            lowest = Lowest(lowest, MemoryControllerLimit(root, group, systemSwap));
    }
    return lowest;
}

uint64_t SystemMemoryBytes() {
    struct sysinfo info {};
    if (sysinfo(&info) != 0) return 0;
    const uint64_t unit = info.mem_unit ? info.mem_unit : 1;
    const uint64_t swap = uint64_t{info.totalswap} * unit;
    uint64_t total = uint64_t{info.totalram} * unit + swap;
    if (const auto limit = ControlGroupMemoryLimit("/sys/fs/cgroup", "/proc/self/cgroup", swap))
        total = std::min(total, *limit);
    return total;
}

}  // namespace calmora
