#include "foundation/FileManager.h"

#include "foundation/Log.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace foundation {

namespace fs = std::filesystem;

namespace {

std::mutex& documentsMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::string& documentsOverride()
{
    static std::string path;
    return path;
}

std::string xdgDirectory(const char* variable, const char* fallback)
{
    const char* value = std::getenv(variable);
    if (value && value[0] == '/')
        return value;
    return homeDirectory() + fallback;
}

void setError(std::string* error, const std::string& text)
{
    if (error)
        *error = text;
}

bool writeAll(int fd, const std::string& data)
{
    size_t written = 0;
    while (written < data.size()) {
        ssize_t n = ::write(fd, data.data() + written, data.size() - written);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        written += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

std::string homeDirectory()
{
    if (const char* home = std::getenv("HOME"); home && home[0])
        return home;
    if (passwd* entry = getpwuid(getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return "/tmp";
}

std::string configHome()
{
    return xdgDirectory("XDG_CONFIG_HOME", "/.config");
}

std::string dataHome()
{
    return xdgDirectory("XDG_DATA_HOME", "/.local/share");
}

std::string documentsDirectory()
{
    std::string path;
    {
        std::lock_guard lock(documentsMutex());
        path = documentsOverride().empty() ? dataHome() + "/parlivo/Documents" : documentsOverride();
    }
    if (!fileExists(path)) {
        std::string error;
        if (!createDirectory(path, &error))
            logf("Cannot create the documents directory '%s': %s", path.c_str(), error.c_str());
    }
    return path;
}

void setDocumentsDirectory(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    std::lock_guard lock(documentsMutex());
    documentsOverride() = std::move(path);
}

bool fileExists(const std::string& path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0;
}

bool copyItem(const std::string& from, const std::string& to, std::string* error)
{
    int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        setError(error, "The file \u201c" + fs::path(from).filename().string() + "\u201d couldn\u2019t be opened: " + std::strerror(errno));
        return false;
    }
    int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0) {
        setError(error, "The file \u201c" + fs::path(to).filename().string() + "\u201d couldn\u2019t be created: " + std::strerror(errno));
        ::close(in);
        return false;
    }
    char buffer[65536];
    bool ok = true;
    for (;;) {
        ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ok = false;
            break;
        }
        if (n == 0)
            break;
        if (!writeAll(out, std::string(buffer, static_cast<size_t>(n)))) {
            ok = false;
            break;
        }
    }
    if (ok && ::fsync(out) != 0)
        ok = false;
    int savedErrno = errno;
    ::close(in);
    ::close(out);
    if (!ok) {
        ::unlink(to.c_str());
        setError(error, std::string("The copy failed: ") + std::strerror(savedErrno));
    }
    return ok;
}

bool removeItem(const std::string& path, std::string* error)
{
    std::error_code code;
    if (fs::remove(path, code))
        return true;
    setError(error, code ? code.message() : "No such file or directory");
    return false;
}

std::optional<std::uint64_t> fileSize(const std::string& path)
{
    struct stat info;
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return static_cast<std::uint64_t>(info.st_size);
}

std::optional<double> modificationDate(const std::string& path)
{
    struct stat info;
    if (::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return static_cast<double>(info.st_mtim.tv_sec) + static_cast<double>(info.st_mtim.tv_nsec) / 1e9;
}

std::optional<ItemAttributes> attributesOfItem(const std::string& path)
{
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0)
        return std::nullopt;
    return ItemAttributes { S_ISREG(info.st_mode), static_cast<std::uint64_t>(info.st_size),
        static_cast<double>(info.st_mtim.tv_sec) + static_cast<double>(info.st_mtim.tv_nsec) / 1e9 };
}

std::vector<std::string> contentsOfDirectory(const std::string& path)
{
    // readdir itself: start-up lists a documents folder of many thousand memos, and a path
    // object per entry cost more than the listing.
    std::vector<std::string> names;
    DIR* directory = ::opendir(path.c_str());
    if (!directory)
        return names;
    while (const dirent* entry = ::readdir(directory)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0)
            names.emplace_back(name);
    }
    ::closedir(directory);
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<std::string> moveAside(const std::string& path, const std::string& suffix, std::string* error)
{
    std::string target = path + suffix;
    for (int n = 1; fileExists(target); ++n)
        target = path + suffix + "-" + std::to_string(n);
    if (::rename(path.c_str(), target.c_str()) != 0) {
        setError(error, std::strerror(errno));
        return std::nullopt;
    }
    return target;
}

bool createDirectory(const std::string& path, std::string* error)
{
    std::string partial;
    size_t position = 0;
    while (position != std::string::npos) {
        position = path.find('/', position + 1);
        partial = path.substr(0, position);
        if (partial.empty() || fileExists(partial))
            continue;
        if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
            setError(error, std::strerror(errno));
            return false;
        }
    }
    return true;
}

std::optional<std::string> readFile(const std::string& path)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::string content;
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        content.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return content;
}

bool writeFileAtomically(const std::string& path, const std::string& data, std::string* error)
{
    fs::path target(path);
    std::string directory = target.parent_path().string();
    if (directory.empty())
        directory = ".";
    std::string temporary = directory + "/." + target.filename().string() + ".XXXXXX";
    int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        setError(error, std::strerror(errno));
        return false;
    }
    ::fchmod(fd, 0600);
    bool ok = writeAll(fd, data) && ::fsync(fd) == 0;
    int savedErrno = errno;
    ::close(fd);
    if (!ok || ::rename(temporary.c_str(), path.c_str()) != 0) {
        if (ok)
            savedErrno = errno;
        ::unlink(temporary.c_str());
        setError(error, std::strerror(savedErrno));
        return false;
    }
    // Flush the directory entry too, so the rename itself survives a power cut.
    int dirFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

} // namespace foundation
