#include "foundation/Bundle.h"

#include "foundation/FileManager.h"
#include "foundation/GeneratedVersion.h"

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace foundation {

namespace {

std::unique_ptr<Bundle>& mainStorage()
{
    static std::unique_ptr<Bundle> bundle;
    return bundle;
}

std::mutex& mainMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::string executableDirectory()
{
    std::error_code error;
    auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : path.parent_path().string();
}

std::string findResourceDirectory()
{
    if (const char* explicitPath = std::getenv("PARLIVO_RESOURCES"); explicitPath && explicitPath[0])
        return explicitPath;
    std::string directory = executableDirectory();
    for (const char* candidate : { "/resources", "/../share/parlivo" }) {
        std::string path = directory + candidate;
        if (fileExists(path))
            return std::filesystem::weakly_canonical(path).string();
    }
    return {};
}

} // namespace

Bundle& Bundle::main()
{
    std::lock_guard lock(mainMutex());
    auto& bundle = mainStorage();
    if (!bundle)
        bundle = std::make_unique<Bundle>();
    return *bundle;
}

void Bundle::resetMain()
{
    std::lock_guard lock(mainMutex());
    mainStorage().reset();
}

std::string Bundle::resourcePath()
{
    std::lock_guard lock(m_mutex);
    if (!m_resourcePath)
        m_resourcePath = findResourceDirectory();
    return *m_resourcePath;
}

std::optional<std::string> Bundle::pathForResource(const std::string& name, const std::string& type)
{
    std::string directory = resourcePath();
    if (directory.empty() || name.empty())
        return std::nullopt;
    std::string path = directory + "/" + name + (type.empty() ? "" : "." + type);
    if (!fileExists(path))
        return std::nullopt;
    return path;
}

std::optional<std::string> Bundle::objectForInfoDictionaryKey(const std::string& key) const
{
    if (key == "CFBundleVersion")
        return std::string(PARLIVO_VERSION);
    if (key == "CFBundleName")
        return std::string("Parlivo");
    return std::nullopt;
}

void Bundle::loadTablesLocked()
{
    m_tablesLoaded = true;
    std::string directory = *m_resourcePath + "/strings/";
    std::vector<std::string> languages = preferredLanguages();
    languages.push_back("en");
    for (const auto& language : languages) {
        if (auto table = StringTable::load(directory + language + ".mo")) {
            if (m_tables.empty())
                m_displayLanguage = language;
            m_tables.push_back(std::move(*table));
        }
        // English is the base table, complete: a language wanted after it is never reached.
        if (language == "en")
            break;
    }
}

std::string Bundle::displayLanguage()
{
    resourcePath();
    std::lock_guard lock(m_mutex);
    if (!m_tablesLoaded)
        loadTablesLocked();
    return m_displayLanguage;
}

std::string Bundle::localizedString(const std::string& key, const std::string& value, const std::string&)
{
    resourcePath();
    std::lock_guard lock(m_mutex);
    if (!m_tablesLoaded)
        loadTablesLocked();
    for (const auto& table : m_tables) {
        if (auto text = table.lookup(key))
            return *text;
    }
    return value.empty() ? key : value;
}

std::string localizedString(const std::string& key)
{
    return Bundle::main().localizedString(key);
}

std::string programVersion()
{
    return PARLIVO_VERSION;
}

} // namespace foundation
