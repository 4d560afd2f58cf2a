#pragma once

#include <optional>
#include <string>

// Whole-file reads and writes by names relative to the Documents folder (see
// platform/DocumentFiles.h: names that would leave the folder name nothing,
// saves replace the file in one step and report the truth).
class ioFile {
  public:
    // Empty when the name is refused.
    static std::string getFullPath(const std::string& name);
    // Makes the folder with the folders above it.
    static bool makeFloder(const std::string& name);
    // Removes the file or the folder with its content.
    static bool removeFloder(const std::string& name);
    static std::optional<std::string> openFile(const std::string& name);
    // The whole file at an absolute path; nothing when there is no such file.
    static std::optional<std::string> openFileFullPath(const std::string& path);
    static bool saveFile(const std::string& name, const std::string& data);
};
