#include "platform/DocumentFiles.h"

#include <filesystem>

#include "platform/Files.h"
#include "platform/Log.h"

namespace platform::documents {

namespace {

std::optional<files::Path> loggedPath(std::string_view name) {
    auto path = files::documentsPath(name);
    log(path ? path->string() : "Documents: refused name " + std::string(name));
    return path;
}

}  // namespace

std::string fullPath(std::string_view name) {
    auto path = files::documentsPath(name);
    return path ? path->string() : std::string();
}

bool makeFolder(std::string_view name) {
    auto path = loggedPath(name);
    return path && files::makeDirectories(*path);
}

bool removeItem(std::string_view name) {
    auto path = loggedPath(name);
    // An empty name would take the whole Documents folder with it.
    if (!path || *path == files::documentsRoot()) return false;
    std::error_code ec;
    std::filesystem::remove_all(*path, ec);
    return !std::filesystem::exists(std::filesystem::symlink_status(*path, ec));
}

std::optional<std::string> read(std::string_view name) {
    auto path = files::documentsPath(name);
    if (!path) return std::nullopt;
    return readFullPath(path->string());
}

std::optional<std::string> readFullPath(const std::string& path) {
    return files::readRegularFile(path);
}

bool write(std::string_view name, std::string_view data) {
    auto path = loggedPath(name);
    return path && files::makeDirectories(files::documentsRoot()) &&
           files::writeFileAtomic(*path, data);
}

}  // namespace platform::documents
