#include "foundation/Log.h"

#include "foundation/StringFormat.h"

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace foundation {

namespace {

std::mutex& logMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::string& programName()
{
    static std::string name = "parlivo";
    return name;
}

LogCapture*& activeCapture()
{
    static LogCapture* capture = nullptr;
    return capture;
}

void writeLine(const std::string& message)
{
    using namespace std::chrono;
    auto now = system_clock::now();
    std::time_t seconds = system_clock::to_time_t(now);
    auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local {};
    localtime_r(&seconds, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    std::string line = format("%s.%03d %s[%d] ", stamp, static_cast<int>(millis), programName().c_str(),
        static_cast<int>(getpid()));
    line += message;
    line += '\n';
    // One write call per line keeps lines from different threads and processes whole.
    ssize_t ignored = ::write(STDERR_FILENO, line.data(), line.size());
    (void)ignored;
}

} // namespace

void setLogProgramName(std::string name)
{
    std::lock_guard lock(logMutex());
    programName() = std::move(name);
}

void log(const std::string& message)
{
    std::lock_guard lock(logMutex());
    LogCapture* capture = activeCapture();
    if (capture) {
        capture->append(message);
        if (!capture->m_alsoWrite)
            return;
    }
    writeLine(message);
}

void logf(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    std::string message = vformat(fmt, args);
    va_end(args);
    log(message);
}

LogCapture::LogCapture(bool alsoWriteToStderr)
    : m_alsoWrite(alsoWriteToStderr)
{
    std::lock_guard lock(logMutex());
    m_previous = activeCapture();
    activeCapture() = this;
}

LogCapture::~LogCapture()
{
    std::lock_guard lock(logMutex());
    if (activeCapture() == this)
        activeCapture() = m_previous;
}

void LogCapture::append(const std::string& message)
{
    std::lock_guard lock(m_mutex);
    m_lines.push_back(message);
}

std::vector<std::string> LogCapture::lines() const
{
    std::lock_guard lock(m_mutex);
    return m_lines;
}

bool LogCapture::contains(const std::string& text) const
{
    std::lock_guard lock(m_mutex);
    return std::find(m_lines.begin(), m_lines.end(), text) != m_lines.end();
}

bool LogCapture::containsFragment(const std::string& fragment) const
{
    std::lock_guard lock(m_mutex);
    return std::any_of(m_lines.begin(), m_lines.end(),
        [&](const std::string& line) { return line.find(fragment) != std::string::npos; });
}

void LogCapture::clear()
{
    std::lock_guard lock(m_mutex);
    m_lines.clear();
}

} // namespace foundation
