#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace foundation {

/// The per-user settings store. Every value is a string; the typed reads convert it with the
/// rules of StringValue.h. Registered defaults answer for keys that hold no value of their
/// own and are never written. Stored values live in one file, "settings", under
/// $XDG_CONFIG_HOME/parlivo/ (owner-only), and every change is written at once:
///
/// - atomically (a temporary file renamed over the old one), so a process killed while it
///   writes leaves the old or the new file, never a torn one;
/// - under an exclusive lock on "settings.lock", re-reading the file first and applying only
///   the key that changed, so two processes that write different keys keep both changes;
/// - reads notice a file changed by another process (the `parlivo defaults` command).
///
/// A file with unreadable lines is logged in one line and copied aside with them; its good
/// lines stay in use. A file with no good line at all is renamed aside (never deleted) and
/// read as empty. One copy of each content is kept: a process that finds a copy of the same
/// bytes aside already makes none (one that would rename removes the file instead). Main-thread use is expected; the store is nonetheless internally locked.
class UserDefaults {
public:
    /// The process-wide store, on the settings file of the current environment.
    static UserDefaults& standardUserDefaults();
    /// Drops the process-wide store; the next standardUserDefaults() opens the file afresh
    /// (tests change $XDG_CONFIG_HOME and start over).
    static void resetStandardUserDefaults();
    /// The settings file used by standardUserDefaults().
    static std::string standardSettingsPath();

    /// A store on the given file (tests, tools).
    explicit UserDefaults(std::string path);

    /// Adds defaults; a key registered again takes the newer default.
    void registerDefaults(const std::map<std::string, std::string>& defaults);

    /// The stored value, else the registered default, else none.
    std::optional<std::string> objectForKey(const std::string& key);
    std::optional<std::string> stringForKey(const std::string& key) { return objectForKey(key); }
    bool boolForKey(const std::string& key);
    std::int64_t integerForKey(const std::string& key);
    float floatForKey(const std::string& key);
    double doubleForKey(const std::string& key);

    /// Stores value under key and writes the file; false (and a log line) when the write failed,
    /// in which case the value still answers in this process.
    bool setObjectForKey(const std::string& value, const std::string& key);
    /// Removes the stored value, bringing back the default.
    bool removeObjectForKey(const std::string& key);

    /// Every key that has a stored value or a default, with the value that answers for it.
    std::map<std::string, std::string> dictionaryRepresentation();
    /// Only the stored values.
    std::map<std::string, std::string> persistentValues();

    const std::string& path() const { return m_path; }

    /// Serialises and parses the file format (exposed for tests).
    static std::string serialize(const std::map<std::string, std::string>& values);
    /// Parsing keeps every well-formed line; problems is set to a description of the lines it
    /// skipped (malformed or not UTF-8), or emptied when there were none. A last line without a
    /// line break counts like any other.
    static std::map<std::string, std::string> parse(const std::string& text, std::string* problems);

private:
    struct FileStamp {
        bool exists { false };
        ino_t inode { 0 };
        off_t size { 0 };
        std::int64_t modified { 0 };
        bool operator==(const FileStamp&) const = default;
    };

    void refreshIfChanged();
    std::map<std::string, std::string> readFileLocked();
    FileStamp stampOfFile() const;
    bool writeChange(const std::string& key, const std::optional<std::string>& value);

    std::mutex m_mutex;
    std::string m_path;
    std::map<std::string, std::string> m_defaults;
    std::map<std::string, std::string> m_values;
    FileStamp m_loadedStamp;
    /// The file whose bad lines were last reported, so that re-reading it says nothing more.
    FileStamp m_reportedStamp;
    bool m_loaded { false };
};

} // namespace foundation
