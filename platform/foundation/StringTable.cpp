#include "foundation/StringTable.h"

#include "foundation/FileManager.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace foundation {

namespace {

std::optional<std::uint32_t> readWord(const std::string& bytes, size_t offset, bool swap)
{
    if (offset + 4 > bytes.size())
        return std::nullopt;
    std::uint32_t word;
    std::memcpy(&word, bytes.data() + offset, 4);
    return swap ? __builtin_bswap32(word) : word;
}

std::optional<std::string> readString(const std::string& bytes, size_t tableOffset, std::uint32_t index, bool swap)
{
    auto length = readWord(bytes, tableOffset + index * 8, swap);
    auto offset = readWord(bytes, tableOffset + index * 8 + 4, swap);
    if (!length || !offset || static_cast<size_t>(*offset) + *length > bytes.size())
        return std::nullopt;
    return bytes.substr(*offset, *length);
}

void addLanguage(std::vector<std::string>& list, const std::string& value)
{
    std::string language = value.substr(0, value.find_first_of(".@"));
    if (language.empty() || language == "C" || language == "POSIX")
        return;
    auto add = [&](const std::string& name) {
        for (const auto& existing : list) {
            if (existing == name)
                return;
        }
        list.push_back(name);
    };
    add(language);
    if (auto underscore = language.find('_'); underscore != std::string::npos)
        add(language.substr(0, underscore));
}

} // namespace

std::optional<StringTable> StringTable::load(const std::string& path)
{
    auto bytes = readFile(path);
    if (!bytes)
        return std::nullopt;
    return parse(*bytes);
}

std::optional<StringTable> StringTable::parse(const std::string& bytes)
{
    auto magic = readWord(bytes, 0, false);
    if (!magic)
        return std::nullopt;
    bool swap;
    if (*magic == 0x950412de)
        swap = false;
    else if (*magic == 0xde120495)
        swap = true;
    else
        return std::nullopt;
    auto count = readWord(bytes, 8, swap);
    auto originals = readWord(bytes, 12, swap);
    auto translations = readWord(bytes, 16, swap);
    if (!count || !originals || !translations)
        return std::nullopt;
    StringTable table;
    for (std::uint32_t i = 0; i < *count; ++i) {
        auto key = readString(bytes, *originals, i, swap);
        auto text = readString(bytes, *translations, i, swap);
        if (!key || !text)
            return std::nullopt;
        // The header entry (empty msgid) and entries with a context (msgctxt, joined by
        // \x04) are not display texts; of plural forms only the first is taken.
        if (key->empty() || key->find('\x04') != std::string::npos)
            continue;
        *key = key->substr(0, key->find('\0'));
        *text = text->substr(0, text->find('\0'));
        if (!text->empty())
            table.m_texts.emplace(std::move(*key), std::move(*text));
    }
    return table;
}

std::optional<std::string> StringTable::lookup(const std::string& key) const
{
    if (auto it = m_texts.find(key); it != m_texts.end())
        return it->second;
    return std::nullopt;
}

std::vector<std::string> preferredLanguages()
{
    std::vector<std::string> list;
    if (const char* language = std::getenv("LANGUAGE"); language && language[0]) {
        std::string all = language;
        size_t start = 0;
        while (start <= all.size()) {
            size_t end = all.find(':', start);
            addLanguage(list, all.substr(start, end == std::string::npos ? std::string::npos : end - start));
            if (end == std::string::npos)
                break;
            start = end + 1;
        }
    }
    for (const char* variable : { "LC_ALL", "LC_MESSAGES", "LANG" }) {
        if (const char* value = std::getenv(variable); value && value[0]) {
            addLanguage(list, value);
            break;
        }
    }
    return list;
}

} // namespace foundation
