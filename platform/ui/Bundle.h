#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace platform::ui {

// The application's resource bundle: a folder of images, the dealer label
// files ("DealerDEF/") and sounds ("Sounds/"). Found, in order, at
// $KAV_BUNDLE_DIR, at "Resources" beside the executable, or at the first
// "Resources" folder up to four levels above it (the source tree during
// development and tests).
class NSBundle {
public:
    static NSBundle& mainBundle();

    const std::filesystem::path& bundlePath() const { return root_; }
    // Tests point the bundle elsewhere; clears the image cache.
    void setBundlePath(const std::filesystem::path& root);

    // "<directory>/<name>.<type>" inside the bundle when it exists (type may
    // be empty when the name carries its extension).
    std::optional<std::filesystem::path> pathForResource(const std::string& name, const std::string& type,
                                                         const std::string& directory = "") const;

    // The bundle ships no string tables: the value when given, else the key.
    std::string localizedStringForKey(const std::string& key, const std::string& value = "",
                                      const std::string& table = "") const;

    // Version texts of the application ("CFBundleShortVersionString" and
    // "CFBundleVersion").
    std::string shortVersionString() const;
    std::string bundleVersion() const;

private:
    NSBundle();
    std::filesystem::path root_;
};

}  // namespace platform::ui
