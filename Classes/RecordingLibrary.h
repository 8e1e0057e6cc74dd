#pragma once

#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
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

    /// Why the store cannot keep what it is asked to, in the terms the user is told.
    enum class StorageProblem {
        None,
        /// Another program holds a lock on the database.
        Busy,
        /// The database or its folder cannot be written (permissions, a read-only file system).
        ReadOnly,
        /// The disk (or the user's quota) is full.
        Full,
        /// No database could be opened, or a write failed for another reason.
        Unavailable,
    };

    /// What start-up met that the user should hear of, once, at launch.
    struct StartupReport {
        /// Busy or ReadOnly when the library cannot be written this run (Busy: not even read);
        /// Unavailable when no database could be opened.
        StorageProblem problem { StorageProblem::None };
        /// A database set aside by this start, or the one this start took memos' details from;
        /// empty when none. asideReason says why it could not be used.
        std::string asidePath;
        std::string asideReason;
        /// Memos filed again from their audio files this start, and how many of them got their
        /// title and details back from a database set aside.
        int refiled { 0 };
        int restored { 0 };
    };

    /// The outcome of the checks start-up makes on the database file and its write-ahead log
    /// before it writes anything.
    struct FileCheck {
        enum class Verdict {
            /// Nothing against it (or a lock or an I/O error kept it from being checked).
            Usable,
            /// No file, or one of zero bytes with no log: nothing to keep.
            Empty,
            /// Not a database, damaged, not the expected tables, or a log that does not belong
            /// to it: it is never written, only set aside (reason says why).
            Unusable,
            /// Another program holds a lock on it for longer than start-up waits.
            Busy,
        };
        Verdict verdict { Verdict::Usable };
        std::string reason;
    };

    /// The checks themselves, on the database at databasePath and the "-wal" beside it, made
    /// through read-only connections and reads of the files: neither file is written, whatever
    /// they hold. The audio files that a log's rows name are looked for beside the database.
    static FileCheck checkDatabaseFiles(const std::string& databasePath);
    /// Why the write-ahead log at logPath cannot be the log of the database at databasePath,
    /// judged from their bytes (page size, the change counter of page 1 against the log's
    /// copies of it, the database size its commits give); none when it may be, or when it holds
    /// no committed frame that SQLite would apply.
    static std::optional<std::string> logMismatch(const std::string& databasePath, const std::string& logPath);

    /// What start-up met (see StartupReport).
    const StartupReport& startupReport() const { return m_startupReport; }
    /// The cause of the last write that SQLite did not complete; None after one that it did.
    StorageProblem lastWriteProblem() const { return m_lastWriteProblem; }
    /// The display text for a prompt that says storage failed: promptKey is "Storage
    /// Unavailable Prompt" (nothing can be recorded) or "Save Failed Prompt" (a save was not
    /// written). A lock or a read-only library get texts that say so; otherwise the prompt's
    /// own text.
    std::string storageProblemText(const std::string& promptKey) const;
    /// Tests only: how long start-up waits for another program's lock before it reports the
    /// library busy (8 s unless changed).
    static void setStartupBusyWait(double seconds);

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

    /// What the databases set aside in the documents directory still hold (RecordingLibrary.cpp).
    class Salvage;

    RecordingLibrary() = default;
    ~RecordingLibrary();
    void init();
    void createEditableCopyOfDatabaseIfNeeded();
    void initializeDatabase();
    void useWriteAheadLog();
    /// Makes a Recording of every row; answers the last step's result (SQLITE_DONE when all
    /// were read, SQLITE_CORRUPT when a damaged page stopped the reading).
    int loadRecordings();
    /// Opens the connection (read-only when the database or its folder cannot be written)
    /// with a busy timeout; never creates the file. False, logged, when it cannot be opened.
    bool openDatabase();
    /// Renames the database and its log aside as they are on disk (no connection is open on
    /// them), logs it and copies the template in its place. False, logged, when it could not
    /// be renamed.
    bool setDatabaseAside(const std::string& reason);
    /// Closes the connection without the checkpoint a close makes, so that nothing of its log
    /// reaches the file before the pair is set aside.
    void closeDatabaseWithoutCheckpoint();
    /// The titles of every row that contain the untitled base text, read on first use during
    /// start-up (none when unreadable).
    std::optional<std::unordered_set<std::string>>& startupTitles();
    /// Files the recordings a run left unfiled whose audio file is a readable recording,
    /// deletes those without an audio file, and leaves the rest (with a log line).
    void recoverUnfiledRecordings();
    /// The recording audio files among documentNames that no row names.
    std::vector<std::string> unreferencedAudioFiles(const std::vector<std::string>& documentNames) const;
    /// Files those of names that are regular files in the recorder's format, with what a
    /// database set aside among documentNames still says of them; the categories of such a
    /// database come back too.
    void fileUnreferencedAudioFiles(const std::vector<std::string>& names, const std::vector<std::string>& documentNames);
    /// The filed recordings whose audio file was modified since the given time.
    std::vector<std::shared_ptr<Recording>> recordingsChangedSince(double since) const;
    /// Gives those whose audio file (its header mended) holds another length than the row
    /// that length and the file's size.
    void repairChangedLengths(const std::vector<std::shared_ptr<Recording>>& changed);
    /// Gives an unfiled recording its audio file's size and length and an untitled title when
    /// it has none, files it (in My Recordings unless it is in the Trash) and saves it. False
    /// when the audio file is not a readable recording.
    bool fileAudioOf(Recording& recording);
    /// Inserts a row for an audio file, unfiled and untitled, and returns its recording.
    std::shared_ptr<Recording> insertRecording(const std::string& audioFileName, double createdDate);
    /// Gives a memo filed again what a database set aside still says of it (title, comments,
    /// category, location, play count, date, photo). False when it says nothing of it.
    bool restoreFromSalvage(Recording& recording, Salvage& salvage);
    /// Adds the categories of the databases that memos were restored from.
    void restoreCategories(const Salvage& salvage);
    /// Notes the outcome of a write on the shared library's connection (Recording's steps).
    static void noteWriteResult(sqlite3* database, bool completed);
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
    /// Audio file names of rows that were not loaded (a key that does not fit): their files
    /// are not memos without a row.
    std::unordered_set<std::string> m_unlistedAudioFileNames;
    StartupReport m_startupReport;
    StorageProblem m_lastWriteProblem { StorageProblem::None };
    bool m_startupTitlesRead { false };
    std::optional<std::unordered_set<std::string>> m_startupTitles;
    /// The connections of databases set aside that memos were restored from (start-up only).
    std::vector<sqlite3*> m_restoredSources;

    sqlite3_stmt* load_titles_statement { nullptr };
    sqlite3_stmt* insert_recording_statement { nullptr };
    sqlite3_stmt* load_categories_statement { nullptr };
    sqlite3_stmt* insert_category_statement { nullptr };
    sqlite3_stmt* delete_category_statement { nullptr };
    sqlite3_stmt* update_category_statement { nullptr };
};
