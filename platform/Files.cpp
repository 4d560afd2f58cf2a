#include "platform/Files.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <sstream>

namespace platform::files {

namespace {

std::mutex gMutex;
Path gDataRoot;       // empty: from the environment
Path gDocumentsRoot;  // empty: <data root>/Documents
std::function<void(const Path&)> gAtomicWriteHook;
std::function<void(const Path&)> gFileSyncHook;

void fileSynced(const Path& path) {
    std::function<void(const Path&)> hook;
    {
        std::lock_guard lock(gMutex);
        hook = gFileSyncHook;
    }
    if (hook) hook(path);
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

Path homeFolder() {
    std::string home = environment("HOME");
    if (!home.empty()) return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return std::filesystem::temp_directory_path();
}

bool writeAll(int fd, std::string_view bytes) {
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

// Makes a rename inside the folder durable.
bool syncFolder(const Path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    // Some file systems cannot sync a folder at all; that is no failure of ours.
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL;
    ::close(fd);
    return ok;
}

}  // namespace

Path dataRoot() {
    {
        std::lock_guard lock(gMutex);
        if (!gDataRoot.empty()) return gDataRoot;
    }
    if (std::string dir = environment("KAV_DATA_DIR"); !dir.empty()) return dir;
    // XDG asks that a relative value be ignored.
    if (std::string xdg = environment("XDG_DATA_HOME"); !xdg.empty() && xdg.front() == '/') {
        return Path(xdg) / "kav-trader";
    }
    return homeFolder() / ".local" / "share" / "kav-trader";
}

void setDataRoot(const Path& root) {
    std::lock_guard lock(gMutex);
    gDataRoot = root;
}

Path documentsRoot() {
    {
        std::lock_guard lock(gMutex);
        if (!gDocumentsRoot.empty()) return gDocumentsRoot;
    }
    return dataRoot() / "Documents";
}

void setDocumentsRoot(const Path& root) {
    std::lock_guard lock(gMutex);
    gDocumentsRoot = root;
}

std::optional<Path> documentsPath(std::string_view relative) {
    if (relative.find('\0') != std::string_view::npos) return std::nullopt;
    if (!relative.empty() && relative.front() == '/') return std::nullopt;
    Path path = documentsRoot();
    size_t start = 0;
    while (start <= relative.size()) {
        size_t end = relative.find('/', start);
        if (end == std::string_view::npos) end = relative.size();
        const std::string_view part = relative.substr(start, end - start);
        if (part == "..") return std::nullopt;
        if (!part.empty() && part != ".") path /= std::string(part);
        start = end + 1;
    }
    return path;
}

bool isSafeName(std::string_view name) {
    if (name.empty() || name.size() > 255 || name == ".") return false;
    if (name.find("..") != std::string_view::npos) return false;
    for (char c : name) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                        (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
        if (!ok) return false;
    }
    return true;
}

std::optional<std::string> readRegularFile(const Path& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
    return readFile(path);
}

std::optional<std::string> readFile(const Path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    std::string out;
    out.reserve(static_cast<size_t>(st.st_size));
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) break;
        out.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return out;
}

bool writeFileAtomic(const Path& path, std::string_view bytes, bool durable) {
    const Path name = path.filename();
    if (name.empty() || name == "." || name == "..") return false;
    const Path folder = path.has_parent_path() ? path.parent_path() : Path(".");
    std::string temporary = (folder / ("." + name.string() + ".tmp-XXXXXX")).string();
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return false;

    // A replaced file keeps its permissions; a new one is private (mkstemp).
    struct stat old;
    bool ok = true;
    if (::stat(path.c_str(), &old) == 0) ok = ::fchmod(fd, old.st_mode & 07777) == 0;
    ok = ok && writeAll(fd, bytes) && (!durable || ::fsync(fd) == 0);
    ok = (::close(fd) == 0) && ok;
    if (ok) {
        std::function<void(const Path&)> hook;
        {
            std::lock_guard lock(gMutex);
            hook = gAtomicWriteHook;
        }
        if (hook) hook(temporary);
        ok = ::rename(temporary.c_str(), path.c_str()) == 0;
    }
    if (!ok) {
        ::unlink(temporary.c_str());
        return false;
    }
    if (!durable) return true;
    fileSynced(path);
    return syncFolder(folder);
}

bool syncFile(const Path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = ::fsync(fd) == 0;
    ::close(fd);
    fileSynced(path);
    const Path folder = path.has_parent_path() ? path.parent_path() : Path(".");
    return syncFolder(folder) && ok;
}

bool makeDirectories(const Path& path) {
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    return std::filesystem::is_directory(path, ec);
}

bool removeFile(const Path& path) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
    struct stat st;
    return ::lstat(path.c_str(), &st) != 0 && errno == ENOENT;
}

std::optional<Path> moveAside(const Path& path, std::string* why) {
    std::error_code ec;
    Path aside = path.string() + ".corrupt";
    // Up to the first free name, however many are kept: the rename would
    // replace a kept file.
    for (long n = 1; std::filesystem::exists(std::filesystem::symlink_status(aside, ec)); ++n)
        aside = path.string() + ".corrupt." + std::to_string(n);
    std::filesystem::rename(path, aside, ec);
    if (ec) {
        if (why) *why = ec.message();
        return std::nullopt;
    }
    return aside;
}

bool fileExists(const Path& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

std::optional<std::string> programOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path ? path : "");
    std::string dir;
    while (std::getline(dirs, dir, ':'))
        if (!dir.empty() && ::access((dir + "/" + program).c_str(), X_OK) == 0)
            return dir + "/" + program;
    return std::nullopt;
}

void setAtomicWriteHook(std::function<void(const Path& temporary)> hook) {
    std::lock_guard lock(gMutex);
    gAtomicWriteHook = std::move(hook);
}

void setFileSyncHook(std::function<void(const Path& file)> hook) {
    std::lock_guard lock(gMutex);
    gFileSyncHook = std::move(hook);
}

}  // namespace platform::files
