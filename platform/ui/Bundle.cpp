#include "platform/ui/Bundle.h"

#include <cstdlib>
#include <system_error>

namespace platform::ui {

void clearImageCache();  // Image.cpp

namespace {

std::filesystem::path locateBundle() {
    if (const char* dir = std::getenv("KAV_BUNDLE_DIR"); dir && *dir) return dir;
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return "Resources";
    auto dir = exe.parent_path();
    for (int level = 0; level <= 4 && !dir.empty(); ++level) {
        auto candidate = dir / "Resources";
        if (std::filesystem::is_directory(candidate, ec)) return candidate;
        if (dir == dir.parent_path()) break;
        dir = dir.parent_path();
    }
    return exe.parent_path() / "Resources";
}

}  // namespace

NSBundle::NSBundle() : root_(locateBundle()) {}

NSBundle& NSBundle::mainBundle() {
    static NSBundle bundle;
    return bundle;
}

void NSBundle::setBundlePath(const std::filesystem::path& root) {
    root_ = root;
    clearImageCache();
}

std::optional<std::filesystem::path> NSBundle::pathForResource(const std::string& name, const std::string& type,
                                                               const std::string& directory) const {
    if (name.empty()) return std::nullopt;
    std::filesystem::path p = root_;
    if (!directory.empty()) p /= directory;
    p /= type.empty() ? name : name + "." + type;
    // Names come from code and label files; never let one leave the bundle.
    auto rel = p.lexically_normal().lexically_relative(root_.lexically_normal());
    if (rel.empty() || *rel.begin() == "..") return std::nullopt;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(p, ec)) return std::nullopt;
    return p;
}

std::string NSBundle::localizedStringForKey(const std::string& key, const std::string& value,
                                            const std::string&) const {
    return value.empty() ? key : value;
}

std::string NSBundle::shortVersionString() const { return "1.0.0"; }
std::string NSBundle::bundleVersion() const { return "1"; }

}  // namespace platform::ui
