#pragma once

#include <cstdint>
#include <optional>
#include <string>

/// Class-level helpers shared by the whole system: the audio file of a recording and its size
/// text. Every piece that touches an audio file goes through these functions, so files are
/// placed the same way everywhere.
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
    /// The size text of a byte count (the rule of getAudioFileSizeFormattedString).
    static std::string formattedSize(std::uint64_t bytes);
};
