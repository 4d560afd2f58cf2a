#pragma once

#include <optional>
#include <string>
#include <string_view>

// Whole files under the Documents folder (platform::files::documentsRoot()),
// by relative name: what the application's file helpers offer. A name that
// would leave the folder (absolute, or with a ".." component) names nothing
// and every operation on it fails. Make, remove and write log the full path.
namespace platform::documents {

// Empty when the name is refused.
std::string fullPath(std::string_view name);
// Makes the folder and the folders above it; true when it exists afterwards.
bool makeFolder(std::string_view name);
// Removes the file, or the folder with everything in it (never the Documents
// folder itself); true when nothing is left there.
bool removeItem(std::string_view name);
// The whole file; nothing when there is no such file.
std::optional<std::string> read(std::string_view name);
std::optional<std::string> readFullPath(const std::string& path);
// Replaces the file in one step (a temporary file renamed over it), so a
// failed write leaves the old file whole; true only when the new data is in
// place. The folder must exist; the Documents folder itself is made when
// missing.
bool write(std::string_view name, std::string_view data);

}  // namespace platform::documents
