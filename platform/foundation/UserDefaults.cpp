#include "foundation/UserDefaults.h"

#include "foundation/FileManager.h"
#include "foundation/Log.h"
#include "foundation/StringValue.h"
#include "foundation/UnicodeText.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace foundation {

namespace {

constexpr const char* kHeader = "# parlivo settings 1";

std::unique_ptr<UserDefaults>& standardStorage()
{
    static std::unique_ptr<UserDefaults> store;
    return store;
}

std::mutex& standardMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::string escape(const std::string& text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '=': out += "\\e"; break;
        default: out += c;
        }
    }
    return out;
}

std::optional<std::string> unescape(std::string_view text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size())
            return std::nullopt;
        switch (text[i]) {
        case '\\': out += '\\'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 'e': out += '='; break;
        default: return std::nullopt;
        }
    }
    return out;
}

// Holds the cross-process lock on "<file>.lock" for one read-modify-write.
class FileLock {
public:
    explicit FileLock(const std::string& path)
    {
        m_fd = ::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_fd >= 0) {
            while (::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }
    ~FileLock()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    int m_fd { -1 };
};

std::string asideName(const std::string& path)
{
    std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    std::string base = path + ".corrupt-" + stamp;
    std::string candidate = base;
    for (int n = 1; fileExists(candidate); ++n)
        candidate = base + "-" + std::to_string(n);
    return candidate;
}

// A copy of the settings file kept aside earlier that holds exactly text, if there is one.
std::optional<std::string> copyAsideWithContent(const std::string& path, const std::string& text)
{
    const auto slash = path.find_last_of('/');
    const std::string directory = slash == std::string::npos ? "." : path.substr(0, slash);
    const std::string prefix = path.substr(slash == std::string::npos ? 0 : slash + 1) + ".corrupt-";
    for (const auto& name : contentsOfDirectory(directory)) {
        if (!name.starts_with(prefix))
            continue;
        const std::string candidate = directory + "/" + name;
        if (fileSize(candidate) == text.size() && readFile(candidate) == text)
            return candidate;
    }
    return std::nullopt;
}

} // namespace

UserDefaults& UserDefaults::standardUserDefaults()
{
    std::lock_guard lock(standardMutex());
    auto& store = standardStorage();
    if (!store)
        store = std::make_unique<UserDefaults>(standardSettingsPath());
    return *store;
}

void UserDefaults::resetStandardUserDefaults()
{
    std::lock_guard lock(standardMutex());
    standardStorage().reset();
}

std::string UserDefaults::standardSettingsPath()
{
    return configHome() + "/parlivo/settings";
}

UserDefaults::UserDefaults(std::string path)
    : m_path(std::move(path))
{
}

void UserDefaults::registerDefaults(const std::map<std::string, std::string>& defaults)
{
    std::lock_guard lock(m_mutex);
    for (const auto& [key, value] : defaults)
        m_defaults[key] = value;
}

UserDefaults::FileStamp UserDefaults::stampOfFile() const
{
    struct stat info;
    if (::stat(m_path.c_str(), &info) != 0)
        return {};
    return { true, info.st_ino, info.st_size,
        static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec };
}

std::string UserDefaults::serialize(const std::map<std::string, std::string>& values)
{
    std::string text = std::string(kHeader) + "\n";
    for (const auto& [key, value] : values)
        text += escape(key) + "=" + escape(value) + "\n";
    return text;
}

std::map<std::string, std::string> UserDefaults::parse(const std::string& text, std::string* problems)
{
    std::vector<std::string> skipped;
    std::string_view rest(text);
    std::map<std::string, std::string> values;
    int lineNumber = 0;
    while (!rest.empty()) {
        ++lineNumber;
        // The program writes whole files (renamed into place), so a last line without a line
        // break comes from an editor or `echo -n`, not from a torn write: it counts like any.
        size_t lineEnd = rest.find('\n');
        std::string_view line = rest.substr(0, lineEnd);
        rest.remove_prefix(lineEnd == std::string_view::npos ? rest.size() : lineEnd + 1);
        if (lineNumber == 1 && line == kHeader)
            continue;
        size_t equals = line.find('=');
        auto key = equals == std::string_view::npos ? std::nullopt : unescape(line.substr(0, equals));
        auto value = key ? unescape(line.substr(equals + 1)) : std::nullopt;
        // One bad line costs only itself: the other settings stay.
        if (!isValidUtf8(line) || !key || !value || key->empty()) {
            skipped.push_back("malformed line " + std::to_string(lineNumber));
            continue;
        }
        values[*key] = *value;
    }
    if (problems) {
        problems->clear();
        for (const auto& item : skipped)
            *problems += (problems->empty() ? "" : ", ") + item;
    }
    return values;
}

