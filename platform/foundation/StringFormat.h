#pragma once

#include <cstdarg>
#include <string>

namespace foundation {

/// Formats like printf into a new string. The system's fixed log and display texts use
/// printf conversions ("%s", "%i", "%d"), so they can be passed here unchanged.
/// A format that fails to expand yields the empty string.
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

/// The va_list form of format().
std::string vformat(const char* fmt, va_list args);

/// Formats a text that came from the string table (a "format" key such as one holding "%@")
/// with exactly one string argument. "%@" and "%s" are both taken as that argument, "%%"
/// as a percent sign; any other conversion is copied as it stands, so a translated text can
/// never read arguments that were not passed.
std::string formatWithString(const std::string& fmt, const std::string& argument);

} // namespace foundation
