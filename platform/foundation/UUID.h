#pragma once

#include <string>

namespace foundation {

/// A fresh random (version 4) UUID as 36 characters: upper-case hexadecimal digits in groups
/// of 8, 4, 4, 4 and 12 separated by hyphens. The randomness comes from the kernel.
std::string makeUUIDString();

/// Whether text has exactly that form (upper- or lower-case digits). Names that pass can be
/// used as file names: they hold no '/', no '.' and nothing else but hex digits and hyphens.
bool isUUIDString(const std::string& text);

} // namespace foundation
