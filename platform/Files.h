#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace platform::files {

using Path = std::filesystem::path;

// The application's data folder: $KAV_DATA_DIR, else $XDG_DATA_HOME/kav-trader,
// else ~/.local/share/kav-trader. Tests point it at a temporary folder; an
// empty path goes back to the environment.
Path dataRoot();
void setDataRoot(const Path& root);

// The "Documents" folder (<data root>/Documents unless set; an empty path
// unsets it).
Path documentsRoot();
void setDocumentsRoot(const Path& root);

// A path under the Documents root for a relative name; nothing when the name
// would leave the root (an absolute path, a ".." component) or holds a NUL.
std::optional<Path> documentsPath(std::string_view relative);

// True for a single file name made only of [A-Za-z0-9._-], not empty, not
// "." and without "..", at most 255 bytes: the only names the system accepts
// from the network or from the user.
bool isSafeName(std::string_view name);

// Whole-file read; nothing when missing or unreadable.
std::optional<std::string> readFile(const Path& path);
// The same for a regular file only: anything else is never opened (a named
// pipe put where a file is expected would wait for a writer for ever).
std::optional<std::string> readRegularFile(const Path& path);
// Writes a temporary file beside the target, flushes it to disk and renames it
// over the target, so a crash leaves either the old or the new file, never a
// mix. True only when every step succeeded. The folder must exist. The
// temporary file is hidden (".<name>.tmp-XXXXXX"), so a crash mid-save never
// leaves anything under the target's name but the old file. `durable` also
// waits for the disk (fsync of the file and of the folder after the rename);
// without it a crash of the program still leaves the old or the new file,
// and syncFile() later makes the new one survive a power loss too.
bool writeFileAtomic(const Path& path, std::string_view bytes, bool durable = true);
// Waits for the file and the folder that names it to reach the disk; true
// when both did.
bool syncFile(const Path& path);
// Makes the folder and its parents; true when it exists afterwards.
bool makeDirectories(const Path& path);
// Removes a file or an empty folder; true when it is gone afterwards.
bool removeFile(const Path& path);
bool fileExists(const Path& path);
// The program of that name in a folder of $PATH that may run it, or nothing.
std::optional<std::string> programOnPath(const std::string& program);
// Moves an unreadable file (or folder) out of the way, beside itself as
// "<name>.corrupt" (".corrupt.1" and so on when earlier ones are kept):
// the new name, or nothing with the reason when it could not be moved.
std::optional<Path> moveAside(const Path& path, std::string* why = nullptr);

// Tests only: called by writeFileAtomic once the temporary file is complete
// and flushed, just before the rename, so that a test can stop a save there.
// An empty function removes the hook.
void setAtomicWriteHook(std::function<void(const Path& temporary)> hook);
// Tests only: called each time a file's content is waited for on the disk
// (a durable write or syncFile), with the file's final name.
void setFileSyncHook(std::function<void(const Path& file)> hook);

}  // namespace platform::files
