#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

/// Posted by save() after a filed recording's row was written; the object is the Recording*.
extern const char* const PRLVNotificationRecordingSaved;
/// Posted by deleteRecording() after the row and the audio file are gone and before the
/// recording leaves the library; the object is the Recording*, whose location is then 0.
extern const char* const PRLVNotificationRecordingDeleted;

namespace gfx {
class Image;
}

/// A recording's photo: its encoded bytes as stored (PNG for photos this program stores; a
/// row written elsewhere may hold JPEG or any other format the graphics layer reads), shared
/// and never changed once made. Null means no photo. Two photos are "the same" only when
/// they are the same object.
using RecordingImage = std::shared_ptr<const std::vector<std::uint8_t>>;

/// One row of the recordings table held in memory: the metadata of one recording, with its
/// photo loaded lazily, a dirty flag, and the statements that read, write and delete the row.
///
/// Records are made only by RecordingLibrary (at load and by newRecording) and live in
/// std::shared_ptr; the library keeps one reference until deleteRecording() removes it. The
/// database connection is borrowed from the library. Main thread only: the statements are
/// shared by every record without locking.
class Recording : public std::enable_shared_from_this<Recording> {
public:
    /// Loads the row with the given key from database (initWithKey:database:). When the
    /// statement cannot be prepared or no row comes back, the failure is logged and the record
    /// holds only its key. Meant for RecordingLibrary alone.
    Recording(std::int32_t key, sqlite3* database);
    /// The record of the row a statement stands on: its columns from firstColumn on are those
    /// the load selects, in the same order. Meant for RecordingLibrary's start-up pass.
    Recording(std::int32_t key, sqlite3* database, sqlite3_stmt* row, int firstColumn);
    ~Recording();
    Recording(const Recording&) = delete;
    Recording& operator=(const Recording&) = delete;

    std::int32_t key() const { return m_key; }

    // Every setter stores a value that differs from the current one and marks the record
    // dirty; setting an equal string, date or number changes nothing.
    const std::string& title() const { return m_title; }
    void setTitle(const std::string& title);
    /// The audio file's base name: a UUID string. A name that is not one is never turned into
    /// a path (HelperMethods refuses it), so a tampered row cannot reach another file.
    const std::string& audioFileName() const { return m_audioFileName; }
    void setAudioFileName(const std::string& audioFileName);
    const std::string& size() const { return m_size; }
    void setSize(const std::string& size);
    const std::string& category() const { return m_category; }
    void setCategory(const std::string& category);
    const std::string& comments() const { return m_comments; }
    void setComments(const std::string& comments);
    /// Seconds since 1970-01-01 00:00:00 UTC.
    double createdDate() const { return m_createdDate; }
    void setCreatedDate(double createdDate);
    std::int32_t playCount() const { return m_playCount; }
    void setPlayCount(std::int32_t playCount);
    float length() const { return m_length; }
    void setLength(float length);
    /// 0 = not filed (new, or deleted), 1 = My Recordings, 2 = Trash.
    std::int32_t location() const { return m_location; }
    void setLocation(std::int32_t location);

    /// The photo, read from the database on first access. A stored blob that is empty or whose
    /// header is no picture format the graphics layer reads comes back as no photo (and stays
    /// stored as it is). When the row cannot be read, null is returned and the next access
    /// tries again.
    RecordingImage image();
    /// Replaces the photo (null removes it) and marks the record dirty unless it is the very
    /// photo already held. A photo set before the stored one was read replaces it for good,
    /// also when it is none: the next save clears the column.
    void setImage(RecordingImage image);
    /// Reads the photo column now.
    void loadImage();
    /// The bytes a chosen picture is stored as: PNG, scaled down (never up) so that its longer
    /// side has at most kMaxPhotoPixelSide pixels. Null when the picture cannot be encoded.
    static RecordingImage imageDataForPhoto(const gfx::Image& photo);
    /// The largest photo any screen shows: the playback screen's zoomed photo, 320 points
    /// wide, at 2x. A larger one would only make every row with a photo heavier.
    static constexpr int kMaxPhotoPixelSide = 640;
    /// A stored photo as a picture whose longer side has at most maxPixelSide pixels (and never
    /// more than kMaxPhotoPixelSide): decoded straight at that size whatever size it was stored
    /// at, so a photo stored large costs only what is shown. Null for no photo or bytes that do
    /// not decode.
    static std::shared_ptr<gfx::Image> photoImage(const RecordingImage& bytes, int maxPixelSide = kMaxPhotoPixelSide);

