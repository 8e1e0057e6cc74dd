#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace audio {

/// The formats memos leave the program in, all written by libsndfile.
enum class ExportFormat { Opus, Flac, Wav, Mp3 };

/// "opus", "flac", "wav" or "mp3"; none for anything else.
std::optional<ExportFormat> exportFormatNamed(const std::string& name);
/// The file name extension, without the dot.
const char* extensionFor(ExportFormat format);

/// What a memo says about itself in an exported file, and what an imported file may say.
struct AudioTags {
    std::string title;
    std::string comment;
    /// ISO 8601, as the tag conventions write dates ("2026-12-09T10:22:00Z").
    std::string date;
    /// The memo's category (the genre tag, which players show and sort by).
    std::string genre;
};

/// A file name made from a title for a folder of the user's: no path separators, control
/// characters or leading dots and spaces, at most 200 bytes (cut between whole characters),
/// "Memo" when nothing is left; the extension is added.
std::string exportFileName(const std::string& title, ExportFormat format);

/// Writes the 16-bit mono recording at source (a memo's CAF file) to target in format, with
/// tags. The data goes to a hidden file beside target first, which is flushed and renamed into
/// place only when it is complete: an interruption (a failure, a full disk, cancel set) never
/// leaves a file under target's name, and an existing target is never replaced. False with
/// the reason in *error otherwise.
bool exportRecording(const std::string& source, const std::string& target, ExportFormat format, const AudioTags& tags, std::string* error,
    const std::atomic<bool>* cancel = nullptr);

/// A sound file read for import: mono 16-bit samples at the rate asked for.
struct DecodedAudio {
    std::vector<std::int16_t> samples;
    int sampleRate { 0 };
    AudioTags tags;
};

/// Reads any file libsndfile reads (WAV, FLAC, Ogg Vorbis and Opus, MP3, AIFF, CAF...) at any
/// rate and channel count: the channels are averaged and the rate converted with libsoxr's
/// high quality. None, with the reason in *error, for a file that cannot be read or holds no
/// sound.
std::optional<DecodedAudio> decodeForImport(const std::string& path, int sampleRate, std::string* error);

} // namespace audio
