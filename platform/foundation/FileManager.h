#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace foundation {

/// The user's home directory ($HOME, else the password database).
std::string homeDirectory();
/// $XDG_CONFIG_HOME, or ~/.config when it is unset or not absolute.
std::string configHome();
/// $XDG_DATA_HOME, or ~/.local/share when it is unset or not absolute.
std::string dataHome();

/// The documents directory that holds the database and the audio files:
/// $XDG_DATA_HOME/parlivo/Documents unless setDocumentsDirectory() chose another. It is
/// created (owner-only) on first use; a failure is logged once and the path still returned.
std::string documentsDirectory();
/// Chooses the documents directory (the program's --documents option, and tests). An empty
/// path returns to the default.
void setDocumentsDirectory(std::string path);

/// Whether a file or directory exists at path, following symbolic links.
bool fileExists(const std::string& path);
/// Copies a regular file; fails (with a reason in *error) when the target already exists, as
/// the platform's copy does. The copy is created owner-only.
bool copyItem(const std::string& from, const std::string& to, std::string* error = nullptr);
/// Removes a file or an empty directory; false with a reason when it could not.
bool removeItem(const std::string& path, std::string* error = nullptr);
/// The size of the file at path in bytes, following symbolic links; none when missing.
std::optional<std::uint64_t> fileSize(const std::string& path);
/// The last modification time of the file at path in seconds since 1970; none when missing.
std::optional<double> modificationDate(const std::string& path);
/// What the directory entry at path is, without following a symbolic link.
struct ItemAttributes {
    /// A regular file: not a link, directory, named pipe, socket or device.
    bool regular { false };
    std::uint64_t size { 0 };
    /// Seconds since 1970.
    double modified { 0 };
};
/// The attributes of the entry at path itself (lstat); none when there is none. Reading them
/// never opens the entry, so a named pipe or a device there cannot block the caller.
std::optional<ItemAttributes> attributesOfItem(const std::string& path);
/// The names (not paths) of the entries of a directory, sorted; empty when it cannot be read.
std::vector<std::string> contentsOfDirectory(const std::string& path);
/// Renames path to a name beside it that is not taken: path, suffix, then "-1", "-2"... when
/// needed. Returns the new path, or none (with a reason) when the rename failed.
std::optional<std::string> moveAside(const std::string& path, const std::string& suffix, std::string* error = nullptr);
/// Creates a directory and any missing parents with owner-only permissions.
bool createDirectory(const std::string& path, std::string* error = nullptr);
/// The whole content of a file, or none when it cannot be read.
std::optional<std::string> readFile(const std::string& path);
/// Writes data to path so that readers see the old or the new content, never a part: a
/// temporary file in the same directory is written, flushed to disk and renamed over path,
/// and the directory is flushed. The file is created owner-only (mode 0600).
bool writeFileAtomically(const std::string& path, const std::string& data, std::string* error = nullptr);

} // namespace foundation
