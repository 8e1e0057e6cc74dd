#pragma once

#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

class Recording;
struct sqlite3;
struct sqlite3_stmt;

/// Posted after every load of the category list (also the nested loads while the defaults are
/// seeded); the object is the RecordingLibrary*.
extern const char* const PRLVNotificationCategoriesChanged;

/// The one object through which the system reaches the stored recordings and categories. It
/// owns the database connection ("parlivodb.sql" in the documents directory, copied from the
/// template among the resources on the first start) and every Recording.
///
/// The process-wide instance is made by the first sharedLibrary() call and lives until the end
/// of the process; finalize() saves everything and closes the database at termination. All
/// operations run on the main thread.
class RecordingLibrary {
public:
    /// The shared instance, made and loaded on first call under a lock that the creating
    /// thread may take again: start-up re-enters sharedLibrary() (saving or deleting an
    /// unfiled recording posts notifications whose observers ask for the library) and gets
    /// the instance under construction. Other threads wait until it is ready.
    static RecordingLibrary& sharedLibrary();
    /// Tests only: closes the database of the shared instance without saving (if finalize()
    /// has not done so), destroys it, and lets the next sharedLibrary() start from scratch.
    /// Recordings held elsewhere outlive it but can no longer reach the database.
    static void resetSharedLibrary();

    RecordingLibrary(const RecordingLibrary&) = delete;
    RecordingLibrary& operator=(const RecordingLibrary&) = delete;

    /// Every recording: the stored rows in load order, then those made in this run in creation
    /// order. Only newRecording() adds and Recording::deleteRecording() removes; iterate over a
    /// copy when the loop body may delete.
    const std::vector<std::shared_ptr<Recording>>& recordings() const { return m_recordings; }
    /// The distinct non-empty category names in byte order of their UTF-8 text.
    const std::vector<std::string>& definedCategories() const { return m_definedCategories; }
    /// The connection; null before the database was opened or after finalize().
    sqlite3* database() const { return m_database; }

    /// Inserts a row (empty title, a fresh UUID as audio file name, created now, not filed)
    /// and returns its recording, which the library keeps as well. Null, with a log line,
    /// when the row could not be inserted.
    std::shared_ptr<Recording> newRecording();
    /// The title for a recording saved without one: the "Untitled Recording" display text, or
    /// it followed by " 1", " 2"... whichever is first not taken by any row (Trash included).
    /// None, with a log line, when the titles cannot be read.
    std::optional<std::string> getNextAvailableRecordingTitle();
    /// Asks every recording to save, in order.
    void saveAll();
    /// Saves everything, finalizes every statement and closes the database. Called once, at
    /// termination; the library must not be used afterwards.
    void finalize();

    /// Reloads the category list, seeding the eight default categories when the table holds
    /// no usable name, and posts PRLVNotificationCategoriesChanged.
    void loadCategories();
    /// Adds a category; an empty name or one already defined (exact comparison) is ignored.
    void addCategory(const std::string& name);
    /// Removes a category and moves its recordings (any location) to the default category.
    /// An unknown name is ignored; nothing is carried over when the row could not be removed.
    void removeCategory(const std::string& name);
    /// Renames a category, its recordings and, when it is the default, the "defaultCategory"
    /// setting. An unknown old name is ignored; the new name is not checked here.
    void updateCategoryTo(const std::string& oldName, const std::string& newName);

private:
    friend class Recording;

    RecordingLibrary() = default;
    ~RecordingLibrary();
    void init();
    void createEditableCopyOfDatabaseIfNeeded();
    void initializeDatabase();
    void useWriteAheadLog();
    /// Makes a Recording of every row; answers the last step's result (SQLITE_DONE when all
    /// were read, SQLITE_CORRUPT when a damaged page stopped the reading).
    int loadRecordings();
    /// Opens the connection with a busy timeout; false, logged, when it cannot be opened.
    bool openDatabase();
    /// Why the open database cannot be used (not a database, damaged, not the expected
    /// tables and columns); none when it can, or when a lock or an I/O error kept it from
    /// being checked.
    std::optional<std::string> unusableDatabaseReason();
    /// Closes the connection, renames the database (with its log) aside, logs it and copies the
    /// template in its place. False, logged, when it could not be renamed.
    bool setDatabaseAside(const std::string& reason);
    /// Files the recordings a run left unfiled whose audio file is a readable recording,
    /// deletes those without an audio file, and leaves the rest (with a log line).
    void recoverUnfiledRecordings();
    /// After starting again from the template: files every recording audio file of the
    /// documents directory that no row refers to.
    void fileUnreferencedAudioFiles();
    /// Gives an unfiled recording its audio file's size and length, an untitled title from
    /// untitledTitles when it has none, files it in My Recordings and saves it. False when the
    /// audio file is not a readable recording.
    bool fileAudioOf(Recording& recording, std::optional<std::unordered_set<std::string>>& untitledTitles);
    /// Inserts a row for an audio file, unfiled and untitled, and returns its recording.
    std::shared_ptr<Recording> insertRecording(const std::string& audioFileName, double createdDate);
    /// Gives a row whose key does not fit 32 bits the key after the largest that does; 0, with
    /// the row removed, when none is free.
    long long moveRowToFittingKey(long long rowId);
    /// The titles of every row that contain the untitled base text; none when unreadable.
    std::optional<std::unordered_set<std::string>> takenUntitledTitles();
    /// The first untitled title not in taken, which it then joins.
    static std::string nextUntitledTitle(std::unordered_set<std::string>& taken);
    /// Finalizes every statement and closes the connection; the records lose their handle.
    void closeDatabase();
    /// Recording::deleteRecording()'s last step.
    void removeRecording(const Recording* recording);
    /// Gives every recording of category oldName the category newName and saves it.
    void moveRecordingsToCategory(const std::string& oldName, const std::string& newName);
    void postCategoriesChanged();
    /// Runs one of the category writes with the given texts bound in order; false, logged,
    /// when it could not be prepared or did not finish.
    bool executeCategoryStatement(sqlite3_stmt*& statement, const char* sql, const char* prepareFailureText,
        const char* stepFailureText, std::initializer_list<std::string> texts);

    std::vector<std::shared_ptr<Recording>> m_recordings;
    std::vector<std::string> m_definedCategories;
    sqlite3* m_database { nullptr };

    sqlite3_stmt* load_titles_statement { nullptr };
    sqlite3_stmt* insert_recording_statement { nullptr };
    sqlite3_stmt* load_categories_statement { nullptr };
    sqlite3_stmt* insert_category_statement { nullptr };
    sqlite3_stmt* delete_category_statement { nullptr };
    sqlite3_stmt* update_category_statement { nullptr };
};
