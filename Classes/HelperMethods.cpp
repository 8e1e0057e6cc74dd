#include "HelperMethods.h"

#include "audio/File.h"
#include "foundation/Bundle.h"
#include "foundation/Calendar.h"
#include "foundation/Clock.h"
#include "foundation/FileManager.h"
#include "foundation/Log.h"
#include "foundation/StringFormat.h"
#include "foundation/UUID.h"
#include "graphics/Gradient.h"
#include "ui/Screen.h"
#include "ui/View.h"

#include <climits>
#include <cmath>
#include <cstdlib>

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

std::optional<double> HelperMethods::audioFileDuration(const std::string& audioFileName)
{
    auto path = getFullAudioFilePath(audioFileName);
    std::shared_ptr<audio::File> file;
    if (!path || audio::File::open(*path, audio::FilePermission::Read, 0, &file) != audio::noErr || !file)
        return std::nullopt;
    audio::StreamBasicDescription format {};
    std::uint64_t packets = 0;
    if (file->getProperty(audio::FileProperty::DataFormat, format) != audio::noErr || !(format.mSampleRate > 0)
        || file->getProperty(audio::FileProperty::AudioDataPacketCount, packets) != audio::noErr)
        return std::nullopt;
    return static_cast<double>(packets) / format.mSampleRate;
}

std::optional<double> HelperMethods::sampleRateFromSetting(const std::string& text)
{
    char* end = nullptr;
    double rate = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(rate >= 1 && rate <= 384000) || rate != std::floor(rate))
        return std::nullopt;
    return rate;
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
    std::string pattern = foundation::localizedDatePattern("M/dd/y", "yMMdd");
    if (t0 < date || t0 - kDay < date)
        pattern = foundation::localizedDatePattern("h:mm a", "jmm");
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
    // The calendar year: the week-based one ("YYYY") files the last days of December under the next.
    return foundation::formatDate(date, "yyyy");
}

HelperMethods::SimpleDateSections::SimpleDateSections()
{
    // The boundaries of formattedSimpleDate, in its order; each rule holds for dates after
    // its start, so the first start a date lies after names it.
    auto calendar = foundation::Calendar::current();
    auto today = calendar.components(foundation::currentDate());
    double t0 = startOfToday(calendar, today);
    m_periods.push_back({ t0, foundation::localizedString("Today") });
    m_periods.push_back({ t0 - kDay, foundation::localizedString("Yesterday") });
    double weekStart = t0 - (today.weekday - 1) * kDay;
    m_periods.push_back({ weekStart, foundation::localizedString("This Week") });
    if (auto lastWeek = calendar.startOfUnit(foundation::CalendarUnit::Week, weekStart - kDay))
        m_periods.push_back({ *lastWeek, foundation::localizedString("Last Week") });
    double monthStart = t0 - (today.day - 1) * kDay;
    m_periods.push_back({ monthStart, foundation::localizedString("This Month") });
    if (auto lastMonth = calendar.startOfUnit(foundation::CalendarUnit::Month, monthStart - kDay))
        m_periods.push_back({ *lastMonth, foundation::localizedString("Last Month") });
}

std::string HelperMethods::SimpleDateSections::titleForDate(double date)
{
    for (const Period& period : m_periods)
        if (period.start < date)
            return period.title;
    for (const Year& year : m_years)
        if (year.start <= date && date < year.end)
            return year.title;
    // A year not met yet: one calendar question for its bounds, one text for its label.
    Year year;
    year.title = foundation::formatDate(date, "yyyy");
    auto calendar = foundation::Calendar::current();
    auto start = calendar.startOfUnit(foundation::CalendarUnit::Year, date);
    // More than a year after its start always lies in the next year.
    auto end = start ? calendar.startOfUnit(foundation::CalendarUnit::Year, *start + 367 * kDay) : std::nullopt;
    if (!start || !end || !(*start <= date && date < *end)) {
        // No bounds to keep (a date ICU cannot place): the text answers this date alone.
        year.start = date;
        year.end = std::nextafter(date, INFINITY);
    } else {
        year.start = *start;
        year.end = *end;
    }
    m_years.push_back(std::move(year));
    return m_years.back().title;
}

