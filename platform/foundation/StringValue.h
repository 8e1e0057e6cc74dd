#pragma once

#include <cstdint>
#include <string_view>

namespace foundation {

/// Reads text the way the platform reads string values as numbers and flags. All three skip
/// leading blanks (spaces, tabs, line breaks) and ignore whatever follows the part they use.

/// True when, after blanks, an optional sign and leading zeros, the text begins with Y, y,
/// T, t or a digit 1 to 9: "Yes", "true", "1", " 007" are true; "NO", "0", "", "x" are false.
bool boolValue(std::string_view text);

/// The leading decimal integer (with optional sign); 0 when there is none. Values beyond the
/// 64-bit range saturate.
std::int64_t integerValue(std::string_view text);

/// The leading decimal number, with an optional fraction and exponent and a '.' as decimal
/// point whatever the locale; 0 when there is none.
double doubleValue(std::string_view text);
inline float floatValue(std::string_view text) { return static_cast<float>(doubleValue(text)); }

} // namespace foundation
