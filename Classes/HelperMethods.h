#pragma once

#include "graphics/Context.h"
#include "graphics/Geometry.h"
#include "graphics/Image.h"
#include "graphics/Path.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ui {
class View;
}

/// Class-level helpers shared by the whole system: the audio file of a recording and its size
/// text, and the time and date texts. Every piece that touches an audio file or shows a time
/// goes through these functions, so files are placed and times are written the same way
/// everywhere. Main thread.
class HelperMethods {
public:
    HelperMethods() = delete;

    /// The audio file of a recording: the documents directory, "/", the name and ".caf".
    /// Only a well-formed UUID string is accepted as a name, because names come from the
    /// database: anything else (a tampered row holding "../" or "/") is refused with a log
    /// line and yields none, so no file outside the documents directory is ever touched.
    static std::optional<std::string> getFullAudioFilePath(const std::string& audioFileName);
    /// The location the audio services open; the same path as getFullAudioFilePath.
    static std::optional<std::string> audioFileURL(const std::string& audioFileName);
    /// Whether the recording's audio file exists; false for a refused name.
    static bool audioFileExists(const std::string& audioFileName);
    /// Removes the recording's audio file; a missing file or a refused name does nothing.
    static void deleteAudioFile(const std::string& audioFileName);
    /// The file's size in bytes (symbolic links followed); 0 when missing or refused.
    static std::uint64_t getAudioFileSize(const std::string& audioFileName);
    /// The size as display text: whole kilobytes below 1024 ("1023 KB"), else megabytes with
    /// at most two fraction digits ("1.43 MB"), in the user's locale.
    static std::string getAudioFileSizeFormattedString(const std::string& audioFileName);
    /// The length in seconds of the recording's audio: its packets over its sample rate. None
    /// when the file is missing, the name refused, or the file is not a readable recording
    /// (empty, cut off in its header, not audio, a directory).
    static std::optional<double> audioFileDuration(const std::string& audioFileName);
    /// The rate a "sampleRate" setting names, when an audio file can hold it and a sound card
    /// might take it: the whole text a whole number of hertz from 1 to 384000. None for
    /// anything else ("abc", "nan", "inf", "-5", "0", "1e9", "22050.5"). Whether the device
    /// takes the rate is the device's to say when the stream opens.
    static std::optional<double> sampleRateFromSetting(const std::string& text);
    /// The size text of a byte count (the rule of getAudioFileSizeFormattedString).
    static std::string formattedSize(std::uint64_t bytes);

    /// Elapsed ("1:05") or remaining ("-1:02:05") play time; both times are rounded to whole
    /// seconds first, halves away from zero. Hours appear only when there are some. A
    /// position past the duration gives a negative remaining time, written as the integer
    /// arithmetic leaves it.
    static std::string formattedPlayTimeValueForPosition(float position, float duration, bool remaining);
    /// The date of a list row: the time ("3:07 PM") for today and yesterday, the weekday's
    /// name within this week, else the numeric date ("11/02/2026"). "Now" is
    /// foundation::currentDate(); calendar, locale and time zone are the user's.
    static std::string formattedShortDate(double date);
    /// The section label of a date: "Today", "Yesterday", "This Week", "Last Week",
    /// "This Month", "Last Month" (display texts), else its year. Future dates are "Today".
    static std::string formattedSimpleDate(double date);

    /// formattedSimpleDate for many dates at one "now": the period boundaries and their
    /// display texts are worked out once, at construction, so a list's rebuild costs no
    /// calendar or formatter per row; a year's text is made once per year met. Gives exactly
    /// formattedSimpleDate's texts as long as "now" is the construction's. Main thread.
    class SimpleDateSections {
    public:
        SimpleDateSections();
        /// The section label of date (see formattedSimpleDate).
        std::string titleForDate(double date);

    private:
        struct Year {
            double start { 0 };
            double end { 0 };
            std::string title;
        };

        // The boundaries of the relative periods, newest first, each with its label; a
        // period whose start the calendar could not give is left out.
        struct Period {
            double start { 0 };
            std::string title;
        };
        std::vector<Period> m_periods;
        std::vector<Year> m_years;
    };

    // Drawing helpers of the studio's own views.

    /// A closed rounded rectangle: straight edges joined by quarter arcs of the given radius,
    /// starting at the top edge and going round through the corners in angle order. The arcs
    /// use the angles 1.57, 3.14 and 4.71 rather than exact multiples of pi/2; the closing
    /// line covers the tiny gaps this leaves. A radius of 0 gives a plain rectangle.
    static gfx::Path createRoundedRectanglePath(const gfx::Rect& rect, float radius);
    /// The bottom height points of view mirrored upside down (the view's bottom row becomes the
    /// image's top row), as wide as the view (truncated to whole points), opaque at the top
    /// and fading linearly to transparent at the bottom. Rendered with the view's model values
    /// at the main screen's scale. Null when the view is empty or height is 0. Main thread.
    static std::shared_ptr<gfx::Image> reflectedImageOfView(ui::View& view, unsigned height);
};

/// An RGBA (premultiplied) bitmap context of width x height pixels with the origin at the
/// bottom left, cleared to transparent; its memory is freed with it. Null when a side is not
/// positive or the memory cannot be had.
std::unique_ptr<gfx::BitmapContext> createBitmapContext(int width, int height);
/// A grey image of width x height pixels holding a vertical ramp: black at its bottom row,
/// white at its top row, linear in between; used as a mask it fades a picture out downwards.
/// Null when a side is not positive or the memory cannot be had.
std::shared_ptr<gfx::Image> createGradientImage(int width, int height);
