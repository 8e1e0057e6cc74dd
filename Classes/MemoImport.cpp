#include "MemoImport.h"

#include "AudioRecorder.h"
#include "HelperMethods.h"
#include "Recording.h"
#include "RecordingLibrary.h"

#include "audio/File.h"
#include "foundation/FileManager.h"
#include "foundation/Bundle.h"
#include "foundation/Log.h"
#include "foundation/StringFormat.h"
#include "ui/AlertView.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <unistd.h>

namespace MemoImport {

namespace {

std::string statusReason(audio::Status status)
{
    switch (status) {
    case audio::kFileDiskFullError:
        return "the disk is full";
    case audio::kFilePermissionsError:
        return "the documents folder cannot be written";
    default:
        return "the memo's audio file could not be written (" + std::to_string(status) + ")";
    }
}

// Writes the samples to path as a memo's CAF file and flushes them.
audio::Status writeMemoAudio(const std::string& path, const audio::DecodedAudio& decoded)
{
    std::shared_ptr<audio::File> file;
    audio::Status status = audio::File::create(path, audio::kFileCAFType, audio::linearPCM16(decoded.sampleRate, 1), audio::kFileFlagsEraseFile, &file);
    if (status != audio::noErr)
        return status;
    constexpr std::size_t kChunk = 1 << 16;
    for (std::size_t at = 0; at < decoded.samples.size() && status == audio::noErr; at += kChunk) {
        auto count = static_cast<std::uint32_t>(std::min(kChunk, decoded.samples.size() - at));
        std::uint32_t packets = count;
        status = file->writePackets(false, count * 2, nullptr, static_cast<std::int64_t>(at), &packets, decoded.samples.data() + at);
    }
    if (status == audio::noErr)
        status = file->sync();
    audio::Status closed = file->close();
    return status != audio::noErr ? status : closed;
}

std::string libraryReason(const RecordingLibrary& library)
{
    switch (library.lastWriteProblem()) {
    case RecordingLibrary::StorageProblem::Full:
        return "the disk is full";
    case RecordingLibrary::StorageProblem::Busy:
        return "another program holds the memos' database";
    case RecordingLibrary::StorageProblem::ReadOnly:
        return "the memos' database cannot be written";
    default:
        return "the memos' database could not take it";
    }
}

} // namespace

int importSampleRate()
{
    return static_cast<int>(AudioRecorder::settingSampleRate());
}

std::optional<audio::DecodedAudio> decode(const std::string& path, int sampleRate, std::string* error)
{
    return audio::decodeForImport(path, sampleRate, error);
}

std::optional<double> parseTagDate(const std::string& text)
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    char separator = 0;
    int consumed = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%n", &year, &month, &day, &consumed) != 3 || consumed != 10)
        return std::nullopt;
    std::string rest = text.substr(10);
    if (!rest.empty()) {
        int used = 0;
        int fields = std::sscanf(rest.c_str(), "%c%2d:%2d%n:%2d%n", &separator, &hour, &minute, &used, &second, &used);
        if (fields < 3 || (separator != 'T' && separator != ' '))
            return std::nullopt;
        const std::string tail = rest.substr(static_cast<std::size_t>(used));
        if (!tail.empty() && tail != "Z")
            return std::nullopt;
    }
    if (year < 1970 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)
        return std::nullopt;
    std::tm utc {};
    utc.tm_year = year - 1900;
    utc.tm_mon = month - 1;
    utc.tm_mday = day;
    utc.tm_hour = hour;
    utc.tm_min = minute;
    utc.tm_sec = second;
    const std::time_t when = timegm(&utc);
    // timegm normalises 31 February into March: such a date is not one.
    std::tm back {};
    gmtime_r(&when, &back);
    if (back.tm_mday != day)
        return std::nullopt;
    return static_cast<double>(when);
}

std::shared_ptr<Recording> file(const std::string& path, const audio::DecodedAudio& decoded, std::string* error)
{
    auto& library = RecordingLibrary::sharedLibrary();
    auto recording = library.newRecording();
    if (!recording) {
        *error = libraryReason(library);
        return nullptr;
    }
    const auto target = HelperMethods::getFullAudioFilePath(recording->audioFileName());
    const std::string partial = foundation::documentsDirectory() + "/." + recording->audioFileName() + ".caf.partial";
    audio::Status status = target ? writeMemoAudio(partial, decoded) : audio::kFileUnspecifiedError;
    if (status != audio::noErr || std::rename(partial.c_str(), target->c_str()) != 0) {
        *error = status != audio::noErr ? statusReason(status) : "the memo's audio file could not be put in place";
        ::unlink(partial.c_str());
        recording->deleteRecording();
        return nullptr;
    }
    std::string title = decoded.tags.title;
    if (title.empty())
        title = std::filesystem::path(path).stem().string();
    recording->setTitle(title);
    recording->setComments(decoded.tags.comment);
    auto date = parseTagDate(decoded.tags.date);
    if (!date)
        date = foundation::modificationDate(path);
    recording->setCreatedDate(date.value_or(recording->createdDate()));
    recording->setLength(static_cast<float>(double(decoded.samples.size()) / decoded.sampleRate));
    recording->setSize(HelperMethods::getAudioFileSizeFormattedString(recording->audioFileName()));
    recording->setLocation(1);
    recording->save();
    if (recording->isDirty()) {
        *error = libraryReason(library);
        recording->deleteRecording();
        return nullptr;
    }
    foundation::logf("Imported %s as memo %d.", path.c_str(), recording->key());
    return recording;
}

std::shared_ptr<Recording> importFile(const std::string& path, std::string* error)
{
    auto decoded = decode(path, importSampleRate(), error);
    if (!decoded)
        return nullptr;
    return file(path, *decoded, error);
}

std::vector<std::shared_ptr<Recording>> importDroppedFiles(const std::vector<std::string>& paths)
{
    std::vector<std::shared_ptr<Recording>> filed;
    std::string refusals;
    for (const auto& path : paths) {
        std::string reason;
        if (auto recording = importFile(path, &reason)) {
            filed.push_back(recording);
        } else {
            foundation::logf("%s was not imported: %s", path.c_str(), reason.c_str());
            refusals += (refusals.empty() ? "" : "\n") + std::filesystem::path(path).filename().string() + ": " + reason;
        }
    }
    if (!refusals.empty()) {
        auto alert = std::make_shared<ui::AlertView>(foundation::localizedString("Import Refused Prompt Title"),
            foundation::formatWithString(foundation::localizedString("Import Refused Prompt"), refusals), nullptr, foundation::localizedString("OK"));
        alert->show();
    }
    return filed;
}

} // namespace MemoImport
