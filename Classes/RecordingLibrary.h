#pragma once

#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
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
    void recoverUnfiledRecordings();
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
