#include "HelperMethods.h"

#include "foundation/Bundle.h"
#include "foundation/Calendar.h"
#include "foundation/Clock.h"
#include "foundation/FileManager.h"
#include "foundation/Log.h"
#include "foundation/StringFormat.h"
#include "foundation/UUID.h"

#include <cmath>

std::optional<std::string> HelperMethods::getFullAudioFilePath(const std::string& audioFileName)
{
    if (!foundation::isUUIDString(audioFileName)) {
        foundation::logf("Refusing audio file name '%s': not a UUID string.", audioFileName.c_str());
        return std::nullopt;
    }
    return foundation::documentsDirectory() + foundation::format("/%s.%s", audioFileName.c_str(), "caf");
}

std::optional<std::string> HelperMethods::audioFileURL(const std::string& audioFileName)
{
    return getFullAudioFilePath(audioFileName);
}

bool HelperMethods::audioFileExists(const std::string& audioFileName)
{
    auto path = getFullAudioFilePath(audioFileName);
    return path && foundation::fileExists(*path);
}

void HelperMethods::deleteAudioFile(const std::string& audioFileName)
{
    if (auto path = getFullAudioFilePath(audioFileName))
        foundation::removeItem(*path);
}

std::uint64_t HelperMethods::getAudioFileSize(const std::string& audioFileName)
{
    auto path = getFullAudioFilePath(audioFileName);
    return path ? foundation::fileSize(*path).value_or(0) : 0;
}

std::string HelperMethods::getAudioFileSizeFormattedString(const std::string& audioFileName)
{
    return formattedSize(getAudioFileSize(audioFileName));
}

std::string HelperMethods::formattedSize(std::uint64_t bytes)
{
    auto kilobytes = static_cast<float>(bytes >> 10);
    if (kilobytes < 1024)
        return foundation::formatWithString("%@ KB", foundation::formatNumber(kilobytes, 0, 2));
    return foundation::formatWithString("%@ MB", foundation::formatNumber(kilobytes * (1.0f / 1024), 0, 2));
}

std::string HelperMethods::formattedPlayTimeValueForPosition(float position, float duration, bool remaining)
{
    long p = std::lroundf(position);
    long d = std::lroundf(duration);
    long v = remaining ? d - p : p;
    long h = v / 3600;
    long m = (v - 3600 * h) / 60;
    long s = v - 3600 * h - 60 * m;
    const char* prefix = remaining ? "-" : "";
    auto pad = [](long field) { return field <= 9 ? "0" : ""; };
    if (h > 0)
        return foundation::format("%s%li:%s%li:%s%li", prefix, h, pad(m), m, pad(s), s);
    return foundation::format("%s%li:%s%li", prefix, m, pad(s), s);
}

namespace {

constexpr double kDay = 86'400.0;

// The start of today in the user's calendar, built from today's date components.
double startOfToday(const foundation::Calendar& calendar, const foundation::DateComponents& today)
{
    return calendar.dateFromComponents(today.year, today.month, today.day).value_or(foundation::currentDate());
}

} // namespace

std::string HelperMethods::formattedShortDate(double date)
{
    auto calendar = foundation::Calendar::current();
    auto today = calendar.components(foundation::currentDate());
    double t0 = startOfToday(calendar, today);
    const char* pattern = "M/dd/y";
    if (t0 < date || t0 - kDay < date)
        pattern = "h:mm a";
    else if (t0 - today.weekday * kDay < date)
        pattern = "EEEE";
    return foundation::formatDate(date, pattern);
}

std::string HelperMethods::formattedSimpleDate(double date)
{
    auto calendar = foundation::Calendar::current();
    auto today = calendar.components(foundation::currentDate());
    double t0 = startOfToday(calendar, today);
    if (t0 < date)
        return foundation::localizedString("Today");
    if (t0 - kDay < date)
        return foundation::localizedString("Yesterday");
    double weekStart = t0 - (today.weekday - 1) * kDay;
    if (weekStart < date)
        return foundation::localizedString("This Week");
    if (auto lastWeek = calendar.startOfUnit(foundation::CalendarUnit::Week, weekStart - kDay); lastWeek && *lastWeek < date)
        return foundation::localizedString("Last Week");
    double monthStart = t0 - (today.day - 1) * kDay;
    if (monthStart < date)
        return foundation::localizedString("This Month");
    if (auto lastMonth = calendar.startOfUnit(foundation::CalendarUnit::Month, monthStart - kDay); lastMonth && *lastMonth < date)
        return foundation::localizedString("Last Month");
    return foundation::formatDate(date, "YYYY");
}
