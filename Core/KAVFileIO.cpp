#include "Core/KAVFileIO.h"

#include "platform/DocumentFiles.h"
#include "platform/Log.h"

namespace documents = platform::documents;

void KAVFileIO::testOpen() {
    platform::log("KAVFileIO is OK");
}

bool KAVFileIO::makeFloder(const std::string& name) {
    return documents::makeFolder(name);
}

bool KAVFileIO::removeFloder(const std::string& name) {
    return documents::removeItem(name);
}

std::optional<std::string> KAVFileIO::openFile(const std::string& name) {
    return documents::read(name);
}

bool KAVFileIO::saveFile(const std::string& name, const std::string& data) {
    return documents::write(name, data);
}

std::string KAVFileIO::getFullPath(const std::string& name) {
    return documents::fullPath(name);
}
