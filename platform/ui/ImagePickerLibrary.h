#pragma once

#include <string>
#include <vector>

namespace ui {

/// The user's pictures as the image picker shows them: a folder's pictures and its
/// subfolders (the albums), read from the file system each time they are asked for.
/// Stateless; safe on any thread.
class ImagePickerLibrary {
public:
    /// The pictures folder: $XDG_PICTURES_DIR, else the one named in the user's
    /// "user-dirs.dirs" under the config home, else ~/Pictures.
    static std::string picturesDirectory();

    /// The visible subfolders of folder (full paths), by name, case and accents ignored.
    static std::vector<std::string> albumsInFolder(const std::string& folder);
    /// The visible files of folder whose names end in a picture extension (full paths), by
    /// name. A file is listed whether or not it can be read; the grid says which cannot.
    static std::vector<std::string> picturesInFolder(const std::string& folder);
    /// Whether the file name ends in an extension of a picture format ("jpg", "png"…).
    static bool hasPictureExtension(const std::string& name);
    /// The last part of path (an album's title).
    static std::string displayName(const std::string& path);
};

} // namespace ui
