#include "foundation/Calendar.h"

#include <unicode/calendar.h>
#include <unicode/datefmt.h>
#include <unicode/dtptngen.h>
#include <unicode/locid.h>
#include <unicode/numfmt.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <cstring>
#include <map>
#include <memory>
#include <mutex>

namespace foundation {

namespace {

constexpr double kMillis = 1000.0;

std::string toUtf8(const icu::UnicodeString& text)
{
    std::string out;
    text.toUTF8String(out);
    return out;
}

icu::DateFormat::EStyle icuStyle(DateStyle style)
{
    switch (style) {
    case DateStyle::None: return icu::DateFormat::kNone;
    case DateStyle::Short: return icu::DateFormat::kShort;
    case DateStyle::Medium: return icu::DateFormat::kMedium;
    case DateStyle::Long: return icu::DateFormat::kLong;
    case DateStyle::Full: return icu::DateFormat::kFull;
    }
    return icu::DateFormat::kNone;
}

} // namespace

struct Calendar::Impl {
    std::unique_ptr<icu::Calendar> calendar;
};

Calendar::Calendar()
    : m_impl(std::make_unique<Impl>())
{
}

Calendar::~Calendar() = default;
Calendar::Calendar(Calendar&&) noexcept = default;
Calendar& Calendar::operator=(Calendar&&) noexcept = default;

Calendar Calendar::current()
{
    Calendar result;
    UErrorCode status = U_ZERO_ERROR;
    result.m_impl->calendar.reset(icu::Calendar::createInstance(icu::Locale::getDefault(), status));
    if (U_FAILURE(status))
        result.m_impl->calendar.reset(icu::Calendar::createInstance(icu::Locale::getRoot(), status = U_ZERO_ERROR));
    return result;
}

Calendar::Calendar(const std::string& localeId, const std::string& timeZoneId)
    : m_impl(std::make_unique<Impl>())
{
    UErrorCode status = U_ZERO_ERROR;
    auto* zone = icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(timeZoneId));
    m_impl->calendar.reset(icu::Calendar::createInstance(zone, icu::Locale(localeId.c_str()), status));
}

DateComponents Calendar::components(double date) const
{
    DateComponents c;
    auto& cal = *m_impl->calendar;
    UErrorCode status = U_ZERO_ERROR;
    cal.setTime(date * kMillis, status);
    c.era = cal.get(UCAL_ERA, status);
    c.year = cal.get(UCAL_YEAR, status);
    c.month = cal.get(UCAL_MONTH, status) + 1;
    c.day = cal.get(UCAL_DATE, status);
    c.hour = cal.get(UCAL_HOUR_OF_DAY, status);
    c.minute = cal.get(UCAL_MINUTE, status);
    c.second = cal.get(UCAL_SECOND, status);
    c.weekday = cal.get(UCAL_DAY_OF_WEEK, status);
    c.weekOfYear = cal.get(UCAL_WEEK_OF_YEAR, status);
    c.yearForWeekOfYear = cal.get(UCAL_YEAR_WOY, status);
    return U_SUCCESS(status) ? c : DateComponents {};
}

std::optional<double> Calendar::dateFromComponents(int year, int month, int day, int hour, int minute, int second) const
{
    auto& cal = *m_impl->calendar;
    cal.clear();
    cal.set(year, month - 1, day, hour, minute, second);
    UErrorCode status = U_ZERO_ERROR;
    UDate result = cal.getTime(status);
    if (U_FAILURE(status))
        return std::nullopt;
    return result / kMillis;
}

int Calendar::firstWeekday() const
{
    UErrorCode status = U_ZERO_ERROR;
    int first = m_impl->calendar->getFirstDayOfWeek(status);
    return U_SUCCESS(status) ? first : 1;
}

std::optional<double> Calendar::startOfUnit(CalendarUnit unit, double date) const
{
    auto& cal = *m_impl->calendar;
    UErrorCode status = U_ZERO_ERROR;
    cal.setTime(date * kMillis, status);
    switch (unit) {
    case CalendarUnit::Year:
        cal.set(UCAL_MONTH, 0);
        [[fallthrough]];
    case CalendarUnit::Month:
        cal.set(UCAL_DATE, 1);
        break;
    case CalendarUnit::Week: {
        // Step back to the locale's first weekday; day arithmetic keeps time-zone changes right.
        int back = (cal.get(UCAL_DAY_OF_WEEK, status) - cal.getFirstDayOfWeek(status) + 7) % 7;
        cal.add(UCAL_DATE, -back, status);
        break;
    }
    case CalendarUnit::Day:
        break;
    }
    cal.set(UCAL_HOUR_OF_DAY, 0);
    cal.set(UCAL_MINUTE, 0);
    cal.set(UCAL_SECOND, 0);
    cal.set(UCAL_MILLISECOND, 0);
    UDate result = cal.getTime(status);
    if (U_FAILURE(status))
        return std::nullopt;
    return result / kMillis;
}

