#include "foundation/StringFormat.h"

#include <cstdio>
#include <vector>

namespace foundation {

std::string vformat(const char* fmt, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    char small[256];
    int needed = std::vsnprintf(small, sizeof small, fmt, copy);
    va_end(copy);
    if (needed < 0)
        return {};
    if (static_cast<size_t>(needed) < sizeof small)
        return std::string(small, static_cast<size_t>(needed));
    std::vector<char> big(static_cast<size_t>(needed) + 1);
    std::vsnprintf(big.data(), big.size(), fmt, args);
    return std::string(big.data(), static_cast<size_t>(needed));
}

std::string format(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    std::string result = vformat(fmt, args);
    va_end(args);
    return result;
}

std::string formatWithString(const std::string& fmt, const std::string& argument)
{
    std::string out;
    out.reserve(fmt.size() + argument.size());
    bool used = false;
    for (size_t i = 0; i < fmt.size(); ++i) {
        if (fmt[i] == '%' && i + 1 < fmt.size()) {
            char c = fmt[i + 1];
            if (c == '%') {
                out += '%';
                ++i;
                continue;
            }
            if ((c == '@' || c == 's') && !used) {
                out += argument;
                used = true;
                ++i;
                continue;
            }
        }
        out += fmt[i];
    }
    return out;
}

} // namespace foundation