gfx::Path HelperMethods::createRoundedRectanglePath(const gfx::Rect& rect, float radius)
{
    const float x = rect.x(), y = rect.y(), w = rect.width(), h = rect.height(), r = radius;
    gfx::Path path;
    path.moveTo({ x + r, y });
    path.lineTo({ x + w - r, y });
    path.addArc({ x + w - r, y + r }, r, -1.57f, 0, false);
    path.lineTo({ x + w, y + h - r });
    path.addArc({ x + w - r, y + h - r }, r, 0, 1.57f, false);
    path.lineTo({ x + r, y + h });
    path.addArc({ x + r, y + h - r }, r, 1.57f, 3.14f, false);
    path.lineTo({ x, y + r });
    path.addArc({ x + r, y + r }, r, 3.14f, 4.71f, false);
    path.closeSubpath();
    return path;
}

std::shared_ptr<gfx::Image> HelperMethods::reflectedImageOfView(ui::View& view, unsigned height)
{
    // Rendered at the screen's scale so the mirror image is as sharp as the view above it.
    const float scale = ui::Screen::mainScreen().scale();
    const gfx::Rect bounds = view.bounds();
    const double pixelWidth = std::trunc(double(bounds.width())) * scale;
    const double pixelHeight = double(height) * scale;
    if (pixelWidth < 1 || pixelHeight < 1 || pixelWidth > INT_MAX / 4 || pixelHeight > INT_MAX / 4)
        return nullptr;
    auto context = createBitmapContext(int(pixelWidth), int(pixelHeight));
    if (!context)
        return nullptr;
    // The bitmap's y axis points up while the view draws downwards, so shifting by the part
    // above the reflected strip leaves the view's bottom edge on the image's top row.
    const float shift = bounds.height() - float(height);
    context->scaleCTM(scale, scale);
    context->translateCTM(0, -shift);
    view.renderInContext(*context);
    context->translateCTM(0, shift);
    auto image = context->makeImage(scale);
    context.reset();
    auto mask = createGradientImage(1, int(pixelHeight));
    if (!image || !mask)
        return nullptr;
    return gfx::Image::createWithMask(*image, *mask);
}

std::unique_ptr<gfx::BitmapContext> createBitmapContext(int width, int height)
{
    if (width <= 0 || height <= 0 || width > INT_MAX / 4)
        return nullptr;
    // Cleared, so whatever the view leaves undrawn stays transparent.
    auto* data = static_cast<std::uint8_t*>(std::calloc(std::size_t(width) * std::size_t(height), 4));
    if (!data)
        return nullptr;
    return gfx::BitmapContext::createWithData(data, width, height, width * 4, gfx::PixelFormat::RGBAPremultiplied,
        [data] { std::free(data); }, gfx::ContextOrigin::BottomLeft);
}

std::shared_ptr<gfx::Image> createGradientImage(int width, int height)
{
    if (width <= 0 || height <= 0)
        return nullptr;
    auto* data = static_cast<std::uint8_t*>(std::calloc(std::size_t(width), std::size_t(height)));
    if (!data)
        return nullptr;
    auto context = gfx::BitmapContext::createWithData(data, width, height, width, gfx::PixelFormat::Grey,
        [data] { std::free(data); }, gfx::ContextOrigin::BottomLeft);
    if (!context)
        return nullptr;
    const auto gradient = gfx::Gradient::withColorComponents(gfx::ColorSpace::DeviceGrey, { 0.0f, 1.0f, 1.0f, 1.0f });
    // From the centre of the bottom row to the centre of the top row, so that those rows are
    // exactly black and white: the reflection ends fully transparent and starts fully opaque.
    const float top = float(height) - 0.5f;
    context->drawLinearGradient(gradient, { 0, 0.5f }, { 0, top }, gfx::GradientDrawsAfterEndLocation);
    return context->makeImage();
}
