#pragma once

#include "foundation/StringTable.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace foundation {

/// The program's bundle: its resource directory, its version and its display texts.
///
/// The resource directory is $PARLIVO_RESOURCES when set, else "resources" beside the
/// executable (the build tree), else "../share/parlivo" relative to it (an installed
/// program). Display texts come from "strings/<language>.mo" in that directory: the user's
/// languages first, up to English ("en.mo"), the base table, which is always last; then the
/// key itself.
class Bundle {
public:
    static Bundle& main();
    /// Forgets the cached directory and tables (tests change the environment).
    static void resetMain();

    /// The resource directory (without a trailing slash); empty when none was found.
    std::string resourcePath();
    /// The path of resource "name.type" when that file exists, else none. An empty type
    /// looks for the name as it stands.
    std::optional<std::string> pathForResource(const std::string& name, const std::string& type);
    /// The value of an information key: "CFBundleVersion" (the program's version) and
    /// "CFBundleName" are known.
    std::optional<std::string> objectForInfoDictionaryKey(const std::string& key) const;
    /// The display text of key. value is returned instead of the key when no table has the key
    /// and value is not empty; table names other than the default are not used.
    std::string localizedString(const std::string& key, const std::string& value = "", const std::string& table = "");

    /// The language of the display texts ("de", "fr_CA", "en"): the first of the user's
    /// languages that has a table; empty when no table was found.
    std::string displayLanguage();

private:
    void loadTablesLocked();

    std::mutex m_mutex;
    std::optional<std::string> m_resourcePath;
    std::vector<StringTable> m_tables;
    bool m_tablesLoaded { false };
    std::string m_displayLanguage;
};

/// Shorthand for Bundle::main().localizedString(key).
std::string localizedString(const std::string& key);

/// The program's version, as "CFBundleVersion" gives it.
std::string programVersion();

} // namespace foundation
