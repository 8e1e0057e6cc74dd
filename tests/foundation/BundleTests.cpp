#include "TestEnvironment.h"

#include "foundation/Bundle.h"
#include "foundation/Calendar.h"
#include "foundation/FileManager.h"
#include "foundation/StringTable.h"

#include <cstdint>
#include <cstring>
#include <vector>

using namespace foundation;

namespace {

// Builds a compiled gettext catalogue (the .mo layout) from key/text pairs, sorted by key.
std::string makeCatalogue(std::vector<std::pair<std::string, std::string>> entries)
{
    std::sort(entries.begin(), entries.end());
    auto word = [](std::string& out, std::uint32_t value) { out.append(reinterpret_cast<const char*>(&value), 4); };
    const auto count = static_cast<std::uint32_t>(entries.size());
    const std::uint32_t originals = 28, translations = originals + 8 * count;
    std::uint32_t dataOffset = translations + 8 * count;
    std::string header, originalTable, translationTable, data;
    word(header, 0x950412de);
    word(header, 0);
    word(header, count);
    word(header, originals);
    word(header, translations);
    word(header, 0);
    word(header, 0);
    for (const auto& [key, text] : entries) {
        word(originalTable, static_cast<std::uint32_t>(key.size()));
        word(originalTable, dataOffset + static_cast<std::uint32_t>(data.size()));
        data += key + '\0';
    }
    for (const auto& [key, text] : entries) {
        word(translationTable, static_cast<std::uint32_t>(text.size()));
        word(translationTable, dataOffset + static_cast<std::uint32_t>(data.size()));
        data += text + '\0';
    }
    return header + originalTable + translationTable + data;
}

class BundleTest : public testsupport::TestEnvironment {
protected:
    void SetUp() override
    {
        TestEnvironment::SetUp();
        m_resources = rootDirectory() + "/resources";
        createDirectory(m_resources + "/strings");
        setenv("PARLIVO_RESOURCES", m_resources.c_str(), 1);
        Bundle::resetMain();
    }
    void TearDown() override
    {
        unsetenv("PARLIVO_RESOURCES");
        unsetenv("LANGUAGE");
        Bundle::resetMain();
        TestEnvironment::TearDown();
    }
    std::string m_resources;
};

} // namespace

TEST_F(BundleTest, LooksUpTheUserLanguageThenEnglishThenTheKey)
{
    writeFileAtomically(m_resources + "/strings/en.mo",
        makeCatalogue({ { "General", "General" }, { "Today", "Today" }, { "Playing Prompt", "Playing %@" } }));
    writeFileAtomically(m_resources + "/strings/de.mo", makeCatalogue({ { "General", "Allgemein" }, { "Today", "" } }));
    setenv("LANGUAGE", "de_AT:fr", 1);

    auto& bundle = Bundle::main();
    EXPECT_EQ(bundle.localizedString("General"), "Allgemein");
    EXPECT_EQ(bundle.localizedString("Today"), "Today"); // empty translation: base table
    EXPECT_EQ(bundle.localizedString("Playing Prompt"), "Playing %@");
    EXPECT_EQ(bundle.localizedString("No Such Key"), "No Such Key");
    EXPECT_EQ(bundle.localizedString("No Such Key", "fallback"), "fallback");
}

TEST_F(BundleTest, EnglishWantedBeforeAnotherLanguageWins)
{
    writeFileAtomically(m_resources + "/strings/en.mo", makeCatalogue({ { "General", "General" } }));
    writeFileAtomically(m_resources + "/strings/de.mo", makeCatalogue({ { "General", "Allgemein" } }));
    setenv("LANGUAGE", "en_GB:de", 1);
    EXPECT_EQ(Bundle::main().localizedString("General"), "General");
    EXPECT_EQ(Bundle::main().displayLanguage(), "en");

    setenv("LANGUAGE", "fr:de_AT:en", 1);
    Bundle::resetMain();
    EXPECT_EQ(Bundle::main().localizedString("General"), "Allgemein");
    EXPECT_EQ(Bundle::main().displayLanguage(), "de") << "no French table: the next language";
}

TEST(FormattingLocale, DatesSpeakTheLanguageOfTheTextsWithTheUsersRegion)
{
    EXPECT_EQ(formattingLocale("de", nullptr, nullptr, "de_AT.UTF-8"), "de_AT");
    EXPECT_EQ(formattingLocale("de", nullptr, nullptr, "en_US.UTF-8"), "de_US") << "German texts, American conventions";
    EXPECT_EQ(formattingLocale("fr", nullptr, nullptr, "C.UTF-8"), "fr");
    EXPECT_EQ(formattingLocale("fr", nullptr, nullptr, nullptr), "fr");
    EXPECT_EQ(formattingLocale("fr", nullptr, "POSIX", "de_DE.UTF-8"), "fr") << "LC_TIME before LANG";
    EXPECT_EQ(formattingLocale("de", "de_CH.UTF-8@euro", "en_GB", "en_GB"), "de_CH") << "LC_ALL first";
    EXPECT_EQ(formattingLocale("fr_CA", nullptr, nullptr, "en_US.UTF-8"), "fr_CA") << "the language's own region";
    EXPECT_EQ(formattingLocale("en", nullptr, "", "en_GB.UTF-8"), "en_GB");
    EXPECT_EQ(formattingLocale("", nullptr, nullptr, "it_IT.UTF-8"), "it_IT");
    EXPECT_EQ(formattingLocale("", nullptr, nullptr, "C"), "");
}

TEST_F(BundleTest, MissingOrBrokenTablesYieldTheKey)
{
    writeFileAtomically(m_resources + "/strings/en.mo", "not a catalogue");
    EXPECT_EQ(Bundle::main().localizedString("Untitled Recording"), "Untitled Recording");
}

TEST_F(BundleTest, FindsResourcesByNameAndTypeAndKnowsItsVersion)
{
    writeFileAtomically(m_resources + "/beep.caf", "x");
    auto& bundle = Bundle::main();
    EXPECT_EQ(bundle.pathForResource("beep", "caf"), m_resources + "/beep.caf");
    EXPECT_FALSE(bundle.pathForResource("crumple", "caf").has_value());
    EXPECT_EQ(bundle.objectForInfoDictionaryKey("CFBundleVersion"), programVersion());
    EXPECT_FALSE(programVersion().empty());
}

TEST(StringTable, PreferredLanguagesComeFromTheEnvironment)
{
    setenv("LANGUAGE", "", 1);
    setenv("LC_ALL", "", 1);
    setenv("LC_MESSAGES", "pt_BR.UTF-8", 1);
    EXPECT_EQ(preferredLanguages(), (std::vector<std::string> { "pt_BR", "pt" }));
    setenv("LC_MESSAGES", "C", 1);
    EXPECT_TRUE(preferredLanguages().empty());
    unsetenv("LC_MESSAGES");
}
