#include "ui/ImagePickerLibrary.h"

#include "foundation/FileManager.h"
#include "foundation/UnicodeText.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace ui {

namespace {

namespace fs = std::filesystem;

// The folder named in user-dirs.dirs: XDG_PICTURES_DIR="$HOME/Pictures", relative to the home
// unless absolute. Empty when the file or the line is missing.
std::string picturesDirectoryFromUserDirs()
{
    auto text = foundation::readFile(foundation::configHome() + "/user-dirs.dirs");
    if (!text)
        return {};
    std::istringstream lines(*text);
    std::string line;
    const std::string key = "XDG_PICTURES_DIR=";
    while (std::getline(lines, line)) {
        if (line.rfind(key, 0) != 0)
            continue;
        std::string value = line.substr(key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        const std::string home = "$HOME";
        if (value.rfind(home, 0) == 0)
            value = foundation::homeDirectory() + value.substr(home.size());
        else if (!value.empty() && value.front() != '/')
            value = foundation::homeDirectory() + "/" + value;
        // "$HOME/" alone means the folder is switched off.
        if (fs::path(value).lexically_normal() == fs::path(foundation::homeDirectory() + "/").lexically_normal())
            return {};
        return value;
    }
    return {};
}

std::string sortKey(const std::string& name)
{
    return foundation::caseFolded(name).value_or(name);
}

std::vector<std::string> sortedByName(std::vector<std::string> paths)
{
    std::vector<std::pair<std::string, std::string>> keyed;
    keyed.reserve(paths.size());
    for (auto& path : paths)
        keyed.emplace_back(sortKey(ImagePickerLibrary::displayName(path)), std::move(path));
    std::sort(keyed.begin(), keyed.end());
    std::vector<std::string> sorted;
    sorted.reserve(keyed.size());
    for (auto& entry : keyed)
        sorted.push_back(std::move(entry.second));
    return sorted;
}

// The visible entries of folder that pass keep; an unreadable folder has none.
template <typename Keep>
std::vector<std::string> entries(const std::string& folder, Keep keep)
{
    std::vector<std::string> found;
    std::error_code error;
    fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, error);
    if (error)
        return found;
    for (; it != fs::directory_iterator(); it.increment(error)) {
        if (error)
            break;
        const std::string name = it->path().filename().string();
        if (name.empty() || name.front() == '.')
            continue;
        if (keep(*it))
            found.push_back(it->path().string());
    }
    return sortedByName(std::move(found));
}

} // namespace

std::string ImagePickerLibrary::picturesDirectory()
{
    const char* value = std::getenv("XDG_PICTURES_DIR");
    if (value && value[0] == '/')
        return value;
    std::string named = picturesDirectoryFromUserDirs();
    if (!named.empty())
        return named;
    return foundation::homeDirectory() + "/Pictures";
}

std::vector<std::string> ImagePickerLibrary::albumsInFolder(const std::string& folder)
{
    return entries(folder, [](const fs::directory_entry& entry) {
        std::error_code error;
        return entry.is_directory(error);
    });
}

std::vector<std::string> ImagePickerLibrary::picturesInFolder(const std::string& folder)
{
    return entries(folder, [](const fs::directory_entry& entry) {
        std::error_code error;
        return entry.is_regular_file(error) && hasPictureExtension(entry.path().filename().string());
    });
}

bool ImagePickerLibrary::hasPictureExtension(const std::string& name)
{
    static const char* const extensions[] = { "jpg", "jpeg", "png", "gif", "bmp", "webp", "tif", "tiff", "ppm", "pgm" };
    const auto dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0)
        return false;
    std::string extension = name.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return std::find(std::begin(extensions), std::end(extensions), extension) != std::end(extensions);
}

std::string ImagePickerLibrary::displayName(const std::string& path)
{
    fs::path p(path);
    if (!p.has_filename())
        p = p.parent_path();
    return p.filename().string();
}

} // namespace ui
