#pragma once

#include <memory>
#include <optional>
#include <string>

namespace foundation {

/// Calendar units for Calendar::startOfUnit().
enum class CalendarUnit { Day, Week, Month, Year };

/// The fields of a date in one calendar, time zone and locale. weekday counts from 1 =
/// Sunday to 7 = Saturday, whatever day the locale starts its weeks with.
struct DateComponents {
    int era { 0 };
    int year { 0 };
    int month { 0 }; // 1 to 12
    int day { 0 };   // day of the month
    int hour { 0 };
    int minute { 0 };
    int second { 0 };
    int weekday { 0 };
    int weekOfYear { 0 };
    int yearForWeekOfYear { 0 };
};

/// A calendar over ICU in a locale and time zone. Dates are seconds since 1970 (UTC).
/// Made per use; cheap enough for display texts, not for inner loops.
class Calendar {
public:
    /// The user's calendar: the default locale and time zone (the environment's, unless a
    /// test set others with setDefaultLocale / setDefaultTimeZone).
    static Calendar current();
    /// A calendar for an ICU locale ("en_US", "de_DE") and time-zone id ("Europe/Berlin").
    Calendar(const std::string& localeId, const std::string& timeZoneId);
    ~Calendar();
    Calendar(Calendar&&) noexcept;
    Calendar& operator=(Calendar&&) noexcept;

    DateComponents components(double date) const;
    /// The date of the given local year, month, day and time; none when ICU rejects it.
    std::optional<double> dateFromComponents(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) const;
    /// The first day of the week in this locale (1 = Sunday, 2 = Monday, ...).
    int firstWeekday() const;
    /// The start of the day, week, month or year that contains date; none when ICU fails.
    std::optional<double> startOfUnit(CalendarUnit unit, double date) const;

private:
    struct Impl;
    Calendar();
    std::unique_ptr<Impl> m_impl;
};

/// Date styles for formatDateWithStyles.
enum class DateStyle { None, Short, Medium, Long, Full };

/// Formats date with a Unicode date pattern ("h:mm a", "EEEE", "YYYY") in the default locale
/// and time zone. An invalid pattern yields the empty string.
std::string formatDate(double date, const std::string& pattern);
/// The date pattern for the default locale: englishPattern where the locale's language is
/// English, otherwise the locale's own pattern for the fields of skeleton ("yMMdd", "jmm"),
/// so other languages get their own order, separators and hour cycle.
std::string localizedDatePattern(const std::string& englishPattern, const std::string& skeleton);
/// Formats date with a date style and a time style (DateStyle::None leaves that part out).
std::string formatDateWithStyles(double date, DateStyle dateStyle, DateStyle timeStyle);
/// The time of day in the default locale's short style ("1:00 PM" in en_US, "13:00" in de_DE or
/// en_GB). A locale ICU has no data of its own for, a language with another language's region
/// ("de_US", which formattingLocale makes for German texts on an American system), takes its
/// language's own hours rather than the region's: a German text never reads "1:00 PM".
std::string formatTimeOfDay(double date);
/// Formats a number in the default locale with the given fraction digits, without grouping
/// separators: formatNumber(1.4296875, 0, 2) is "1.43" in English, "1,43" in German.
std::string formatNumber(double value, int minimumFractionDigits, int maximumFractionDigits);

/// The locale dates and numbers are written in, for texts in displayLanguage: the first of
/// LC_ALL, LC_TIME and LANG that is set (its region's conventions) in the display language,
/// so a date never stands in another language than the text around it. "de" with LANG
/// "en_GB.UTF-8" gives "de_GB"; with "de_AT.UTF-8" "de_AT"; with none, "C" or "POSIX" "de".
/// Empty when displayLanguage is empty and no variable names a locale.
std::string formattingLocale(const std::string& displayLanguage, const char* lcAll, const char* lcTime, const char* lang);
/// Sets the process's default locale (ICU id, "en_US") for calendars and formatters.
void setDefaultLocale(const std::string& localeId);
/// Sets the process's default time zone (Olson id, "America/New_York").
void setDefaultTimeZone(const std::string& timeZoneId);

} // namespace foundation
