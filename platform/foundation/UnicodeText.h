#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace foundation {

/// Whether text is well-formed UTF-8: no stray or missing continuation bytes, no overlong
/// forms, no surrogates, nothing above U+10FFFF. Text that fails is what the platform
/// refuses to turn into a string.
bool isValidUtf8(std::string_view text);

/// text with full Unicode case folding applied (so "STRASSE" and "straße" fold alike), for
/// case-insensitive comparison and search; none when text is not valid UTF-8. Plain ASCII
/// is folded without ICU, which keeps loops over many short titles cheap.
std::optional<std::string> caseFolded(std::string_view text);

} // namespace foundation
