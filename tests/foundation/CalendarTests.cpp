#include "foundation/Calendar.h"

#include <gtest/gtest.h>

using namespace foundation;

namespace {

class CalendarTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setDefaultLocale("en_US");
        setDefaultTimeZone("America/New_York");
    }
};

// 2026-12-08 12:00:00 UTC is 07:00 on Tuesday in New York.
constexpr double kTuesdayNoonUtc = 1796731200.0;

} // namespace

TEST_F(CalendarTest, ComponentsAreLocalToTheTimeZone)
{
    auto c = Calendar::current().components(kTuesdayNoonUtc);
    EXPECT_EQ(c.year, 2026);
    EXPECT_EQ(c.month, 12);
    EXPECT_EQ(c.day, 8);
    EXPECT_EQ(c.hour, 7);
    EXPECT_EQ(c.weekday, 3); // Sunday is 1
}

TEST_F(CalendarTest, StartOfWeekFollowsTheLocalesFirstWeekday)
{
    Calendar us("en_US", "America/New_York");
    Calendar de("de_DE", "Europe/Berlin");
    EXPECT_EQ(us.firstWeekday(), 1);
    EXPECT_EQ(de.firstWeekday(), 2);
    EXPECT_EQ(us.startOfUnit(CalendarUnit::Week, kTuesdayNoonUtc), us.dateFromComponents(2026, 12, 6));
    EXPECT_EQ(de.startOfUnit(CalendarUnit::Week, kTuesdayNoonUtc), de.dateFromComponents(2026, 12, 7));
    EXPECT_EQ(us.startOfUnit(CalendarUnit::Month, kTuesdayNoonUtc), us.dateFromComponents(2026, 12, 1));
    EXPECT_EQ(us.startOfUnit(CalendarUnit::Day, kTuesdayNoonUtc), us.dateFromComponents(2026, 12, 8));
    EXPECT_EQ(us.startOfUnit(CalendarUnit::Year, kTuesdayNoonUtc), us.dateFromComponents(2026, 1, 1));
}

TEST_F(CalendarTest, StartOfDayAcrossADaylightSavingChangeIsLocalMidnight)
{
    Calendar us("en_US", "America/New_York");
    // 2026-03-08 is the spring-forward day in New York: 23 hours long.
    auto noon = us.dateFromComponents(2026, 3, 8, 12);
    ASSERT_TRUE(noon);
    auto start = us.startOfUnit(CalendarUnit::Day, *noon);
    ASSERT_TRUE(start);
    EXPECT_EQ(*noon - *start, 11 * 3600.0);
}

TEST_F(CalendarTest, DatePatternsUseTheDefaultLocaleAndZone)
{
    EXPECT_EQ(formatDate(kTuesdayNoonUtc, "h:mm a"), "7:00 AM");
    EXPECT_EQ(formatDate(kTuesdayNoonUtc, "EEEE"), "Tuesday");
    EXPECT_EQ(formatDate(kTuesdayNoonUtc, "M/dd/y"), "12/08/2026");
    EXPECT_EQ(formatDate(kTuesdayNoonUtc, "YYYY"), "2026");
    EXPECT_EQ(formatDateWithStyles(kTuesdayNoonUtc, DateStyle::Long, DateStyle::Short), "December 8, 2026 at 7:00\u202fAM");
    setDefaultLocale("de_DE");
    EXPECT_EQ(formatDate(kTuesdayNoonUtc, "EEEE"), "Dienstag");
}

TEST_F(CalendarTest, NumbersHaveUpToTwoFractionDigitsAndNoGrouping)
{
    EXPECT_EQ(formatNumber(1023, 0, 2), "1023");
    EXPECT_EQ(formatNumber(1.5, 0, 2), "1.5");
    EXPECT_EQ(formatNumber(1464.0 / 1024.0, 0, 2), "1.43");
    EXPECT_EQ(formatNumber(0, 0, 2), "0");
    setDefaultLocale("de_DE");
    EXPECT_EQ(formatNumber(1.5, 0, 2), "1,5");
}
