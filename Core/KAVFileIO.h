#pragma once

#include <optional>
#include <string>

// Whole-file reads and writes of the trading service client, by names
// relative to the Documents folder (see platform/DocumentFiles.h: names that
// would leave the folder name nothing, saves replace the file in one step
// and report the truth).
class KAVFileIO {
  public:
    // Logs "KAVFileIO is OK".
    static void testOpen();
    // Makes the folder with the folders above it.
    static bool makeFloder(const std::string& name);
    // Removes the file or the folder with its content.
    static bool removeFloder(const std::string& name);
    static std::optional<std::string> openFile(const std::string& name);
    static bool saveFile(const std::string& name, const std::string& data);
    // Empty when the name is refused.
    static std::string getFullPath(const std::string& name);
};
