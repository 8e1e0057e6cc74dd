// The string tables against the code: a key looked up in the sources must have an English
// text, and a translation must give the same format arguments, in the same order, as the
// English text it stands for (a "%s" lost or turned into "%d" reads the wrong memory).

#include "TestEnvironment.h"

#include "foundation/Bundle.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <algorithm>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string kSource = PARLIVO_SOURCE_DIR;

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

std::string unescape(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            char c = text[++i];
            out += c == 'n' ? '\n' : c == 't' ? '\t' : c;
        } else
            out += text[i];
    }
    return out;
}

// msgid → msgstr of a PO file; strings may continue on following quoted lines.
std::map<std::string, std::string> readPo(const std::string& path)
{
    std::map<std::string, std::string> entries;
    std::istringstream in(readFile(path));
    std::string line, id, text, *current = nullptr;
    bool haveId = false;
    auto flush = [&] {
        if (haveId && !id.empty())
            entries[id] = text;
        id.clear();
        text.clear();
        haveId = false;
    };
    static const std::regex quoted(R"re(^(msgid|msgstr)?\s*"(.*)"\s*$)re");
    std::smatch match;
    while (std::getline(in, line)) {
        if (!std::regex_match(line, match, quoted))
            continue;
        if (match[1] == "msgid") {
            flush();
            haveId = true;
            current = &id;
        } else if (match[1] == "msgstr")
            current = &text;
        if (current)
            *current += unescape(match[2]);
    }
    flush();
    return entries;
}

// The printf-style arguments of a text, in order ("%%" is no argument).
std::vector<std::string> formatArguments(const std::string& text)
{
    static const std::regex specifier(R"(%(\d+\$)?[-+ #0]*\d*(\.\d+)?(hh|h|ll|l|L|z|j|t)?[diouxXeEfgGcsp@%])");
    std::vector<std::string> arguments;
    for (std::sregex_iterator it(text.begin(), text.end(), specifier), end; it != end; ++it)
        if (it->str() != "%%")
            arguments.push_back(it->str());
    return arguments;
}

// Every key passed literally to a display-text lookup in the program's sources: the
// foundation lookup, and the studio's prompt and text helpers.
std::map<std::string, std::string> keysUsedInCode()
{
    static const std::regex lookup(R"re((?:localizedString|[^A-Za-z_]text|setPrompt)\(\s*"((?:[^"\\]|\\.)*)")re");
    std::map<std::string, std::string> keys;
    for (const char* directory : { "Classes", "platform" }) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(kSource + "/" + directory)) {
            if (entry.path().extension() != ".cpp")
                continue;
            const std::string code = readFile(entry.path());
            for (std::sregex_iterator it(code.begin(), code.end(), lookup), end; it != end; ++it)
                keys.emplace(unescape((*it)[1]), entry.path().filename().string());
        }
    }
    return keys;
}

std::vector<std::string> translations()
{
    std::vector<std::string> languages;
    for (const auto& entry : std::filesystem::directory_iterator(kSource + "/resources/strings"))
        if (entry.path().extension() == ".po" && entry.path().stem() != "en")
            languages.push_back(entry.path().stem().string());
    std::sort(languages.begin(), languages.end());
    return languages;
}

class DisplayTextTest : public testsupport::TestEnvironment { };

} // namespace

TEST_F(DisplayTextTest, EveryKeyInTheCodeHasAnEnglishText)
{
    const auto english = readPo(kSource + "/resources/strings/en.po");
    const auto keys = keysUsedInCode();
    ASSERT_GT(keys.size(), 20u) << "the scan finds the lookups";
    EXPECT_TRUE(keys.count("Playing Prompt") && keys.count("Today") && keys.count("Keyboard Shortcuts"));
    for (const auto& [key, file] : keys) {
        auto it = english.find(key);
        EXPECT_TRUE(it != english.end() && !it->second.empty()) << "\"" << key << "\" (used in " << file << ") has no English text";
    }
}

TEST_F(DisplayTextTest, TranslationsKeepTheFormatArgumentsAndKnowNoOtherKeys)
{
    const auto english = readPo(kSource + "/resources/strings/en.po");
    const auto languages = translations();
    EXPECT_EQ(languages, (std::vector<std::string> { "de", "fr" }));
    EXPECT_EQ(formatArguments("Now playing %s at 100%% of %1$d"), (std::vector<std::string> { "%s", "%1$d" }));
    for (const auto& language : languages) {
        const auto translated = readPo(kSource + "/resources/strings/" + language + ".po");
        for (const auto& [key, text] : translated) {
            auto it = english.find(key);
            if (it == english.end()) {
                ADD_FAILURE() << language << ": \"" << key << "\" is no English key";
                continue;
            }
            if (text.empty())
                continue;
            EXPECT_EQ(formatArguments(text), formatArguments(it->second)) << language << ": \"" << key << "\"";
        }
        // Keys added in English meanwhile are listed here until they are translated.
        for (const auto& [key, text] : english)
            EXPECT_TRUE(translated.count(key)) << language << " has no text for \"" << key << "\"";
    }
}

TEST_F(DisplayTextTest, TheLanguageOfTheEnvironmentChoosesTheTable)
{
    setenv("LANGUAGE", "de", 1);
    foundation::Bundle::resetMain();
    EXPECT_EQ(foundation::localizedString("Today"), "Heute");
    setenv("LANGUAGE", "fr_FR", 1);
    foundation::Bundle::resetMain();
    EXPECT_EQ(foundation::localizedString("Keyboard Shortcuts"), "Raccourcis clavier");
    // A language without a table of its own reads English.
    setenv("LANGUAGE", "nl", 1);
    foundation::Bundle::resetMain();
    EXPECT_EQ(foundation::localizedString("Today"), "Today");
    unsetenv("LANGUAGE");
    foundation::Bundle::resetMain();
}
