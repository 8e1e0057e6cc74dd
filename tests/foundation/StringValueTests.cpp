#include "foundation/StringValue.h"

#include <gtest/gtest.h>
#include <limits>

using namespace foundation;

TEST(StringValue, BoolFollowsThePlatformRules)
{
    for (const char* yes : { "Yes", "YES", "y", "true", "T", "1", "9", " 007", "\t\n Yes", "-1", "+5", "00t" })
        EXPECT_TRUE(boolValue(yes)) << '"' << yes << '"';
    for (const char* no : { "NO", "no", "false", "0", "000", "", "   ", "x", "-", "0.5", "N", " no" })
        EXPECT_FALSE(boolValue(no)) << '"' << no << '"';
}

TEST(StringValue, IntegerReadsTheLeadingNumber)
{
    EXPECT_EQ(integerValue("-1"), -1);
    EXPECT_EQ(integerValue("  42abc"), 42);
    EXPECT_EQ(integerValue("+17"), 17);
    EXPECT_EQ(integerValue("12.9"), 12);
    EXPECT_EQ(integerValue("abc"), 0);
    EXPECT_EQ(integerValue(""), 0);
    EXPECT_EQ(integerValue("- 3"), 0);
    EXPECT_EQ(integerValue("99999999999999999999999"), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(integerValue("-99999999999999999999999"), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(integerValue("-9223372036854775808"), std::numeric_limits<std::int64_t>::min());
}

TEST(StringValue, FloatReadsTheLeadingNumberWithADotWhateverTheLocale)
{
    EXPECT_FLOAT_EQ(floatValue("22050"), 22050.0f);
    EXPECT_FLOAT_EQ(floatValue(" 8000.5Hz"), 8000.5f);
    EXPECT_FLOAT_EQ(floatValue("-2.5e2"), -250.0f);
    EXPECT_FLOAT_EQ(floatValue(".25"), 0.25f);
    EXPECT_EQ(floatValue("fast"), 0.0f);
    EXPECT_EQ(floatValue(""), 0.0f);
    EXPECT_EQ(floatValue("nan"), 0.0f);
    EXPECT_EQ(floatValue("0x10"), 0.0f);
    EXPECT_EQ(floatValue("1,5"), 1.0f);
}