std::map<std::string, std::string> UserDefaults::readFileLocked()
{
    m_loadedStamp = stampOfFile();
    m_loaded = true;
    if (!m_loadedStamp.exists)
        return {};
    auto text = readFile(m_path);
    std::string problems = "cannot be read";
    std::map<std::string, std::string> values;
    if (text)
        values = parse(*text, &problems);
    if (problems.empty())
        return values;
    // Every process that reads the file meets its bad lines: one copy of each content is
    // enough, however many read it.
    auto kept = text ? copyAsideWithContent(m_path, *text) : std::nullopt;
    std::string aside = kept.value_or(asideName(m_path));
    if (!values.empty()) {
        if (m_loadedStamp == m_reportedStamp)
            return values;
        m_reportedStamp = m_loadedStamp;
        // The file stays in use for its good lines; the copy keeps the bad ones for the user,
        // and the next change writes the file without them.
        if (kept || (text && writeFileAtomically(aside, *text)))
            logf("Settings file '%s' has unreadable lines (%s); a copy is kept as '%s', the other settings are used.", m_path.c_str(), problems.c_str(), aside.c_str());
        else
            logf("Settings file '%s' has unreadable lines (%s); the other settings are used.", m_path.c_str(), problems.c_str());
        return values;
    }
    if (kept && ::unlink(m_path.c_str()) == 0)
        logf("Settings file '%s' is unreadable (%s); a copy is kept as '%s', settings start empty.", m_path.c_str(), problems.c_str(), aside.c_str());
    else if (::rename(m_path.c_str(), aside.c_str()) == 0)
        logf("Settings file '%s' is unreadable (%s); kept as '%s', settings start empty.", m_path.c_str(), problems.c_str(), aside.c_str());
    else
        logf("Settings file '%s' is unreadable (%s) and could not be moved aside: %s; settings start empty.", m_path.c_str(), problems.c_str(), std::strerror(errno));
    m_loadedStamp = stampOfFile();
    return {};
}

void UserDefaults::refreshIfChanged()
{
    if (m_loaded && stampOfFile() == m_loadedStamp)
        return;
    m_values = readFileLocked();
}

std::optional<std::string> UserDefaults::objectForKey(const std::string& key)
{
    std::lock_guard lock(m_mutex);
    refreshIfChanged();
    if (auto it = m_values.find(key); it != m_values.end())
        return it->second;
    if (auto it = m_defaults.find(key); it != m_defaults.end())
        return it->second;
    return std::nullopt;
}

bool UserDefaults::boolForKey(const std::string& key)
{
    auto value = objectForKey(key);
    return value && boolValue(*value);
}

std::int64_t UserDefaults::integerForKey(const std::string& key)
{
    auto value = objectForKey(key);
    return value ? integerValue(*value) : 0;
}

float UserDefaults::floatForKey(const std::string& key)
{
    auto value = objectForKey(key);
    return value ? floatValue(*value) : 0.0f;
}

double UserDefaults::doubleForKey(const std::string& key)
{
    auto value = objectForKey(key);
    return value ? doubleValue(*value) : 0.0;
}

bool UserDefaults::writeChange(const std::string& key, const std::optional<std::string>& value)
{
    std::string directory = m_path.substr(0, m_path.find_last_of('/'));
    if (!directory.empty() && !fileExists(directory))
        createDirectory(directory);
    FileLock fileLock(m_path);
    // Start from what is on disk now, so changes other processes made to other keys survive.
    auto values = readFileLocked();
    if (value)
        values[key] = *value;
    else
        values.erase(key);
    std::string error;
    bool written = writeFileAtomically(m_path, serialize(values), &error);
    if (!written)
        logf("Cannot write settings file '%s': %s", m_path.c_str(), error.c_str());
    else
        m_loadedStamp = stampOfFile();
    m_values = std::move(values);
    return written;
}

bool UserDefaults::setObjectForKey(const std::string& value, const std::string& key)
{
    std::lock_guard lock(m_mutex);
    return writeChange(key, value);
}

bool UserDefaults::removeObjectForKey(const std::string& key)
{
    std::lock_guard lock(m_mutex);
    return writeChange(key, std::nullopt);
}

std::map<std::string, std::string> UserDefaults::dictionaryRepresentation()
{
    std::lock_guard lock(m_mutex);
    refreshIfChanged();
    auto all = m_defaults;
    for (const auto& [key, value] : m_values)
        all[key] = value;
    return all;
}

std::map<std::string, std::string> UserDefaults::persistentValues()
{
    std::lock_guard lock(m_mutex);
    refreshIfChanged();
    return m_values;
}

} // namespace foundation
