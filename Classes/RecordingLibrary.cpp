#include "RecordingLibrary.h"

#include "HelperMethods.h"
#include "Recording.h"

#include "audio/File.h"
#include "foundation/Bundle.h"
#include "foundation/Clock.h"
#include "foundation/FileManager.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "foundation/StringFormat.h"
#include "foundation/UUID.h"
#include "foundation/UnicodeText.h"
#include "foundation/UserDefaults.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <limits>
#include <mutex>
#include <sqlite3.h>
#include <unordered_set>

const char* const PRLVNotificationCategoriesChanged = "PRLVNotificationCategoriesChanged";

namespace {

constexpr const char* kDatabaseName = "parlivodb.sql";

// Guards the creation of the shared instance. Recursive, because the instance's own start-up
// asks for it again on the creating thread.
std::recursive_mutex& creationLock()
{
    static std::recursive_mutex lock;
    return lock;
}

RecordingLibrary* sharedInstance = nullptr;

std::string databasePath()
{
    return foundation::documentsDirectory() + "/" + kDatabaseName;
}

bool contains(const std::vector<std::string>& names, const std::string& name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

constexpr std::int64_t kLargestKey = std::numeric_limits<std::int32_t>::max();
// How long a statement waits for another connection's lock before it gives up.
constexpr int kBusyTimeoutMilliseconds = 2000;

// Runs one statement that returns at most a row of text; none when it gives no row.
std::optional<std::string> queryText(sqlite3* database, const char* sql, int* result = nullptr)
{
    sqlite3_stmt* statement = nullptr;
    int status = sqlite3_prepare_v2(database, sql, -1, &statement, nullptr);
    std::optional<std::string> text;
    if (status == SQLITE_OK) {
        status = sqlite3_step(statement);
        if (status == SQLITE_ROW) {
            const auto* value = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
            text = value ? value : "";
        }
    }
    sqlite3_finalize(statement);
    if (result)
        *result = status;
    return text;
}

// The column names of a table, sorted; empty for a missing table.
std::vector<std::string> columnsOf(sqlite3* database, const std::string& table)
{
    std::vector<std::string> names;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(database, ("PRAGMA table_info(" + table + ")").c_str(), -1, &statement, nullptr) == SQLITE_OK) {
        while (sqlite3_step(statement) == SQLITE_ROW) {
            const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(statement, 1));
            names.emplace_back(name ? name : "");
        }
    }
    sqlite3_finalize(statement);
    std::sort(names.begin(), names.end());
    return names;
}

