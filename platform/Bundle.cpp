#include "platform/Bundle.h"

#include <cstdlib>
#include <string>

#include "platform/Files.h"

namespace platform::bundle {

std::filesystem::path root() {
    if (const char* dir = std::getenv("KAV_BUNDLE_DIR"); dir && *dir) return dir;
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    const auto exeDir = ec ? std::filesystem::current_path(ec) : self.parent_path();
    return exeDir.parent_path() / "Resources";
}

std::optional<std::filesystem::path> resourcePath(std::string_view name, std::string_view type,
                                                  std::string_view folder) {
    return resourcePathIn(root(), name, type, folder);
}

std::optional<std::filesystem::path> resourcePathIn(const std::filesystem::path& root,
                                                    std::string_view name, std::string_view type,
                                                    std::string_view folder) {
    if (!files::isSafeName(name)) return std::nullopt;
    if (!type.empty() && !files::isSafeName(type)) return std::nullopt;
    auto path = root;
    size_t start = 0;
    while (start < folder.size()) {
        size_t end = folder.find('/', start);
        if (end == std::string_view::npos) end = folder.size();
        const auto part = folder.substr(start, end - start);
        if (!files::isSafeName(part)) return std::nullopt;
        path /= std::string(part);
        start = end + 1;
    }
    std::string file(name);
    if (!type.empty()) file.append(".").append(type);
    path /= file;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
    return path;
}

}  // namespace platform::bundle
