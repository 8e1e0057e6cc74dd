#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace foundation {

/// One language's display texts, read from a compiled gettext catalogue (.mo). Keys are the
/// catalogue's msgids; contexts and plural forms are not used by the system and are skipped.
class StringTable {
public:
    /// Reads the catalogue at path; none when the file is missing or is not a catalogue.
    static std::optional<StringTable> load(const std::string& path);
    /// Parses catalogue bytes.
    static std::optional<StringTable> parse(const std::string& bytes);

    /// The text of key, or none. An entry with an empty translation counts as missing.
    std::optional<std::string> lookup(const std::string& key) const;
    size_t size() const { return m_texts.size(); }

private:
    std::map<std::string, std::string> m_texts;
};

/// The languages to try for the user, most wanted first, from $LANGUAGE, $LC_ALL,
/// $LC_MESSAGES and $LANG: "de_AT.UTF-8" gives "de_AT" then "de". "C" and "POSIX" give none.
std::vector<std::string> preferredLanguages();

} // namespace foundation
