#include "foundation/StringValue.h"

#include <clocale>
#include <cstdlib>
#include <limits>
#include <locale.h>
#include <string>

namespace foundation {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view skipBlanks(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    return text.substr(i);
}

} // namespace

bool boolValue(std::string_view text)
{
    text = skipBlanks(text);
    if (!text.empty() && (text.front() == '+' || text.front() == '-'))
        text.remove_prefix(1);
    while (!text.empty() && text.front() == '0')
        text.remove_prefix(1);
    if (text.empty())
        return false;
    char c = text.front();
    return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

std::int64_t integerValue(std::string_view text)
{
    text = skipBlanks(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    std::uint64_t magnitude = 0;
    bool overflow = false;
    for (char c : text) {
        if (c < '0' || c > '9')
            break;
        if (magnitude > (std::numeric_limits<std::uint64_t>::max() - 9) / 10)
            overflow = true;
        else
            magnitude = magnitude * 10 + static_cast<std::uint64_t>(c - '0');
    }
    constexpr auto max = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    if (negative) {
        if (overflow || magnitude > max + 1)
            return std::numeric_limits<std::int64_t>::min();
        return magnitude == max + 1 ? std::numeric_limits<std::int64_t>::min() : -static_cast<std::int64_t>(magnitude);
    }
    if (overflow || magnitude > max)
        return std::numeric_limits<std::int64_t>::max();
    return static_cast<std::int64_t>(magnitude);
}

double doubleValue(std::string_view text)
{
    text = skipBlanks(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // Only plain decimal notation counts as a number; "inf" and "nan" read as no number.
    if (text.empty() || !((text.front() >= '0' && text.front() <= '9') || text.front() == '.'))
        return 0;
    // strtod in the C locale reads the decimal point as '.'; hexadecimal forms are not
    // decimal text, so "0x10" reads as its leading 0.
    if (text.size() > 1 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        return 0;
    static locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
    std::string copy(text);
    double value = strtod_l(copy.c_str(), nullptr, cLocale);
    return negative ? -value : value;
}

} // namespace foundation
