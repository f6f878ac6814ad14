#include "output_names.h"

namespace calmora::cli {

namespace {

struct NameParts {
    std::string folder;     // with its trailing slash, or empty
    std::string stem;
    std::string extension;  // without the dot, or empty
};

NameParts Split(const std::string& path) {
    NameParts parts;
    const auto slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    parts.folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const auto dot = name.find_last_of('.');
    if (dot == std::string::npos || dot == 0) {
        parts.stem = name;
    } else {
        parts.stem = name.substr(0, dot);
        parts.extension = name.substr(dot + 1);
    }
    return parts;
}

std::string ExtensionOf(const std::string& path) { return Split(path).extension; }

}  // namespace

OutputTarget OutputFor(const Options& options, const std::string& input) {
    if (!options.outputFile.empty())
        return {options.outputFile, SaveFormatFromExtension(ExtensionOf(options.outputFile))};

    const NameParts in = Split(input);
    std::string extension = options.formatExtension;
    if (extension.empty())
        extension = SaveFormatFromExtension(in.extension) ? in.extension : "png";
    const std::optional<SaveFormat> format = SaveFormatFromExtension(extension);
    if (!options.outputDir.empty()) {
        std::string folder = options.outputDir;
        if (folder.back() != '/') folder.push_back('/');
        return {folder + in.stem + "." + extension, format};
    }
    return {in.folder + in.stem + "-denoised." + extension, format};
}

}  // namespace calmora::cli
