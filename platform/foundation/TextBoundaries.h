#pragma once

#include <cstddef>
#include <string_view>
#include <utility>
#include <vector>

namespace foundation {

// Where a caret may stand in UTF-8 text and where words begin and end, by ICU's break
// iterators: a caret never splits a character as the reader sees it (a letter with its
// combining accents, an emoji with its modifiers, a flag) and so never a UTF-8 sequence.
// Offsets are bytes; an offset inside a character is treated as the character's start.
// Bytes that are not UTF-8 count as one character each. Any thread.

/// Every offset a caret may take, from 0 to text.size(), in order.
std::vector<std::size_t> characterBoundaries(std::string_view text);
/// The caret boundary after offset (text.size() at the end) and before it (0 at the start).
std::size_t nextCharacterBoundary(std::string_view text, std::size_t offset);
std::size_t previousCharacterBoundary(std::string_view text, std::size_t offset);

/// Control+Right: the end of the next word after offset (past spaces and punctuation), or
/// text.size().
std::size_t nextWordEnd(std::string_view text, std::size_t offset);
/// Control+Left: the start of the word before offset, or 0.
std::size_t previousWordStart(std::string_view text, std::size_t offset);
/// A double-click at offset: the word there, or the run of spaces or the punctuation mark
/// there when it is no word; a click past the end takes the last piece. [start, end).
std::pair<std::size_t, std::size_t> wordRange(std::string_view text, std::size_t offset);

} // namespace foundation
