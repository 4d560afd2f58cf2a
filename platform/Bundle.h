#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace platform::bundle {

// The application's read-only resources (sounds, dealer definition files):
// $KAV_BUNDLE_DIR when set, else the "Resources" folder beside the folder of
// the running executable (<build>/Resources for <build>/bin/program).
std::filesystem::path root();

// The file <root>/<folder>/<name>.<type>, only when it exists as a regular
// file. Names usually come from settings or from the network, so the name,
// the type and each folder component must be a safe name
// (platform::files::isSafeName); anything else finds nothing. An empty
// folder means the root itself; an empty type means a name without extension.
std::optional<std::filesystem::path> resourcePath(std::string_view name, std::string_view type,
                                                  std::string_view folder = {});
// The same under another root (a bundle pointed elsewhere).
std::optional<std::filesystem::path> resourcePathIn(const std::filesystem::path& root,
                                                    std::string_view name, std::string_view type,
                                                    std::string_view folder = {});

}  // namespace platform::bundle
