#include "TestEnvironment.h"

#include "HelperMethods.h"

#include "foundation/Calendar.h"

namespace {

class HelperMethodsTime : public testsupport::TestEnvironment {
protected:
    void SetUp() override
    {
        TestEnvironment::SetUp();
        foundation::setDefaultLocale("en_US");
        foundation::setDefaultTimeZone("UTC");
    }

    static double utc(int year, int month, int day, int hour = 0, int minute = 0)
    {
        return *foundation::Calendar("en_US", "UTC").dateFromComponents(year, month, day, hour, minute);
    }

    // Pins "now" (the manual clock's date).
    void setNow(double date) { clock().setWallTime(date); }
};

} // namespace

TEST_F(HelperMethodsTime, PlayTimeRoundsToSecondsAndShowsHoursOnlyWhenThereAreSome)
{
    EXPECT_EQ(HelperMethods::formattedPlayTimeValueForPosition(65.4f, 0, false), "1:05");
    EXPECT_EQ(HelperMethods::formattedPlayTimeValueForPosition(0, 3725, true), "-1:02:05");
    EXPECT_EQ(HelperMethods::formattedPlayTimeValueForPosition(9.5f, 0, false), "0:10");
    EXPECT_EQ(HelperMethods::formattedPlayTimeValueForPosition(3599.6f, 0, false), "1:00:00");
    EXPECT_EQ(HelperMethods::formattedPlayTimeValueForPosition(59.4f, 0, false), "0:59");
    EXPECT_EQ(HelperMethods::formattedPlayTimeValueForPosition(0, 0, false), "0:00");
    EXPECT_EQ(HelperMethods::formattedPlayTimeValueForPosition(600, 0, false), "10:00");
    // Both times are rounded before the difference: 10.5 - 2.5 is 11 - 3.
    EXPECT_EQ(HelperMethods::formattedPlayTimeValueForPosition(2.5f, 10.5f, true), "-0:08");
    EXPECT_EQ(HelperMethods::formattedPlayTimeValueForPosition(0, 36000 + 61, true), "-10:01:01");
}

TEST_F(HelperMethodsTime, ShortDateShowsTimeForTodayAndYesterdayThenWeekdayThenDate)
{
    // Now is Tuesday 2026-12-08 12:00 UTC: weekday 3, so the weekday rule reaches back to
    // Saturday 00:00.
    ASSERT_EQ(foundation::currentDate(), utc(2026, 12, 8, 12));
    EXPECT_EQ(HelperMethods::formattedShortDate(utc(2026, 12, 8, 11, 59)), "11:59 AM");
    EXPECT_EQ(HelperMethods::formattedShortDate(utc(2026, 12, 8)), "12:00 AM");
    EXPECT_EQ(HelperMethods::formattedShortDate(utc(2026, 12, 7, 15, 30)), "3:30 PM");
    EXPECT_EQ(HelperMethods::formattedShortDate(utc(2026, 12, 6, 23)), "Sunday");
    EXPECT_EQ(HelperMethods::formattedShortDate(utc(2026, 12, 5, 0, 1)), "Saturday");
    EXPECT_EQ(HelperMethods::formattedShortDate(utc(2026, 12, 5)), "12/05/2026");
    EXPECT_EQ(HelperMethods::formattedShortDate(utc(2025, 3, 4, 9)), "3/04/2025");

    // Other languages get their own order, separators and hour cycle.
    foundation::setDefaultLocale("de_DE");
    EXPECT_EQ(HelperMethods::formattedShortDate(utc(2025, 3, 4, 9)), "04.03.2025");
    EXPECT_EQ(HelperMethods::formattedShortDate(utc(2026, 12, 7, 15, 30)), "15:30");
    foundation::setDefaultLocale("fr_FR");
    EXPECT_EQ(HelperMethods::formattedShortDate(utc(2025, 3, 4, 9)), "04/03/2025");
    EXPECT_EQ(HelperMethods::formattedShortDate(utc(2026, 12, 6, 23)), "dimanche");
    foundation::setDefaultLocale("en_GB");
    EXPECT_EQ(HelperMethods::formattedShortDate(utc(2025, 3, 4, 9)), "3/04/2025") << "English keeps the one form";
    foundation::setDefaultLocale("en_US");
}

