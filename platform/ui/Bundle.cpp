#include "platform/ui/Bundle.h"

#include "platform/Bundle.h"

#include <system_error>

namespace platform::ui {

void clearImageCache();  // Image.cpp

NSBundle& NSBundle::mainBundle() {
    static NSBundle bundle;
    return bundle;
}

std::filesystem::path NSBundle::bundlePath() const {
    return override_.empty() ? bundle::root() : override_;
}

void NSBundle::setBundlePath(const std::filesystem::path& root) {
    override_ = root;
    clearImageCache();
}

std::optional<std::filesystem::path> NSBundle::pathForResource(const std::string& name,
                                                               const std::string& type,
                                                               const std::string& directory) const {
    if (name.empty()) return std::nullopt;
    const std::filesystem::path root = bundlePath();
    std::filesystem::path p = root;
    if (!directory.empty()) p /= directory;
    p /= type.empty() ? name : name + "." + type;
    // Names come from code and label files; never let one leave the bundle.
    auto rel = p.lexically_normal().lexically_relative(root.lexically_normal());
    if (rel.empty() || *rel.begin() == "..") return std::nullopt;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(p, ec)) return std::nullopt;
    return p;
}

std::string NSBundle::localizedStringForKey(const std::string& key, const std::string& value,
                                            const std::string&) const {
    return value.empty() ? key : value;
}

std::string NSBundle::shortVersionString() const {
    return KAV_APP_VERSION;
}
std::string NSBundle::bundleVersion() const {
    return "1";
}

}  // namespace platform::ui