    /// Writes the row when the record is dirty and filed (location 1 or 2); an unfiled record
    /// is never written and stays dirty. An empty title first becomes the library's next free
    /// untitled title. The photo column is written only when the photo was set since it was
    /// last stored, so a photo the program did not change keeps its stored bytes. Only a write
    /// that SQLite completed clears the dirty flag and posts PRLVNotificationRecordingSaved;
    /// any failed step is logged and leaves the record dirty, so a later save (at the latest
    /// the one at termination) tries again.
    void save();
    /// Writes the photo column with the photo set since it was last stored: its bytes as held,
    /// or NULL for none. A photo not set since is left as stored (true, nothing written).
    /// Returns whether the column holds the current photo.
    bool saveImage();
    /// Removes the row, then the audio file, posts PRLVNotificationRecordingDeleted and leaves
    /// the library, in that order. When the row cannot be removed nothing else happens: the
    /// record, its file and its place in the library stay as they were. The record stays
    /// alive for the whole call even if the library held the last reference to it.
    void deleteRecording();

    bool isDirty() const { return m_dirty; }
    /// Whether the row was read at creation. A record whose row could not be read holds only
    /// its key: nothing about it, not even its location, is known.
    bool isLoaded() const { return m_loaded; }
    bool isImageLoaded() const { return m_imageLoaded; }
    /// The photo was set since it was last stored: the next save writes the photo column.
    bool isImageChanged() const { return m_imageChanged; }
    sqlite3* database() const { return m_database; }

    /// Finalizes the statements shared by all records (at termination, before the connection
    /// closes). Statements are prepared again on next use.
    static void finalizeSqlStatements();

private:
    friend class RecordingLibrary;
    /// The library forgets its connection: afterwards every operation fails to prepare.
    void detachFromDatabase() { m_database = nullptr; }
    void load();
    void readColumns(sqlite3_stmt* row, int firstColumn);

    // The statement handling shared with RecordingLibrary: a statement is prepared on first
    // use and cached; a write counts only when SQLite finished it (SQLITE_DONE). Failures are
    // logged with failureText, whose "%s" receives SQLite's error message.
    static bool prepareCached(sqlite3* database, sqlite3_stmt*& statement, const char* sql, const char* failureText);
    static bool stepWrite(sqlite3* database, sqlite3_stmt* statement, const char* failureText);
    static void logDatabaseError(sqlite3* database, const char* failureText);
    /// Finalizes each statement that exists and forgets it, logging its failureText when
    /// SQLite reports an error.
    static void finalizeStatements(sqlite3* database, std::initializer_list<std::pair<sqlite3_stmt**, const char*>> statements);
    static std::string columnText(sqlite3_stmt* statement, int column);
    /// Binds text as a copy (SQLite keeps its own).
    static void bindText(sqlite3_stmt* statement, int index, const std::string& text);

    // Resets a cached statement when the scope ends, whichever way the operation ended, so
    // its next user finds it ready.
    class StatementReset {
    public:
        explicit StatementReset(sqlite3_stmt* statement)
            : m_statement(statement)
        {
        }
        ~StatementReset();
        StatementReset(const StatementReset&) = delete;
        StatementReset& operator=(const StatementReset&) = delete;

    private:
        sqlite3_stmt* m_statement;
    };

    std::int32_t m_key { 0 };
    std::string m_title;
    std::string m_audioFileName;
    std::string m_size;
    std::string m_category;
    std::string m_comments;
    double m_createdDate { 0 };
    std::int32_t m_playCount { 0 };
    RecordingImage m_image;
    bool m_imageLoaded { false };
    bool m_imageChanged { false };
    float m_length { 0 };
    std::int32_t m_location { 0 };
    bool m_dirty { false };
    bool m_loaded { false };
    sqlite3* m_database { nullptr };
};
