#include "HelperMethods.h"

#include "foundation/Calendar.h"
#include "foundation/FileManager.h"
#include "foundation/Log.h"
#include "foundation/StringFormat.h"
#include "foundation/UUID.h"

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
