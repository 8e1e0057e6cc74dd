// The compiled string tables: any bytes either parse or are refused, and a parsed table answers
// lookups without reading outside the bytes.
#include "foundation/StringTable.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    if (auto table = foundation::StringTable::parse(bytes)) {
        for (const char* key : { "", "General", "Untitled Recording", "Playing Prompt" })
            (void)table->lookup(key);
    }
    return 0;
}
