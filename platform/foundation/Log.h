#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace foundation {

/// Writes one line to standard error: "YYYY-MM-DD HH:MM:SS.mmm parlivo[pid] message".
/// The message is taken as it stands (no format expansion); line breaks inside it are kept,
/// so the caller is responsible for one-line texts. Safe to call from any thread.
void log(const std::string& message);

/// printf-style form of log(): logf("Failed to open database with message '%s'.", err).
void logf(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

/// Sets the program name shown in every line ("parlivo" unless changed).
void setLogProgramName(std::string name);

/// Captures the messages logged while it lives, in order, instead of (or besides) writing
/// them to standard error. Captures nest; the innermost one receives the lines. Meant for
/// tests, which check the system's fixed log texts.
class LogCapture {
public:
    explicit LogCapture(bool alsoWriteToStderr = false);
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    /// The messages captured so far (without time stamp or program name).
    std::vector<std::string> lines() const;
    /// Whether some captured message equals text exactly.
    bool contains(const std::string& text) const;
    /// Whether some captured message contains fragment.
    bool containsFragment(const std::string& fragment) const;
    void clear();

private:
    friend void log(const std::string&);
    void append(const std::string& message);

    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines;
    bool m_alsoWrite { false };
    LogCapture* m_previous { nullptr };
};

} // namespace foundation