std::string formatDate(double date, const std::string& pattern)
{
    UErrorCode status = U_ZERO_ERROR;
    icu::SimpleDateFormat formatter(icu::UnicodeString::fromUTF8(pattern), icu::Locale::getDefault(), status);
    if (U_FAILURE(status))
        return {};
    icu::UnicodeString text;
    formatter.format(date * kMillis, text);
    return toUtf8(text);
}

std::string localizedDatePattern(const std::string& englishPattern, const std::string& skeleton)
{
    const icu::Locale locale = icu::Locale::getDefault();
    if (std::string(locale.getLanguage()) == "en")
        return englishPattern;
    // Lists ask once per row: keep what the generator worked out.
    static std::mutex mutex;
    static std::map<std::pair<std::string, std::string>, std::string> patterns;
    std::lock_guard lock(mutex);
    const auto key = std::make_pair(std::string(locale.getName()), skeleton);
    if (auto found = patterns.find(key); found != patterns.end())
        return found->second;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::DateTimePatternGenerator> generator(icu::DateTimePatternGenerator::createInstance(locale, status));
    if (U_FAILURE(status) || !generator)
        return englishPattern;
    const icu::UnicodeString pattern = generator->getBestPattern(icu::UnicodeString::fromUTF8(skeleton), status);
    if (U_FAILURE(status) || pattern.isEmpty())
        return englishPattern;
    return patterns[key] = toUtf8(pattern);
}

std::string formatDateWithStyles(double date, DateStyle dateStyle, DateStyle timeStyle)
{
    std::unique_ptr<icu::DateFormat> formatter(
        icu::DateFormat::createDateTimeInstance(icuStyle(dateStyle), icuStyle(timeStyle), icu::Locale::getDefault()));
    if (!formatter)
        return {};
    icu::UnicodeString text;
    formatter->format(date * kMillis, text);
    return toUtf8(text);
}

std::string formatTimeOfDay(double date)
{
    const icu::Locale& chosen = icu::Locale::getDefault();
    icu::Locale locale = chosen;
    // Only locales ICU knows have hours of their own; others fall back to their language.
    int32_t count = 0;
    const icu::Locale* available = icu::DateFormat::getAvailableLocales(count);
    bool known = false;
    for (int32_t i = 0; i < count && !known; ++i)
        known = std::strcmp(available[i].getLanguage(), chosen.getLanguage()) == 0 && std::strcmp(available[i].getCountry(), chosen.getCountry()) == 0;
    if (!known)
        locale = icu::Locale(chosen.getLanguage());
    std::unique_ptr<icu::DateFormat> formatter(icu::DateFormat::createTimeInstance(icu::DateFormat::kShort, locale));
    if (!formatter)
        return {};
    icu::UnicodeString text;
    formatter->format(date * kMillis, text);
    return toUtf8(text);
}

std::string formatNumber(double value, int minimumFractionDigits, int maximumFractionDigits)
{
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::NumberFormat> formatter(icu::NumberFormat::createInstance(icu::Locale::getDefault(), status));
    if (U_FAILURE(status) || !formatter)
        return std::to_string(value);
    formatter->setGroupingUsed(false);
    formatter->setMinimumFractionDigits(minimumFractionDigits);
    formatter->setMaximumFractionDigits(maximumFractionDigits);
    formatter->setRoundingMode(icu::NumberFormat::kRoundHalfEven);
    icu::UnicodeString text;
    formatter->format(value, text);
    return toUtf8(text);
}

std::string formattingLocale(const std::string& displayLanguage, const char* lcAll, const char* lcTime, const char* lang)
{
    std::string chosen;
    for (const char* value : { lcAll, lcTime, lang }) {
        if (value && *value) {
            chosen = value;
            break;
        }
    }
    chosen = chosen.substr(0, chosen.find_first_of(".@"));
    if (chosen == "C" || chosen == "POSIX")
        chosen.clear();
    if (displayLanguage.empty())
        return chosen;
    const std::string language = displayLanguage.substr(0, displayLanguage.find('_'));
    const size_t underscore = chosen.find('_');
    const std::string chosenLanguage = chosen.substr(0, underscore);
    if (chosenLanguage == language)
        return chosen;
    // The display language's own region ("fr_CA") wins over another language's.
    if (displayLanguage.find('_') != std::string::npos || underscore == std::string::npos)
        return displayLanguage;
    return language + chosen.substr(underscore);
}

void setDefaultLocale(const std::string& localeId)
{
    UErrorCode status = U_ZERO_ERROR;
    icu::Locale::setDefault(icu::Locale(localeId.c_str()), status);
}

void setDefaultTimeZone(const std::string& timeZoneId)
{
    icu::TimeZone::adoptDefault(icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(timeZoneId)));
}

} // namespace foundation
