// The settings file: any bytes parse to the good lines they hold, and what parses writes back
// to a file that parses to the same values with nothing skipped.
#include "foundation/UserDefaults.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    std::string problems;
    auto values = foundation::UserDefaults::parse(std::string(reinterpret_cast<const char*>(data), size), &problems);
    std::string again;
    auto reread = foundation::UserDefaults::parse(foundation::UserDefaults::serialize(values), &again);
    if (reread != values || !again.empty())
        std::abort();
    return 0;
}