// Start-up's writes as one transaction: one flush to disk instead of one per recording.
class Transaction {
public:
    explicit Transaction(sqlite3* database)
        : m_database(database)
        , m_open(database && sqlite3_exec(database, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK)
    {
    }
    ~Transaction()
    {
        if (!m_open || sqlite3_exec(m_database, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK)
            return;
        foundation::logf("Failed to commit changes with message '%s'.", sqlite3_errmsg(m_database));
        sqlite3_exec(m_database, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

private:
    sqlite3* m_database;
    bool m_open;
};

bool isTransient(int result)
{
    return result == SQLITE_BUSY || result == SQLITE_LOCKED || result == SQLITE_IOERR || result == SQLITE_NOMEM || result == SQLITE_CANTOPEN;
}

std::string defaultCategory()
{
    return foundation::UserDefaults::standardUserDefaults().stringForKey("defaultCategory").value_or("");
}

// A writer killed between writing sound and updating the header leaves a file that reads
// shorter than it is, or not at all; it is mended before its length is read or anything is
// appended to it.
void repairAudioFileHeader(const std::string& audioFileName)
{
    auto path = HelperMethods::getFullAudioFilePath(audioFileName);
    bool repaired = false;
    if (path && audio::File::repairHeader(*path, &repaired) == audio::noErr && repaired)
        foundation::logf("Repaired the header of the audio file '%s.caf' left by an interrupted recording.", audioFileName.c_str());
}

} // namespace

RecordingLibrary& RecordingLibrary::sharedLibrary()
{
    std::lock_guard lock(creationLock());
    if (!sharedInstance) {
        // Published before it loads, so that start-up's re-entrant calls find it.
        sharedInstance = new RecordingLibrary;
        sharedInstance->init();
    }
    return *sharedInstance;
}

void RecordingLibrary::resetSharedLibrary()
{
    std::lock_guard lock(creationLock());
    delete sharedInstance;
    sharedInstance = nullptr;
}

RecordingLibrary::~RecordingLibrary()
{
    closeDatabase();
}

void RecordingLibrary::init()
{
    m_recordings.clear();
    createEditableCopyOfDatabaseIfNeeded();
    initializeDatabase();
    loadCategories();
}

void RecordingLibrary::createEditableCopyOfDatabaseIfNeeded()
{
    const std::string path = databasePath();
    if (foundation::fileExists(path))
        return;
    // A log or journal left beside a database that is gone belongs to that database: applied
    // to the fresh copy it would corrupt it.
    for (const char* suffix : { "-wal", "-shm", "-journal" })
        foundation::removeItem(path + suffix);
    std::string error;
    if (!foundation::copyItem(foundation::Bundle::main().resourcePath() + "/" + kDatabaseName, path, &error))
        foundation::logf("Failed to create writable database file with message '%s'.", error.c_str());
}

void RecordingLibrary::initializeDatabase()
{
    if (!openDatabase())
        return;
    bool startedAgain = false;
    const std::string templatePath = foundation::Bundle::main().resourcePath() + "/" + kDatabaseName;
    if (auto problem = unusableDatabaseReason()) {
        // A database the program does not understand is never written: what it holds stays
        // for the user under another name, and the memos come back from their audio files.
        // Without a template there is nothing better to start from.
        if (!foundation::fileExists(templatePath)) {
            foundation::logf("Database '%s' cannot be used (%s) and there is no template to start again from.", databasePath().c_str(), problem->c_str());
        } else {
            if (!setDatabaseAside(*problem) || !openDatabase())
                return;
            startedAgain = true;
        }
    }
    int loaded = loadRecordings();
    // Rows on damaged pages cannot be trusted, nor written: the file is kept aside as one
    // that cannot be used at all.
    if ((loaded & 0xff) == SQLITE_CORRUPT && !startedAgain && foundation::fileExists(templatePath)) {
        const std::string reason = std::string("damaged: ") + sqlite3_errstr(loaded);
        m_recordings.clear();
        if (!setDatabaseAside(reason) || !openDatabase())
            return;
        startedAgain = true;
        loadRecordings();
    }
    // Only now: switching the log writes to the file, and a damaged one is never written.
    useWriteAheadLog();
    recoverUnfiledRecordings();
    if (startedAgain)
        fileUnreferencedAudioFiles();
}

void RecordingLibrary::useWriteAheadLog()
{
    // Durability. In write-ahead-log mode a commit only appends to the log and the database
    // file is changed by checkpoints that can be repeated, so a process killed at any moment
    // leaves a database that opens intact: an unfinished commit is ignored, a finished one is
    // replayed. synchronous=FULL flushes the log to disk before a commit returns, so a save
    // that returned also survives a power cut, not only a killed process. (With a rollback
    // journal the same guarantees hold at several flushes per commit instead of one.)
    char* error = nullptr;
    if (sqlite3_exec(m_database, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;", nullptr, nullptr, &error) != SQLITE_OK)
        foundation::logf("Failed to set the journal mode with message '%s'.", error ? error : "");
    sqlite3_free(error);
}

int RecordingLibrary::loadRecordings()
{
    sqlite3_stmt* statement = nullptr;
    // One pass over the table: a query per row by its key took most of the start-up's
    // database time at thousands of memos.
    int result = sqlite3_prepare_v2(m_database,
        "SELECT pk, title, audioFileName, size, category, comments, length, playCount, createdDate, location FROM recordings", -1,
        &statement, nullptr);
    if (result == SQLITE_OK) {
        while ((result = sqlite3_step(statement)) == SQLITE_ROW) {
            sqlite3_int64 pk = sqlite3_column_int64(statement, 0);
            // Keys are 32 bits wide: a larger one would alias another row's key.
            if (pk < std::numeric_limits<std::int32_t>::min() || pk > kLargestKey) {
                foundation::logf("Skipping recording row %lld: its key does not fit.", static_cast<long long>(pk));
                continue;
            }
            m_recordings.push_back(std::make_shared<Recording>(static_cast<std::int32_t>(pk), m_database, statement, 1));
        }
    }
    if (sqlite3_finalize(statement) != SQLITE_OK)
        foundation::logf("Failed to finalize statement with error '%s'.", sqlite3_errmsg(m_database));
    return result;
}

bool RecordingLibrary::openDatabase()
{
    if (sqlite3_open(databasePath().c_str(), &m_database) != SQLITE_OK) {
        foundation::logf("Failed to open database with message '%s'.", m_database ? sqlite3_errmsg(m_database) : "out of memory");
        sqlite3_close(m_database);
        m_database = nullptr;
        return false;
    }
    // Another process may hold a lock for a moment (a backup, the sqlite3 tool).
    sqlite3_busy_timeout(m_database, kBusyTimeoutMilliseconds);
    return true;
}

std::optional<std::string> RecordingLibrary::unusableDatabaseReason()
{
    int result = SQLITE_OK;
    // The schema's version is read from the file's first page: enough to tell a database from
    // anything else. Damaged pages further in show when the load reads them; a whole-file
    // check here would read every stored photo at every start.
    queryText(m_database, "PRAGMA schema_version", &result);
    // A lock or an I/O hiccup says nothing about the file: it is used as it is.
    if (isTransient(result & 0xff))
        return std::nullopt;
    if (result != SQLITE_ROW)
        return std::string(sqlite3_errstr(result));
    static const std::vector<std::string> kRecordingColumns = { "audioFileName", "category", "comments", "createdDate", "image",
        "length", "location", "pk", "playCount", "size", "title" };
    auto recordingColumns = columnsOf(m_database, "recordings");
    if (recordingColumns.empty())
        return std::string("no recordings table");
    if (recordingColumns != kRecordingColumns)
        return std::string("unexpected columns in the recordings table");
    if (columnsOf(m_database, "categories") != std::vector<std::string> { "category" })
        return std::string("no categories table of the expected columns");
    return std::nullopt;
}

bool RecordingLibrary::setDatabaseAside(const std::string& reason)
{
    const std::string path = databasePath();
    closeDatabase();
    char stamp[32];
    std::time_t now = static_cast<std::time_t>(foundation::currentDate());
    std::tm utc {};
    gmtime_r(&now, &utc);
    std::strftime(stamp, sizeof stamp, ".unusable-%Y%m%d-%H%M%S", &utc);
    std::string error;
    auto aside = foundation::moveAside(path, stamp, &error);
    if (!aside) {
        foundation::logf("Database '%s' cannot be used (%s) and could not be moved aside: %s.", path.c_str(), reason.c_str(), error.c_str());
        return false;
    }
    // Its log and index belong to it: beside a fresh copy they would corrupt it.
    for (const char* suffix : { "-wal", "-shm", "-journal" }) {
        if (foundation::fileExists(path + suffix))
            std::rename((path + suffix).c_str(), (*aside + suffix).c_str());
    }
    foundation::logf("Database '%s' cannot be used (%s); kept as '%s', starting again from the template.", path.c_str(), reason.c_str(), aside->c_str());
    createEditableCopyOfDatabaseIfNeeded();
    return true;
}

void RecordingLibrary::recoverUnfiledRecordings()
{
    std::vector<std::shared_ptr<Recording>> unfiled;
    for (const auto& recording : m_recordings) {
        // A row that could not be read is not known to be unfiled: it is left alone.
        if (recording->isLoaded() && recording->location() == 0)
            unfiled.push_back(recording);
    }
    if (unfiled.empty())
        return;
    Transaction transaction(m_database);
    auto titles = takenUntitledTitles();
    std::vector<std::shared_ptr<Recording>> missing;
    for (const auto& recording : unfiled) {
        if (!HelperMethods::audioFileExists(recording->audioFileName())) {
            missing.push_back(recording);
            continue;
        }
        repairAudioFileHeader(recording->audioFileName());
        if (!fileAudioOf(*recording, titles))
            foundation::logf("Unfiled recording %d is left as it is: its audio file is not a readable recording.", recording->key());
    }
    // Deleting removes from m_recordings, so it waits until the walk is over.
    for (const auto& recording : missing)
        recording->deleteRecording();
}

void RecordingLibrary::fileUnreferencedAudioFiles()
{
    std::unordered_set<std::string> referenced;
    for (const auto& recording : m_recordings)
        referenced.insert(recording->audioFileName());
    std::vector<std::string> names;
    for (const auto& entry : foundation::contentsOfDirectory(foundation::documentsDirectory())) {
        constexpr std::string_view kExtension = ".caf";
        if (entry.size() <= kExtension.size() || !entry.ends_with(kExtension))
            continue;
        std::string name = entry.substr(0, entry.size() - kExtension.size());
        if (foundation::isUUIDString(name) && !referenced.count(name))
            names.push_back(std::move(name));
    }
    if (names.empty())
        return;
    Transaction transaction(m_database);
    auto titles = takenUntitledTitles();
    int filed = 0;
    for (const auto& name : names) {
        auto path = HelperMethods::getFullAudioFilePath(name);
        auto created = path ? foundation::modificationDate(*path) : std::nullopt;
        repairAudioFileHeader(name);
        if (!HelperMethods::audioFileDuration(name)) {
            foundation::logf("Audio file '%s.caf' is not a readable recording; left as it is.", name.c_str());
            continue;
        }
        auto recording = insertRecording(name, created.value_or(foundation::currentDate()));
        if (recording && fileAudioOf(*recording, titles))
            ++filed;
    }
    foundation::logf("Filed %d of %zu audio files that no recording referred to.", filed, names.size());
}

bool RecordingLibrary::fileAudioOf(Recording& recording, std::optional<std::unordered_set<std::string>>& untitledTitles)
{
    auto duration = HelperMethods::audioFileDuration(recording.audioFileName());
    if (!duration)
        return false;
    recording.setSize(HelperMethods::getAudioFileSizeFormattedString(recording.audioFileName()));
    recording.setLength(static_cast<float>(*duration));
    recording.setLocation(1);
    // The taken titles are read once for the whole walk, not once per recording.
    if (recording.title().empty() && untitledTitles)
        recording.setTitle(nextUntitledTitle(*untitledTitles));
    recording.save();
    return true;
}

std::shared_ptr<Recording> RecordingLibrary::newRecording()
{
    return insertRecording(foundation::makeUUIDString(), foundation::currentDate());
}

std::shared_ptr<Recording> RecordingLibrary::insertRecording(const std::string& audioFileName, double createdDate)
{
    if (!Recording::prepareCached(m_database, insert_recording_statement,
            "INSERT INTO recordings (title, audioFileName, createdDate, location) VALUES(?, ?, ?, ?)",
            "Prepare insert statement failed with error %s."))
        return nullptr;
    {
        Recording::StatementReset reset(insert_recording_statement);
        Recording::bindText(insert_recording_statement, 1, "");
        Recording::bindText(insert_recording_statement, 2, audioFileName);
        sqlite3_bind_double(insert_recording_statement, 3, createdDate);
        sqlite3_bind_int(insert_recording_statement, 4, 0);
        // Only a finished insert has a row id of its own; anything else yields no record.
        if (!Recording::stepWrite(m_database, insert_recording_statement, "Insert statement execution failed with error %s."))
            return nullptr;
    }
    sqlite3_int64 rowId = sqlite3_last_insert_rowid(m_database);
    if (rowId > kLargestKey && !(rowId = moveRowToFittingKey(rowId)))
        return nullptr;
    auto recording = std::make_shared<Recording>(static_cast<std::int32_t>(rowId), m_database);
    m_recordings.push_back(recording);
    return recording;
}

long long RecordingLibrary::moveRowToFittingKey(long long rowId)
{
    // A row with a key beyond 32 bits (left by another program) makes every new row's key
    // too large as well; the new row moves below it instead of being left behind unusable.
    auto largest = queryText(m_database, "SELECT ifnull(max(pk), 0) FROM recordings WHERE pk <= 2147483647");
    long long key = largest ? std::stoll(*largest) + 1 : 0;
    const std::string row = std::to_string(rowId);
    if (key <= 0 || key > kLargestKey
        || sqlite3_exec(m_database, ("UPDATE recordings SET pk=" + std::to_string(key) + " WHERE pk=" + row).c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        sqlite3_exec(m_database, ("DELETE FROM recordings WHERE pk=" + row).c_str(), nullptr, nullptr, nullptr);
        foundation::logf("Insert statement execution failed with error %s.", "no free key fits");
        return 0;
    }
    return key;
}

std::optional<std::string> RecordingLibrary::getNextAvailableRecordingTitle()
{
    auto taken = takenUntitledTitles();
    if (!taken)
        return std::nullopt;
    return nextUntitledTitle(*taken);
}

std::optional<std::unordered_set<std::string>> RecordingLibrary::takenUntitledTitles()
{
    if (!Recording::prepareCached(m_database, load_titles_statement, "SELECT title FROM recordings",
            "Prepare select titles statement failed with error %s."))
        return std::nullopt;
    const std::string base = foundation::localizedString("Untitled Recording");
    const std::string foldedBase = foundation::caseFolded(base).value_or(base);
    std::unordered_set<std::string> taken;
    Recording::StatementReset reset(load_titles_statement);
    int result;
    while ((result = sqlite3_step(load_titles_statement)) == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(load_titles_statement, 0));
        std::string_view title(text ? text : "", text ? static_cast<size_t>(sqlite3_column_bytes(load_titles_statement, 0)) : 0);
        auto folded = foundation::caseFolded(title);
        if (folded && folded->find(foldedBase) != std::string::npos)
            taken.emplace(title);
    }
    // Titles read only in part could name a taken title as free.
    if (result != SQLITE_DONE) {
        Recording::logDatabaseError(m_database, "Select titles statement execution failed with error %s.");
        return std::nullopt;
    }
    return taken;
}

std::string RecordingLibrary::nextUntitledTitle(std::unordered_set<std::string>& taken)
{
    const std::string base = foundation::localizedString("Untitled Recording");
    std::string candidate = base;
    for (int number = 1; taken.count(candidate); ++number)
        candidate = foundation::format("%s %i", base.c_str(), number);
    taken.insert(candidate);
    return candidate;
}

void RecordingLibrary::saveAll()
{
    for (const auto& recording : std::vector(m_recordings))
        recording->save();
}

void RecordingLibrary::finalize()
{
    saveAll();
    closeDatabase();
    m_recordings.clear();
    m_definedCategories.clear();
}

void RecordingLibrary::closeDatabase()
{
    Recording::finalizeStatements(m_database, {
        { &load_titles_statement, "Failed to finalize load_titles_statement with error '%s'." },
        { &insert_recording_statement, "Failed to finalize insert_recording_statement with error '%s'." },
        { &load_categories_statement, "Failed to finalize load_categories_statement with error '%s'." },
        { &insert_category_statement, "Failed to finalize insert_category_statement with error '%s'." },
        { &delete_category_statement, "Failed to finalize delete_category_statement with error '%s'." },
        { &update_category_statement, "Failed to finalize update_category_statement with error '%s'." },
    });
    if (!m_database)
        return;
    Recording::finalizeSqlStatements();
    for (const auto& recording : m_recordings)
        recording->detachFromDatabase();
    if (sqlite3_close(m_database) != SQLITE_OK)
        foundation::logf("Error: failed to close database with message '%s'.", sqlite3_errmsg(m_database));
    m_database = nullptr;
}

void RecordingLibrary::removeRecording(const Recording* recording)
{
    std::erase_if(m_recordings, [recording](const auto& held) { return held.get() == recording; });
}

void RecordingLibrary::loadCategories()
{
    if (!Recording::prepareCached(m_database, load_categories_statement, "SELECT category FROM categories ORDER BY category",
            "Prepare select statement failed with error %s."))
        return;
    std::vector<std::string> names;
    {
        Recording::StatementReset reset(load_categories_statement);
        int result;
        while ((result = sqlite3_step(load_categories_statement)) == SQLITE_ROW) {
            std::string name = Recording::columnText(load_categories_statement, 0);
            if (!name.empty() && foundation::isValidUtf8(name) && !contains(names, name))
                names.push_back(std::move(name));
        }
        // A list read only in part must not replace the last one, nor be taken for an empty
        // table and seeded with the defaults a second time.
        if (result != SQLITE_DONE) {
            Recording::logDatabaseError(m_database, "Select categories statement execution failed with error %s.");
            return;
        }
    }
    m_definedCategories = std::move(names);
    if (m_definedCategories.empty()) {
        for (const char* key : { "General", "To Do", "Reminders", "Shopping List", "Lectures", "Meetings", "Fun", "Other" })
            addCategory(foundation::localizedString(key));
    }
    postCategoriesChanged();
}

void RecordingLibrary::addCategory(const std::string& name)
{
    if (name.empty() || contains(m_definedCategories, name))
        return;
    // Reloading after a failed insert would find the table as empty as before and seed the
    // defaults again, without end.
    if (!executeCategoryStatement(insert_category_statement, "INSERT INTO categories (category) VALUES(?)",
            "Prepare insert category statement failed with error %s.", "Insert category statement execution failed with error %s.",
            { name }))
        return;
    loadCategories();
}

void RecordingLibrary::removeCategory(const std::string& name)
{
    if (name.empty() || !contains(m_definedCategories, name))
        return;
    {
        // One transaction: a single flush to disk for the whole move, and no run that ends
        // half way leaves recordings in a category that is gone.
        Transaction transaction(m_database);
        // A category that is still there keeps its recordings.
        if (!executeCategoryStatement(delete_category_statement, "DELETE FROM categories WHERE category=?",
                "Prepare delete category statement failed with error %s.", "Delete category statement execution failed with error %s.",
                { name }))
            return;
        moveRecordingsToCategory(name, defaultCategory());
    }
    loadCategories();
}

void RecordingLibrary::updateCategoryTo(const std::string& oldName, const std::string& newName)
{
    if (!contains(m_definedCategories, oldName))
        return;
    {
        Transaction transaction(m_database);
        // Recordings renamed without their category would belong to none that is listed.
        if (!executeCategoryStatement(update_category_statement, "UPDATE categories SET category=? WHERE category=?",
                "Prepare update category statement failed with error %s.", "Update category statement execution failed with error %s.",
                { newName, oldName }))
            return;
        moveRecordingsToCategory(oldName, newName);
    }
    if (defaultCategory() == oldName)
        foundation::UserDefaults::standardUserDefaults().setObjectForKey(newName, "defaultCategory");
    loadCategories();
}

bool RecordingLibrary::executeCategoryStatement(sqlite3_stmt*& statement, const char* sql, const char* prepareFailureText,
    const char* stepFailureText, std::initializer_list<std::string> texts)
{
    if (!Recording::prepareCached(m_database, statement, sql, prepareFailureText))
        return false;
    Recording::StatementReset reset(statement);
    int index = 0;
    for (const auto& text : texts)
        Recording::bindText(statement, ++index, text);
    return Recording::stepWrite(m_database, statement, stepFailureText);
}

void RecordingLibrary::moveRecordingsToCategory(const std::string& oldName, const std::string& newName)
{
    for (const auto& recording : std::vector(m_recordings)) {
        if (recording->category() == oldName) {
            recording->setCategory(newName);
            recording->save();
        }
    }
}

void RecordingLibrary::postCategoriesChanged()
{
    foundation::NotificationCenter::defaultCenter().postNotificationName(PRLVNotificationCategoriesChanged, this);
}
