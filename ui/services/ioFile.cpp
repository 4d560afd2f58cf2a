#include "ui/services/ioFile.h"

#include <filesystem>

#include "platform/Files.h"
#include "platform/Log.h"

namespace files = platform::files;

namespace {

// The full path of a name, logged as every operation on it is.
std::optional<files::Path> loggedPath(const std::string& name) {
    auto path = files::documentsPath(name);
    platform::log(path ? path->string() : "ioFile: refused name " + name);
    return path;
}

}  // namespace

std::string ioFile::getFullPath(const std::string& name) {
    auto path = files::documentsPath(name);
    return path ? path->string() : std::string();
}

bool ioFile::makeFloder(const std::string& name) {
    auto path = loggedPath(name);
    return path && files::makeDirectories(*path);
}

bool ioFile::removeFloder(const std::string& name) {
    auto path = loggedPath(name);
    // An empty name would take the whole Documents folder with it.
    if (!path || *path == files::documentsRoot()) return false;
    std::error_code ec;
    std::filesystem::remove_all(*path, ec);
    return !std::filesystem::exists(std::filesystem::symlink_status(*path, ec));
}

std::optional<std::string> ioFile::openFile(const std::string& name) {
    auto path = files::documentsPath(name);
    if (!path) return std::nullopt;
    return openFileFullPath(path->string());
}

std::optional<std::string> ioFile::openFileFullPath(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
    return files::readFile(path);
}

bool ioFile::saveFile(const std::string& name, const std::string& data) {
    auto path = loggedPath(name);
    // The Documents folder itself always counts as there.
    return path && files::makeDirectories(files::documentsRoot()) &&
           files::writeFileAtomic(*path, data);
}
