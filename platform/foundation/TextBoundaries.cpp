#include "foundation/TextBoundaries.h"

#include <unicode/brkiter.h>
#include <unicode/utext.h>

#include <algorithm>
#include <memory>

namespace foundation {

namespace {

enum class Kind { Characters, Words };

// A break iterator over text, which must outlive it; null when ICU fails (then the callers
// fall back to whole bytes, which only happens without ICU's data).
class Breaks {
public:
    Breaks(std::string_view text, Kind kind)
    {
        UErrorCode status = U_ZERO_ERROR;
        m_text = utext_openUTF8(nullptr, text.data(), static_cast<int64_t>(text.size()), &status);
        if (U_FAILURE(status))
            return;
        const icu::Locale& locale = icu::Locale::getDefault();
        m_iterator.reset(kind == Kind::Characters ? icu::BreakIterator::createCharacterInstance(locale, status)
                                                  : icu::BreakIterator::createWordInstance(locale, status));
        if (U_FAILURE(status)) {
            m_iterator.reset();
            return;
        }
        m_iterator->setText(m_text, status);
        if (U_FAILURE(status))
            m_iterator.reset();
    }
    ~Breaks() { utext_close(m_text); }
    Breaks(const Breaks&) = delete;
    Breaks& operator=(const Breaks&) = delete;

    icu::BreakIterator* operator->() const { return m_iterator.get(); }
    explicit operator bool() const { return m_iterator != nullptr; }

private:
    UText* m_text { nullptr };
    std::unique_ptr<icu::BreakIterator> m_iterator;
};

std::size_t clampOffset(std::string_view text, std::size_t offset)
{
    return std::min(offset, text.size());
}

// Whether the piece the iterator has just passed is a word (letters, numbers, ideographs)
// rather than spaces or punctuation.
bool isWord(const Breaks& breaks)
{
    return breaks->getRuleStatus() >= UBRK_WORD_NONE_LIMIT;
}

} // namespace

std::vector<std::size_t> characterBoundaries(std::string_view text)
{
    std::vector<std::size_t> result;
    Breaks breaks(text, Kind::Characters);
    if (!breaks) {
        for (std::size_t i = 0; i <= text.size(); ++i)
            result.push_back(i);
        return result;
    }
    for (int32_t b = breaks->first(); b != icu::BreakIterator::DONE; b = breaks->next())
        result.push_back(static_cast<std::size_t>(b));
    if (result.empty() || result.back() != text.size())
        result.push_back(text.size());
    return result;
}

std::size_t nextCharacterBoundary(std::string_view text, std::size_t offset)
{
    offset = clampOffset(text, offset);
    if (offset >= text.size())
        return text.size();
    Breaks breaks(text, Kind::Characters);
    if (!breaks)
        return offset + 1;
    int32_t next = breaks->following(static_cast<int32_t>(offset));
    return next == icu::BreakIterator::DONE ? text.size() : static_cast<std::size_t>(next);
}

std::size_t previousCharacterBoundary(std::string_view text, std::size_t offset)
{
    offset = clampOffset(text, offset);
    if (offset == 0)
        return 0;
    Breaks breaks(text, Kind::Characters);
    if (!breaks)
        return offset - 1;
    int32_t previous = breaks->preceding(static_cast<int32_t>(offset));
    return previous == icu::BreakIterator::DONE ? 0 : static_cast<std::size_t>(previous);
}

std::size_t nextWordEnd(std::string_view text, std::size_t offset)
{
    offset = clampOffset(text, offset);
    Breaks breaks(text, Kind::Words);
    if (!breaks)
        return text.size();
    for (int32_t b = breaks->following(static_cast<int32_t>(offset)); b != icu::BreakIterator::DONE; b = breaks->next()) {
        if (isWord(breaks))
            return static_cast<std::size_t>(b);
    }
    return text.size();
}

std::size_t previousWordStart(std::string_view text, std::size_t offset)
{
    offset = clampOffset(text, offset);
    Breaks breaks(text, Kind::Words);
    if (!breaks)
        return 0;
    // Walk back piece by piece; a piece is a word when the rule status at its end says so.
    int32_t end = static_cast<int32_t>(offset);
    for (int32_t start = breaks->preceding(end); start != icu::BreakIterator::DONE; start = breaks->preceding(end)) {
        breaks->following(start);
        if (isWord(breaks))
            return static_cast<std::size_t>(start);
        end = start;
        if (start == 0)
            break;
    }
    return 0;
}

std::pair<std::size_t, std::size_t> wordRange(std::string_view text, std::size_t offset)
{
    offset = clampOffset(text, offset);
    if (text.empty())
        return { 0, 0 };
    Breaks breaks(text, Kind::Words);
    if (!breaks)
        return { 0, text.size() };
    // At the very end the piece before the offset is meant.
    const int32_t at = static_cast<int32_t>(offset >= text.size() ? text.size() - 1 : offset);
    int32_t end = breaks->following(at);
    int32_t start = breaks->preceding(end);
    if (end == icu::BreakIterator::DONE)
        end = static_cast<int32_t>(text.size());
    if (start == icu::BreakIterator::DONE)
        start = 0;
    return { static_cast<std::size_t>(start), static_cast<std::size_t>(end) };
}

} // namespace foundation