TEST_F(HelperMethodsTime, SectionLabelsFollowTheRulesInOrder)
{
    const double now = utc(2026, 12, 8, 12);
    EXPECT_EQ(HelperMethods::formattedSimpleDate(now - 60), "Today");
    EXPECT_EQ(HelperMethods::formattedSimpleDate(now + 86'400 * 3), "Today");
    // Exactly the start of today is not after it.
    EXPECT_EQ(HelperMethods::formattedSimpleDate(utc(2026, 12, 8)), "Yesterday");
    EXPECT_EQ(HelperMethods::formattedSimpleDate(utc(2026, 12, 7, 1)), "Yesterday");
    EXPECT_EQ(HelperMethods::formattedSimpleDate(utc(2026, 12, 6, 1)), "This Week");
    // Last week starts on the locale's first weekday: Sunday 2026-11-29 in the US.
    EXPECT_EQ(HelperMethods::formattedSimpleDate(utc(2026, 12, 1, 9)), "Last Week");
    EXPECT_EQ(HelperMethods::formattedSimpleDate(utc(2026, 11, 29, 0, 1)), "Last Week");
    EXPECT_EQ(HelperMethods::formattedSimpleDate(utc(2026, 11, 29)), "Last Month");
    EXPECT_EQ(HelperMethods::formattedSimpleDate(utc(2026, 11, 1, 0, 1)), "Last Month");
    EXPECT_EQ(HelperMethods::formattedSimpleDate(utc(2026, 10, 31, 23)), "2026");
    EXPECT_EQ(HelperMethods::formattedSimpleDate(utc(2025, 6, 1)), "2025");
    // The calendar year, not the week-based one: 30 December 2024 lies in 2025's week 1.
    EXPECT_EQ(HelperMethods::formattedSimpleDate(utc(2024, 12, 30, 12)), "2024");
    EXPECT_EQ(HelperMethods::formattedSimpleDate(utc(2021, 1, 1, 12)), "2021");

    setNow(utc(2026, 12, 20, 12)); // a Sunday: this week is today alone
    EXPECT_EQ(HelperMethods::formattedSimpleDate(utc(2026, 12, 19, 12)), "Yesterday");
    EXPECT_EQ(HelperMethods::formattedSimpleDate(utc(2026, 12, 13, 12)), "Last Week");
    EXPECT_EQ(HelperMethods::formattedSimpleDate(utc(2026, 12, 12, 12)), "This Month");
    EXPECT_EQ(HelperMethods::formattedSimpleDate(utc(2026, 11, 2)), "Last Month");
}

TEST_F(HelperMethodsTime, MonthStartingOnTheWeekStartSplitsYesterdayFromLastWeek)
{
    setNow(utc(2026, 11, 1, 10)); // Sunday, the first of November
    EXPECT_EQ(HelperMethods::formattedSimpleDate(utc(2026, 10, 31, 15)), "Yesterday");
    EXPECT_EQ(HelperMethods::formattedSimpleDate(utc(2026, 10, 29, 15)), "Last Week");
    EXPECT_EQ(HelperMethods::formattedSimpleDate(utc(2026, 10, 20, 15)), "Last Month");
}

TEST_F(HelperMethodsTime, DaysAndWeeksAreTheUsersCalendars)
{
    // In New York today began at 05:00 UTC, so 04:00 UTC was yesterday there.
    foundation::setDefaultTimeZone("America/New_York");
    EXPECT_EQ(HelperMethods::formattedSimpleDate(utc(2026, 12, 8, 4)), "Yesterday");
    EXPECT_EQ(HelperMethods::formattedShortDate(utc(2026, 12, 8, 4)), "11:00 PM");
    foundation::setDefaultTimeZone("UTC");
    EXPECT_EQ(HelperMethods::formattedSimpleDate(utc(2026, 12, 8, 4)), "Today");

    // A German week starts on Monday 2026-11-30, so Sunday the 29th is no longer last week.
    foundation::setDefaultLocale("de_DE");
    EXPECT_EQ(HelperMethods::formattedSimpleDate(utc(2026, 11, 29, 12)), "Last Month");
    EXPECT_EQ(HelperMethods::formattedSimpleDate(utc(2026, 11, 30, 12)), "Last Week");
    EXPECT_EQ(HelperMethods::formattedShortDate(utc(2026, 12, 6, 23)), "Sonntag");
}

TEST_F(HelperMethodsTime, SectionsWorkedOutOnceGiveTheSameLabelsAsEachDateAlone)
{
    // Days around every boundary: day, week, month and year starts, DST changes (spring and
    // autumn in New York and Berlin), the turn of the year on both sides of 1 January, and a
    // locale whose week starts on Monday.
    struct Setting {
        const char* locale;
        const char* zone;
        int year, month, day, hour;
    };
    const Setting settings[] = {
        { "en_US", "UTC", 2026, 12, 8, 12 },
        { "en_US", "UTC", 2027, 1, 1, 0 },
        { "en_US", "UTC", 2026, 12, 30, 23 },
        { "en_US", "UTC", 2026, 11, 1, 10 },
        { "en_US", "America/New_York", 2026, 3, 9, 1 },
        { "en_US", "America/New_York", 2026, 11, 2, 8 },
        { "de_DE", "Europe/Berlin", 2026, 3, 30, 0 },
        { "de_DE", "Europe/Berlin", 2026, 10, 26, 14 },
        { "de_DE", "Europe/Berlin", 2027, 1, 4, 9 },
        { "en_US", "Pacific/Auckland", 2026, 4, 6, 3 },
    };
    for (const Setting& s : settings) {
        foundation::setDefaultLocale(s.locale);
        foundation::setDefaultTimeZone(s.zone);
        foundation::Calendar calendar(s.locale, s.zone);
        const double now = *calendar.dateFromComponents(s.year, s.month, s.day, s.hour);
        setNow(now);
        HelperMethods::SimpleDateSections sections;

        std::vector<double> dates { now, now + 86'400 * 40 };
        // Every local day start of the last 80 days, a second either side, and hours between.
        for (double day = now + 86'400; day > now - 86'400 * 80; day -= 86'400) {
            const double start = *calendar.startOfUnit(foundation::CalendarUnit::Day, day);
            for (double offset : { -1.0, 0.0, 1.0, 3600.0 * 5, 3600.0 * 13, 3600.0 * 23 })
                dates.push_back(start + offset);
        }
        // Every year start back to six years ago, a second and a day either side, and days between.
        for (int year = s.year + 1; year >= s.year - 6; --year) {
            const double start = *calendar.dateFromComponents(year, 1, 1);
            for (double offset : { -86'400.0, -1.0, 0.0, 1.0, 86'400.0, 86'400.0 * 100, 86'400.0 * 200 })
                dates.push_back(start + offset);
        }
        for (double date : dates)
            ASSERT_EQ(sections.titleForDate(date), HelperMethods::formattedSimpleDate(date))
                << s.locale << " " << s.zone << " now " << now << " date " << date;
        // The years met stay right when asked again in another order.
        for (auto it = dates.rbegin(); it != dates.rend(); ++it)
            ASSERT_EQ(sections.titleForDate(*it), HelperMethods::formattedSimpleDate(*it)) << *it;
    }
}
