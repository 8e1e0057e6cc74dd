// Where a caret may stand and where words are, in UTF-8 text of several scripts.

#include "foundation/TextBoundaries.h"

#include <gtest/gtest.h>

#include <string>

using namespace foundation;

TEST(TextBoundaries, ACaretNeverSplitsACharacterAsTheReaderSeesIt)
{
    // "é" composed and decomposed, a flag (two regional indicators), a CJK ideograph.
    const std::string text = "a\u00e9e\u0301\U0001F1E9\U0001F1EA\u6f22";
    const auto all = characterBoundaries(text);
    EXPECT_EQ(all, (std::vector<std::size_t> { 0, 1, 3, 6, 14, 17 }));
    EXPECT_EQ(nextCharacterBoundary(text, 3), 6u) << "the accent goes with its letter";
    EXPECT_EQ(previousCharacterBoundary(text, 14), 6u) << "the flag is one character";
    EXPECT_EQ(nextCharacterBoundary(text, 17), 17u);
    EXPECT_EQ(previousCharacterBoundary(text, 0), 0u);
    // From inside a sequence, the moves land on boundaries.
    EXPECT_EQ(nextCharacterBoundary(text, 2), 3u);
    EXPECT_EQ(previousCharacterBoundary(text, 2), 0u) << "from the start of the character it is in";
    // Bytes that are not UTF-8 are one character each.
    const std::string broken = "a\xff" "b";
    EXPECT_EQ(characterBoundaries(broken), (std::vector<std::size_t> { 0, 1, 2, 3 }));
}

TEST(TextBoundaries, WordsSkipBlanksAndPunctuation)
{
    const std::string text = "Untitled Recording, 12 \u00e9t\u00e9s";
    EXPECT_EQ(nextWordEnd(text, 0), 8u);
    EXPECT_EQ(nextWordEnd(text, 8), 18u) << "over the blank to the end of the next word";
    EXPECT_EQ(nextWordEnd(text, 18), 22u) << "over the comma";
    EXPECT_EQ(nextWordEnd(text, 22), text.size());
    EXPECT_EQ(previousWordStart(text, text.size()), 23u);
    EXPECT_EQ(previousWordStart(text, 23), 20u);
    EXPECT_EQ(previousWordStart(text, 12), 9u) << "inside a word: its start";
    EXPECT_EQ(previousWordStart(text, 9), 0u);
    EXPECT_EQ(previousWordStart(text, 0), 0u);

    EXPECT_EQ(wordRange(text, 11), (std::pair<std::size_t, std::size_t> { 9, 18 }));
    EXPECT_EQ(wordRange(text, 8), (std::pair<std::size_t, std::size_t> { 8, 9 })) << "the blank alone";
    EXPECT_EQ(wordRange(text, text.size()), (std::pair<std::size_t, std::size_t> { 23, text.size() })) << "past the end: the last word";
    EXPECT_EQ(wordRange("", 0), (std::pair<std::size_t, std::size_t> { 0, 0 }));
}
