#pragma once

#include <optional>
#include <string>

// Whole-file reads and writes. Names are relative to the Documents folder; a
// name that would leave it (absolute, or with a ".." component) names no file.
class ioFile {
  public:
    // The full path of a name; empty when the name is refused.
    static std::string getFullPath(const std::string& name);
    // Makes the folder and the folders above it; true when it exists afterwards.
    static bool makeFloder(const std::string& name);
    // Removes the file or the folder with everything in it (never the
    // Documents folder itself); true when nothing is left there.
    static bool removeFloder(const std::string& name);
    static std::optional<std::string> openFile(const std::string& name);
    // The whole file at an absolute path; nothing when there is no such file.
    static std::optional<std::string> openFileFullPath(const std::string& path);
    // Replaces the file with the data in one step (a temporary file renamed
    // over it), so a failed save leaves the old file whole. True only when
    // the new data is in place. The folder must exist (the Documents folder
    // itself is made when missing).
    static bool saveFile(const std::string& name, const std::string& data);
};
