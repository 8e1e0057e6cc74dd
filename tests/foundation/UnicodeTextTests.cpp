#include "foundation/UnicodeText.h"

#include <gtest/gtest.h>

using namespace foundation;

TEST(UnicodeText, ValidityRejectsWhatThePlatformCannotConvert)
{
    for (const char* good : { "", "plain", "Caf\xC3\xA9", "\xF0\x9F\x8E\x99 memo" })
        EXPECT_TRUE(isValidUtf8(good)) << good;
    EXPECT_FALSE(isValidUtf8("\xC3"));             // cut off
    EXPECT_FALSE(isValidUtf8("a\x80" "b"));         // stray continuation byte
    EXPECT_FALSE(isValidUtf8("\xC0\xAF"));          // overlong '/'
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));      // surrogate
    EXPECT_FALSE(isValidUtf8("\xF4\x90\x80\x80"));  // above U+10FFFF
    EXPECT_FALSE(isValidUtf8(std::string_view("a\0\xFF", 3)));
}

TEST(UnicodeText, FoldingMatchesAcrossCaseInAsciiAndBeyond)
{
    EXPECT_EQ(caseFolded("Untitled RECORDING 2"), "untitled recording 2");
    EXPECT_EQ(caseFolded("\xC3\x89T\xC3\x89"), caseFolded("\xC3\xA9t\xC3\xA9")); // ÉTÉ, été
    EXPECT_EQ(caseFolded("STRASSE"), caseFolded("stra\xC3\x9F" "e"));            // ß folds to ss
    EXPECT_FALSE(caseFolded("bad \xC3").has_value());
}
