#pragma once

#include "audio/Conversion.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class Recording;

/// Sound files from elsewhere made into memos: mono at the "sampleRate" setting, in the default
/// category, titled from the file's tag or name and dated from its tag or modification time.
namespace MemoImport {

/// The rate imports convert to: the "sampleRate" setting's, or the recorder's default when the
/// setting is unusable. Main thread (it reads the settings).
int importSampleRate();

/// Reads and converts a file; safe on any thread. None, with the reason in *error, when it
/// cannot be read or holds no sound.
std::optional<audio::DecodedAudio> decode(const std::string& path, int sampleRate, std::string* error);

/// Files decoded audio as a new memo in My Recordings and saves it, which tells the lists.
/// The audio is written to a hidden file, flushed, and renamed into place before the row is
/// filed, so a crash never leaves a part of the sound as a memo. Null, with the reason in
/// *error and nothing filed, when it cannot be stored. Main thread.
std::shared_ptr<Recording> file(const std::string& path, const audio::DecodedAudio& decoded, std::string* error);

/// decode then file, on the main thread.
std::shared_ptr<Recording> importFile(const std::string& path, std::string* error);

/// Imports files dropped onto the window, in order; the ones refused are named with their
/// reasons in one alert. The memos filed, in order.
std::vector<std::shared_ptr<Recording>> importDroppedFiles(const std::vector<std::string>& paths);

/// A tag's date ("2024-05-01", "2024-05-01T10:22:00Z", "2024-05-01 10:22") in seconds since
/// 1970, taken as UTC; none for anything else (a year alone says too little).
std::optional<double> parseTagDate(const std::string& text);

} // namespace MemoImport
