#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

#include <filesystem>
#include <optional>
#include <string>

namespace platform::ui {

// The application's resource bundle: a folder of images, the dealer label
// files ("DealerDEF/") and sounds ("Sounds/"), the platform's bundle root
// ($KAV_BUNDLE_DIR, else <build>/Resources, which links to the source tree's
// Resources folder).
class NSBundle {
  public:
    static NSBundle& mainBundle();

    std::filesystem::path bundlePath() const;
    // Points the bundle at another folder (an empty path: back to the
    // platform's root); clears the image cache.
    void setBundlePath(const std::filesystem::path& root);

    // "<directory>/<name>.<type>" inside the bundle when it exists (type may
    // be empty when the name carries its extension).
    std::optional<std::filesystem::path> pathForResource(const std::string& name,
                                                         const std::string& type,
                                                         const std::string& directory = "") const;

    // The bundle ships no string tables: the value when given, else the key.
    std::string localizedStringForKey(const std::string& key, const std::string& value = "",
                                      const std::string& table = "") const;

    // Version texts of the application ("CFBundleShortVersionString" and
    // "CFBundleVersion").
    std::string shortVersionString() const;
    std::string bundleVersion() const;

  private:
    NSBundle() = default;
    std::filesystem::path override_;
};

}  // namespace platform::ui
