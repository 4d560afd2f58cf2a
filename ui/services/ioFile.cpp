#include "ui/services/ioFile.h"

#include "platform/DocumentFiles.h"

namespace documents = platform::documents;

std::string ioFile::getFullPath(const std::string& name) {
    return documents::fullPath(name);
}

bool ioFile::makeFloder(const std::string& name) {
    return documents::makeFolder(name);
}

bool ioFile::removeFloder(const std::string& name) {
    return documents::removeItem(name);
}

std::optional<std::string> ioFile::openFile(const std::string& name) {
    return documents::read(name);
}

std::optional<std::string> ioFile::openFileFullPath(const std::string& path) {
    return documents::readFullPath(path);
}

bool ioFile::saveFile(const std::string& name, const std::string& data) {
    return documents::write(name, data);
}
