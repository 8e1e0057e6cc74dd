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
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <limits>
#include <mutex>
#include <set>
#include <sqlite3.h>
#include <unistd.h>
#include <unordered_set>

const char* const PRLVNotificationCategoriesChanged = "PRLVNotificationCategoriesChanged";

namespace {

constexpr const char* kDatabaseName = "parlivodb.sql";
// Between the database's name and the time stamp of a copy set aside.
constexpr const char* kAsideInfix = ".unusable-";
// The header of every database file has this many bytes.
constexpr std::uint64_t kSmallestDatabase = 100;
// How long start-up waits for another program's lock on the database.
double startupBusyWait = 8;

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
    return result == SQLITE_BUSY || result == SQLITE_LOCKED || result == SQLITE_IOERR || result == SQLITE_NOMEM || result == SQLITE_CANTOPEN
        || result == SQLITE_FULL;
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

// Reads, in the bytes of a database file and its write-ahead log, what SQLite itself does
// not check: whether the log is that database's. (SQLite applies any log whose frames are
// valid in themselves, whichever database wrote it.)
namespace wal {

constexpr std::size_t kDatabaseHeaderSize = 100;
constexpr std::size_t kLogHeaderSize = 32;
constexpr std::size_t kFrameHeaderSize = 24;

std::uint32_t bigEndian32(const unsigned char* bytes)
{
    return (std::uint32_t(bytes[0]) << 24) | (std::uint32_t(bytes[1]) << 16) | (std::uint32_t(bytes[2]) << 8) | std::uint32_t(bytes[3]);
}

// The log's running checksum: pairs of 32-bit words, in the byte order its magic names.
struct Checksum {
    std::uint32_t first { 0 };
    std::uint32_t second { 0 };
    void add(const unsigned char* bytes, std::size_t count, bool bigEndianWords)
    {
        for (std::size_t i = 0; i + 8 <= count; i += 8) {
            auto word = [&](std::size_t at) {
                const unsigned char* w = bytes + at;
                return bigEndianWords ? bigEndian32(w) : (std::uint32_t(w[3]) << 24) | (std::uint32_t(w[2]) << 16) | (std::uint32_t(w[1]) << 8) | std::uint32_t(w[0]);
            };
            first += word(i) + second;
            second += word(i + 4) + first;
        }
    }
};

struct DatabaseHeader {
    std::uint32_t pageSize { 0 };
    std::uint32_t changeCounter { 0 };
    // The size in pages the header gives; none when a program that does not keep it wrote last.
    std::optional<std::uint32_t> pageCount;
};

std::optional<DatabaseHeader> readDatabaseHeader(int fd)
{
    unsigned char header[kDatabaseHeaderSize];
    if (::pread(fd, header, sizeof header, 0) != static_cast<ssize_t>(sizeof header) || std::memcmp(header, "SQLite format 3", 16) != 0)
        return std::nullopt;
    DatabaseHeader result;
    const std::uint32_t size = (std::uint32_t(header[16]) << 8) | header[17];
    result.pageSize = size == 1 ? 65536 : size;
    result.changeCounter = bigEndian32(header + 24);
    if (bigEndian32(header + 92) == result.changeCounter)
        result.pageCount = bigEndian32(header + 28);
    return result;
}

// What the committed frames of a log say about the database they were written against.
struct LogSummary {
    std::uint32_t pageSize { 0 };
    std::uint64_t committedFrames { 0 };
    // The change counters of page 1 in the committed frames, first and last.
    std::optional<std::uint32_t> firstPageOneCounter;
    std::uint32_t lastPageOneCounter { 0 };
    // The database sizes the commits give, smallest and largest.
    std::uint32_t smallestCommitSize { 0 };
    std::uint32_t largestCommitSize { 0 };
};

// Walks the frames as SQLite's recovery does: the header must be sound, and frames count up
// to the first whose salts or running checksum do not follow; only frames up to the last
// commit among them would be applied. None for a log SQLite would not apply at all.
std::optional<LogSummary> summarizeLog(int fd)
{
    unsigned char header[kLogHeaderSize];
    if (::pread(fd, header, sizeof header, 0) != static_cast<ssize_t>(sizeof header))
        return std::nullopt;
    const std::uint32_t magic = bigEndian32(header);
    if ((magic & 0xfffffffe) != 0x377f0682 || bigEndian32(header + 4) != 3007000)
        return std::nullopt;
    const bool bigEndianWords = magic & 1;
    LogSummary summary;
    summary.pageSize = bigEndian32(header + 8);
    if (summary.pageSize < 512 || summary.pageSize > 65536 || (summary.pageSize & (summary.pageSize - 1)))
        return std::nullopt;
    Checksum checksum;
    checksum.add(header, 24, bigEndianWords);
    if (checksum.first != bigEndian32(header + 24) || checksum.second != bigEndian32(header + 28))
        return std::nullopt;

    std::vector<unsigned char> frame(kFrameHeaderSize + summary.pageSize);
    std::optional<std::uint32_t> pendingFirst;
    std::uint32_t pendingLast = 0;
    off_t offset = kLogHeaderSize;
    for (std::uint64_t index = 1;; ++index, offset += static_cast<off_t>(frame.size())) {
        if (::pread(fd, frame.data(), frame.size(), offset) != static_cast<ssize_t>(frame.size()))
            break;
        const std::uint32_t page = bigEndian32(frame.data());
        if (page == 0 || std::memcmp(frame.data() + 8, header + 16, 8) != 0)
            break;
        checksum.add(frame.data(), 8, bigEndianWords);
        checksum.add(frame.data() + kFrameHeaderSize, summary.pageSize, bigEndianWords);
        if (checksum.first != bigEndian32(frame.data() + 16) || checksum.second != bigEndian32(frame.data() + 20))
            break;
        if (page == 1) {
            const std::uint32_t counter = bigEndian32(frame.data() + kFrameHeaderSize + 24);
            if (!pendingFirst)
                pendingFirst = counter;
            pendingLast = counter;
        }
        if (const std::uint32_t commitSize = bigEndian32(frame.data() + 4)) {
            summary.smallestCommitSize = summary.committedFrames ? std::min(summary.smallestCommitSize, commitSize) : commitSize;
            summary.largestCommitSize = std::max(summary.largestCommitSize, commitSize);
            summary.committedFrames = index;
            if (pendingFirst) {
                if (!summary.firstPageOneCounter)
                    summary.firstPageOneCounter = pendingFirst;
                summary.lastPageOneCounter = pendingLast;
                pendingFirst.reset();
            }
        }
    }
    return summary;
}

} // namespace wal

std::string columnText(sqlite3_stmt* statement, int column)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return text ? std::string(text, static_cast<size_t>(sqlite3_column_bytes(statement, column))) : std::string();
}

struct ScopedDescriptor {
    int fd { -1 };
    ~ScopedDescriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

// Opens a file for reading only, never blocking (a named pipe) and never following a link.
int openForReading(const std::string& path)
{
    return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
}

// A file: URI for path with the given query, for sqlite3_open_v2 with SQLITE_OPEN_URI.
std::string fileUri(const std::string& path, const std::string& query)
{
    std::string uri = "file:";
    for (unsigned char c : path) {
        if (c == '%' || c == '?' || c == '#' || c < 0x20 || c >= 0x7f) {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            uri += escaped;
        } else
            uri += static_cast<char>(c);
    }
    return uri + "?" + query;
}

// A connection that reads and never writes: SQLITE_OPEN_READONLY (no checkpoint, no file made
// but the log's index), or with immutable the file alone, its log not even read. Null, with
// *result set, when it cannot be opened.
sqlite3* openReadOnly(const std::string& path, bool immutable, int busyMilliseconds, int* result = nullptr)
{
    sqlite3* database = nullptr;
    int status = sqlite3_open_v2(fileUri(path, immutable ? "immutable=1" : "mode=ro").c_str(), &database,
        SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
    if (status != SQLITE_OK) {
        sqlite3_close(database);
        if (result)
            *result = status;
        return nullptr;
    }
    sqlite3_db_config(database, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    sqlite3_busy_timeout(database, busyMilliseconds);
    if (result)
        *result = SQLITE_OK;
    return database;
}

struct ConnectionCloser {
    sqlite3* database;
    ~ConnectionCloser() { sqlite3_close(database); }
};

// Why the database on a connection cannot be used (not a database, not the expected tables
// and columns); none when it can. *result is the status of reading its schema: a lock or an
// I/O error says nothing about the file and gives none.
std::optional<std::string> unusableDatabaseReason(sqlite3* database, int* result)
{
    // The schema's version is read from the file's first page: enough to tell a database from
    // anything else. Damaged pages further in show when the load reads them; a whole-file
    // check here would read every stored photo at every start.
    queryText(database, "PRAGMA schema_version", result);
    if (isTransient(*result & 0xff))
        return std::nullopt;
    if (*result != SQLITE_ROW)
        return std::string(sqlite3_errstr(*result));
    static const std::vector<std::string> kRecordingColumns = { "audioFileName", "category", "comments", "createdDate", "image",
        "length", "location", "pk", "playCount", "size", "title" };
    auto recordingColumns = columnsOf(database, "recordings");
    if (recordingColumns.empty())
        return std::string("no recordings table");
    if (recordingColumns != kRecordingColumns)
        return std::string("unexpected columns in the recordings table");
    if (columnsOf(database, "categories") != std::vector<std::string> { "category" })
        return std::string("no categories table of the expected columns");
    return std::nullopt;
}

// Calls each(statement) for every row of query that can be read. query selects the table's
// rowid first and takes "rowid >= ?1 ORDER BY rowid"; when a damaged page (or row) stops the
// reading, the first key past it whose row can be read is searched for and the reading goes
// on from there. Answers the number of damaged ranges stepped over, or -1 when the query
// cannot be prepared at all.
template<typename Row>
int readTolerantly(sqlite3* database, const char* query, Row&& each)
{
    // Whether reading from key on gives a row or the end without an error.
    auto readsFrom = [database, query](std::int64_t key) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(database, query, -1, &statement, nullptr) != SQLITE_OK) {
            sqlite3_finalize(statement);
            return false;
        }
        sqlite3_bind_int64(statement, 1, key);
        int status = sqlite3_step(statement);
        sqlite3_finalize(statement);
        return status == SQLITE_ROW || status == SQLITE_DONE;
    };
    constexpr std::int64_t kLast = std::numeric_limits<std::int64_t>::max();
    std::int64_t next = std::numeric_limits<std::int64_t>::min();
    int skipped = 0;
    for (;;) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(database, query, -1, &statement, nullptr) != SQLITE_OK) {
            sqlite3_finalize(statement);
            return skipped ? skipped : -1;
        }
        sqlite3_bind_int64(statement, 1, next);
        int status;
        bool atEnd = false;
        while ((status = sqlite3_step(statement)) == SQLITE_ROW) {
            const std::int64_t key = sqlite3_column_int64(statement, 0);
            each(statement);
            if (key == kLast) {
                atEnd = true;
                break;
            }
            next = key + 1;
        }
        sqlite3_finalize(statement);
        // A lock or a lack of memory is no damage: what was read is all there is for now.
        const int primary = status & 0xff;
        if (atEnd || status == SQLITE_DONE || primary == SQLITE_BUSY || primary == SQLITE_LOCKED || primary == SQLITE_NOMEM)
            return skipped;
        // Damage: the first key from which the reading works again lies between next and
        // some larger key found by doubling steps; a binary search between them finds it.
        ++skipped;
        std::int64_t bad = next;
        std::int64_t good = 0;
        bool found = false;
        for (std::int64_t step = 1; bad < kLast; step = step > kLast / 2 ? kLast : step * 2) {
            std::int64_t probe = bad > kLast - step ? kLast : bad + step;
            if (readsFrom(probe)) {
                good = probe;
                found = true;
                break;
            }
            bad = probe;
        }
        if (!found)
            return skipped;
        // The keys span all of 64 bits: their distance is taken without a sign.
        auto distance = [](std::int64_t from, std::int64_t to) { return static_cast<std::uint64_t>(to) - static_cast<std::uint64_t>(from); };
        while (distance(bad, good) > 1) {
            const std::int64_t middle = static_cast<std::int64_t>(static_cast<std::uint64_t>(bad) + distance(bad, good) / 2);
            (readsFrom(middle) ? good : bad) = middle;
        }
        next = good;
    }
}

// The rows of the recordings table that are filed, by key and audio file name, as a database
// (through its log or without it) reads them; none when the table cannot be read in full.
struct FiledRow {
    std::int64_t key;
    std::string audioFileName;
    bool operator==(const FiledRow&) const = default;
};
std::optional<std::vector<FiledRow>> filedRows(sqlite3* database, int* result)
{
    sqlite3_stmt* statement = nullptr;
    std::vector<FiledRow> rows;
    *result = sqlite3_prepare_v2(database, "SELECT pk, audioFileName FROM recordings WHERE location IN (1, 2)", -1, &statement, nullptr);
    if (*result == SQLITE_OK) {
        while ((*result = sqlite3_step(statement)) == SQLITE_ROW)
            rows.push_back({ sqlite3_column_int64(statement, 0), columnText(statement, 1) });
    }
    sqlite3_finalize(statement);
    if (*result != SQLITE_DONE)
        return std::nullopt;
    return rows;
}

// How many rows name an audio file that is there, a regular file, in directory.
std::size_t rowsWithAudio(const std::vector<FiledRow>& rows, const std::string& directory)
{
    std::size_t count = 0;
    for (const auto& row : rows) {
        if (!foundation::isUUIDString(row.audioFileName))
            continue;
        auto attributes = foundation::attributesOfItem(directory + "/" + row.audioFileName + ".caf");
        count += attributes && attributes->regular;
    }
    return count;
}

std::string directoryOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

// A recording's audio file, if it is one in the recorder's format: a regular file (never a
// link, a named pipe or a device, which could block or lead elsewhere) holding 16-bit mono
// linear PCM. Its length in seconds.
std::optional<double> recordingDuration(const std::string& audioFileName)
{
    auto path = HelperMethods::getFullAudioFilePath(audioFileName);
    auto attributes = path ? foundation::attributesOfItem(*path) : std::nullopt;
    if (!attributes || !attributes->regular)
        return std::nullopt;
    std::shared_ptr<audio::File> file;
    if (audio::File::open(*path, audio::FilePermission::Read, audio::kFileCAFType, &file) != audio::noErr || !file)
        return std::nullopt;
    audio::StreamBasicDescription format {};
    std::uint64_t packets = 0;
    if (file->getProperty(audio::FileProperty::DataFormat, format) != audio::noErr || !(format.mSampleRate > 0)
        || format.mChannelsPerFrame != 1 || !file->storesLinearPCM16()
        || file->getProperty(audio::FileProperty::AudioDataPacketCount, packets) != audio::noErr)
        return std::nullopt;
    return static_cast<double>(packets) / format.mSampleRate;
}

RecordingLibrary::StorageProblem problemOf(sqlite3* database)
{
    using Problem = RecordingLibrary::StorageProblem;
    if (!database)
        return Problem::Unavailable;
    const int primary = sqlite3_errcode(database) & 0xff;
    const int error = sqlite3_system_errno(database);
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED)
        return Problem::Busy;
    if (primary == SQLITE_READONLY || primary == SQLITE_PERM || primary == SQLITE_AUTH || error == EACCES || error == EPERM || error == EROFS)
        return Problem::ReadOnly;
    if (primary == SQLITE_FULL || error == ENOSPC || error == EDQUOT || error == EFBIG)
        return Problem::Full;
    return Problem::Unavailable;
}

// Whether the database (or its folder, where its log and index live) cannot be written.
bool cannotWrite(const std::string& path)
{
    auto refused = [](const std::string& item) { return ::access(item.c_str(), W_OK) != 0 && errno != ENOENT; };
    return refused(path) || refused(directoryOf(path));
}

std::string timeStamp()
{
    char stamp[32];
    std::time_t now = static_cast<std::time_t>(foundation::currentDate());
    std::tm utc {};
    gmtime_r(&now, &utc);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &utc);
    return stamp;
}

// Names of the databases set aside among the documents' entries, newest first.
std::vector<std::string> asideDatabases(const std::vector<std::string>& names)
{
    std::vector<std::string> aside;
    const std::string prefix = std::string(kDatabaseName) + kAsideInfix;
    for (const auto& name : names) {
        if (name.starts_with(prefix) && !name.ends_with("-wal") && !name.ends_with("-shm") && !name.ends_with("-journal"))
            aside.push_back(name);
    }
    std::sort(aside.rbegin(), aside.rend());
    return aside;
}

} // namespace

// What the databases set aside in the documents still say of memos and categories: read with
// read-only connections, row by row, stepping over what damage keeps from being read. Each
// database is read through its log and, for what that does not give, as the file stands
// alone (a log of another database leaves the file's own rows readable only so). The newest
// database set aside is asked first.
class RecordingLibrary::Salvage {
public:
    struct Row {
        std::string title;
        std::optional<std::string> category;
        std::string comments;
        std::int32_t playCount { 0 };
        double createdDate { 0 };
        std::int32_t location { 0 };
        std::int64_t key { 0 };
        sqlite3* source { nullptr };
        std::string sourcePath;
    };

    Salvage(const std::string& directory, const std::vector<std::string>& asideNames, const std::unordered_set<std::string>& wanted)
    {
        for (const auto& name : asideNames) {
            const std::string path = directory + "/" + name;
            // Opened, a file too short for a database would lose its log (SQLite deletes it).
            if (foundation::fileSize(path).value_or(0) < kSmallestDatabase)
                continue;
            const bool indexed = foundation::attributesOfItem(path + "-shm").has_value();
            for (bool immutable : { false, true }) {
                if (immutable && !foundation::attributesOfItem(path + "-wal"))
                    continue;
                sqlite3* database = openReadOnly(path, immutable, kBusyTimeoutMilliseconds);
                if (!database)
                    continue;
                m_connections.push_back(database);
                read(path, database, wanted);
            }
            // The index a read through the log made is of no use to anyone.
            if (!indexed)
                m_madeIndexes.push_back(path + "-shm");
        }
    }
    ~Salvage()
    {
        for (sqlite3* database : m_connections)
            sqlite3_close(database);
        for (const auto& path : m_madeIndexes)
            foundation::removeItem(path);
    }
    Salvage(const Salvage&) = delete;
    Salvage& operator=(const Salvage&) = delete;

    const Row* rowFor(const std::string& audioFileName) const
    {
        auto found = m_rows.find(audioFileName);
        return found == m_rows.end() ? nullptr : &found->second;
    }
    /// The category names a database set aside holds, in its order.
    const std::vector<std::string>& categoriesOf(sqlite3* source) const
    {
        static const std::vector<std::string> none;
        auto found = m_categories.find(source);
        return found == m_categories.end() ? none : found->second;
    }
    /// The photo of a row; none when there is none or it cannot be read.
    RecordingImage photo(const Row& row) const
    {
        sqlite3_stmt* statement = nullptr;
        RecordingImage image;
        if (sqlite3_prepare_v2(row.source, "SELECT image FROM recordings WHERE pk=?", -1, &statement, nullptr) == SQLITE_OK) {
            sqlite3_bind_int64(statement, 1, row.key);
            if (sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_bytes(statement, 0) > 0) {
                const auto* bytes = static_cast<const std::uint8_t*>(sqlite3_column_blob(statement, 0));
                image = std::make_shared<const std::vector<std::uint8_t>>(bytes, bytes + sqlite3_column_bytes(statement, 0));
            }
        }
        sqlite3_finalize(statement);
        return image;
    }

private:
    void read(const std::string& path, sqlite3* database, const std::unordered_set<std::string>& wanted)
    {
        const int damaged = readTolerantly(database,
            "SELECT pk, audioFileName, title, category, comments, playCount, createdDate, location FROM recordings WHERE pk >= ?1 ORDER BY pk",
            [&](sqlite3_stmt* row) {
                std::string name = columnText(row, 1);
                if (!wanted.count(name) || m_rows.count(name))
                    return;
                Row salvaged;
                salvaged.key = sqlite3_column_int64(row, 0);
                salvaged.title = columnText(row, 2);
                if (sqlite3_column_type(row, 3) != SQLITE_NULL)
                    salvaged.category = columnText(row, 3);
                salvaged.comments = columnText(row, 4);
                salvaged.playCount = sqlite3_column_int(row, 5);
                salvaged.createdDate = sqlite3_column_double(row, 6);
                salvaged.location = sqlite3_column_int(row, 7);
                salvaged.source = database;
                salvaged.sourcePath = path;
                m_rows.emplace(std::move(name), std::move(salvaged));
            });
        if (damaged > 0)
            foundation::logf("Read '%s' past %d damaged places.", path.c_str(), damaged);
        auto& categories = m_categories[database];
        readTolerantly(database, "SELECT rowid, category FROM categories WHERE rowid >= ?1 ORDER BY rowid", [&](sqlite3_stmt* row) {
            std::string name = columnText(row, 1);
            if (!name.empty() && foundation::isValidUtf8(name) && !contains(categories, name))
                categories.push_back(std::move(name));
        });
    }

    std::vector<sqlite3*> m_connections;
    std::vector<std::string> m_madeIndexes;
    std::unordered_map<std::string, Row> m_rows;
    std::unordered_map<sqlite3*, std::vector<std::string>> m_categories;
};

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

void RecordingLibrary::setStartupBusyWait(double seconds)
{
    startupBusyWait = seconds;
}

void RecordingLibrary::init()
{
    m_recordings.clear();
    m_unlistedAudioFileNames.clear();
    m_startupReport = {};
    m_lastWriteProblem = StorageProblem::None;
    createEditableCopyOfDatabaseIfNeeded();
    initializeDatabase();
    loadCategories();
}

void RecordingLibrary::createEditableCopyOfDatabaseIfNeeded()
{
    const std::string path = databasePath();
    const auto log = foundation::attributesOfItem(path + "-wal");
    if (foundation::fileExists(path)) {
        // Zero bytes and no log hold nothing (SQLite makes such a file when it opens a missing
        // database): the template takes its place rather than being kept aside.
        auto size = foundation::fileSize(path);
        if (!size || *size != 0 || (log && log->size > 0) || !foundation::removeItem(path))
            return;
    }
    // A log left beside a database that is gone belongs to that database: applied to the
    // fresh copy it would corrupt it. It is kept aside, never deleted; its index and a
    // rollback journal are of no use without it.
    if (log) {
        std::string error;
        if (log->size == 0)
            foundation::removeItem(path + "-wal");
        else if (auto aside = foundation::moveAside(path + "-wal", ".stray-" + timeStamp(), &error))
            foundation::logf("A log of a database that is gone was kept as '%s'.", aside->c_str());
        else
            foundation::logf("A log of a database that is gone could not be moved aside: %s.", error.c_str());
    }
    for (const char* suffix : { "-shm", "-journal" })
        foundation::removeItem(path + suffix);
    // Through a temporary file renamed into place: a kill or a full disk during the copy
    // leaves no partial database behind, which the next start would take for damage.
    const std::string temporary = path + ".new";
    foundation::removeItem(temporary);
    std::string error;
    const bool copied = foundation::copyItem(foundation::Bundle::main().resourcePath() + "/" + kDatabaseName, temporary, &error);
    if (copied && ::rename(temporary.c_str(), path.c_str()) == 0)
        return;
    if (copied)
        error = std::strerror(errno);
    foundation::removeItem(temporary);
    foundation::logf("Failed to create writable database file with message '%s'.", error.c_str());
}

std::optional<std::string> RecordingLibrary::logMismatch(const std::string& databasePath, const std::string& logPath)
{
    ScopedDescriptor database { openForReading(databasePath) };
    ScopedDescriptor log { openForReading(logPath) };
    if (database.fd < 0 || log.fd < 0)
        return std::nullopt;
    auto header = wal::readDatabaseHeader(database.fd);
    auto summary = wal::summarizeLog(log.fd);
    // A log SQLite would not apply harms nothing; a file that is no database is judged by
    // the checks that open it.
    if (!header || !summary || summary->committedFrames == 0)
        return std::nullopt;
    if (summary->pageSize != header->pageSize)
        return foundation::format("its pages are of %u bytes, the database's of %u", summary->pageSize, header->pageSize);
    if (summary->firstPageOneCounter) {
        // Page 1 goes to the log with the change counter its writer last read from page 1,
        // plus one; a log starts again only once the file holds every earlier frame, and
        // checkpoints copy its frames into the file. So the file's counter lies between the
        // first such frame's less one and the last one's.
        const std::uint32_t low = *summary->firstPageOneCounter - 1;
        if (header->changeCounter - low > summary->lastPageOneCounter - low)
            return foundation::format("the database's change counter %u is not among the log's %u to %u", header->changeCounter,
                *summary->firstPageOneCounter, summary->lastPageOneCounter);
    } else if (header->pageCount && (summary->smallestCommitSize != *header->pageCount || summary->largestCommitSize != *header->pageCount)) {
        // A database grows or shrinks only with a new page 1, whose header holds its size: a
        // log without one leaves the size as the file gives it.
        return foundation::format("its commits give %u to %u pages, the database has %u", summary->smallestCommitSize,
            summary->largestCommitSize, *header->pageCount);
    }
    return std::nullopt;
}

RecordingLibrary::FileCheck RecordingLibrary::checkDatabaseFiles(const std::string& path)
{
    using Verdict = FileCheck::Verdict;
    if (!foundation::fileExists(path))
        return { Verdict::Empty, "" };
    const auto log = foundation::attributesOfItem(path + "-wal");
    const bool logged = log && log->regular && log->size > 0;
    const auto size = foundation::fileSize(path);
    if (size == std::uint64_t(0) && !logged)
        return { Verdict::Empty, "" };
    // SQLite deletes the log of a database it finds to have no pages when it opens it, even
    // for reading: a log beside a file too short for a database header is never opened, only
    // kept aside.
    if (size && *size < kSmallestDatabase && logged)
        return { Verdict::Unusable, "a log beside a file too short for a database" };
    if (logged) {
        if (auto mismatch = logMismatch(path, path + "-wal"))
            return { Verdict::Unusable, "its log does not belong to it: " + *mismatch };
    }
    // Through the log, as the program will read it, but on a connection that cannot write:
    // a read-write connection's close would copy the log into the file first.
    const int busyMilliseconds = static_cast<int>(startupBusyWait * 1000);
    int result = SQLITE_OK;
    sqlite3* merged = openReadOnly(path, false, busyMilliseconds, &result);
    if (!merged)
        return { Verdict::Usable, "" };
    ConnectionCloser closeMerged { merged };
    auto problem = unusableDatabaseReason(merged, &result);
    if ((result & 0xff) == SQLITE_BUSY || (result & 0xff) == SQLITE_LOCKED)
        return { Verdict::Busy, sqlite3_errstr(result) };
    if (problem)
        return { Verdict::Unusable, *problem };
    if (!logged)
        return { Verdict::Usable, "" };
    // A log with the pages of another database of the same shape passes every check of its
    // bytes; its rows do not: they share no memo with the file's own, and fewer of them have
    // their audio here.
    auto withLog = filedRows(merged, &result);
    if ((result & 0xff) == SQLITE_CORRUPT)
        return { Verdict::Unusable, std::string("damaged: ") + sqlite3_errstr(result) };
    sqlite3* alone = openReadOnly(path, true, busyMilliseconds);
    if (!alone || !withLog)
        return { Verdict::Usable, "" };
    ConnectionCloser closeAlone { alone };
    auto fileOnly = filedRows(alone, &result);
    if (!fileOnly)
        return { Verdict::Usable, "" };
    std::set<std::pair<std::int64_t, std::string>> ownRows;
    for (const auto& row : *fileOnly)
        ownRows.emplace(row.key, row.audioFileName);
    for (const auto& row : *withLog) {
        if (ownRows.count({ row.key, row.audioFileName }))
            return { Verdict::Usable, "" };
    }
    const std::string directory = directoryOf(path);
    const std::size_t ownAudio = rowsWithAudio(*fileOnly, directory);
    const std::size_t loggedAudio = rowsWithAudio(*withLog, directory);
    if (ownAudio > loggedAudio || (loggedAudio == 0 && !withLog->empty()))
        return { Verdict::Unusable,
            foundation::format("its log does not belong to it: the log's %zu recordings share none with the file's %zu, and %zu against %zu have their audio here",
                withLog->size(), fileOnly->size(), loggedAudio, ownAudio) };
    return { Verdict::Usable, "" };
}

void RecordingLibrary::initializeDatabase()
{
    const std::string path = databasePath();
    const std::string templatePath = foundation::Bundle::main().resourcePath() + "/" + kDatabaseName;
    // A log left at start means the last run did not close the database; the file itself was
    // last brought up to date (by a close or a checkpoint) when it was last modified.
    std::optional<double> upToDateSince;
    if (foundation::attributesOfItem(path + "-wal"))
        upToDateSince = foundation::modificationDate(path);

    // Nothing is written before these checks.
    const auto check = checkDatabaseFiles(path);
    if (check.verdict == FileCheck::Verdict::Busy) {
        m_startupReport.problem = StorageProblem::Busy;
        foundation::logf("Database '%s' is in use by another program (%s); no recordings can be shown or kept in this run.", path.c_str(),
            check.reason.c_str());
        return;
    }
    bool startedAgain = false;
    if (check.verdict == FileCheck::Verdict::Unusable) {
        // A database the program does not understand is never written: what it holds stays
        // for the user under another name, and the memos come back from their audio files.
        // Without a template there is nothing better to start from.
        if (!foundation::fileExists(templatePath)) {
            foundation::logf("Database '%s' cannot be used (%s) and there is no template to start again from.", path.c_str(), check.reason.c_str());
            return;
        }
        if (!setDatabaseAside(check.reason))
            return;
        startedAgain = true;
    }
    if (!openDatabase())
        return;
    const bool readOnly = sqlite3_db_readonly(m_database, "main") == 1;
    int loaded = loadRecordings();
    // Rows on damaged pages cannot be trusted, nor written: the file is kept aside as one
    // that cannot be used at all.
    if ((loaded & 0xff) == SQLITE_CORRUPT && !startedAgain && !readOnly && foundation::fileExists(templatePath)) {
        const std::string reason = std::string("damaged: ") + sqlite3_errstr(loaded);
        m_recordings.clear();
        m_unlistedAudioFileNames.clear();
        if (!setDatabaseAside(reason) || !openDatabase())
            return;
        startedAgain = true;
        loadRecordings();
    }
    if (readOnly) {
        // Shown as they are: nothing at all is written, not even the recovery of the last run.
        m_startupReport.problem = StorageProblem::ReadOnly;
        foundation::logf("Database '%s' cannot be written; the recordings are shown as they are and nothing can be changed or added.", path.c_str());
        return;
    }
    // Only now: switching the log writes to the file, and a damaged one is never written.
    useWriteAheadLog();
    // One listing of the documents and a set of the names the rows hold: cheap at any size.
    const auto documentNames = foundation::contentsOfDirectory(foundation::documentsDirectory());
    const auto unreferenced = unreferencedAudioFiles(documentNames);
    const auto changed = upToDateSince ? recordingsChangedSince(*upToDateSince) : std::vector<std::shared_ptr<Recording>> {};
    const bool unfiled = std::any_of(m_recordings.begin(), m_recordings.end(),
        [](const auto& recording) { return recording->isLoaded() && recording->location() == 0; });
    if (!unfiled && unreferenced.empty() && changed.empty())
        return;
    // Start-up's writes are one transaction: one flush to disk, and a kill during them leaves
    // the database as it was, so the next start does all of them again.
    {
        Transaction transaction(m_database);
        recoverUnfiledRecordings();
        fileUnreferencedAudioFiles(unreferenced, documentNames);
        repairChangedLengths(changed);
    }
    m_startupTitles.reset();
    m_startupTitlesRead = false;
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
                m_unlistedAudioFileNames.insert(columnText(statement, 2));
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
    const std::string path = databasePath();
    // Never created here: a missing database is the template's copy that failed (a full
    // disk), and an empty file made in its place would be taken for damage at the next start.
    const bool readOnly = cannotWrite(path);
    int status = sqlite3_open_v2(path.c_str(), &m_database, readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE, nullptr);
    if (status == SQLITE_OK && readOnly) {
        int readable = SQLITE_OK;
        queryText(m_database, "PRAGMA schema_version", &readable);
        if (readable != SQLITE_ROW) {
            // A folder that cannot be written cannot take the log's index either: the file is
            // read as it stands.
            sqlite3_close(m_database);
            m_database = openReadOnly(path, true, kBusyTimeoutMilliseconds, &status);
            if (m_database)
                foundation::logf("Database '%s' is read as it stands, without its log.", path.c_str());
        }
    }
    if (status != SQLITE_OK || !m_database) {
        foundation::logf("Failed to open database with message '%s'.", m_database ? sqlite3_errmsg(m_database) : sqlite3_errstr(status));
        if (m_startupReport.problem == StorageProblem::None)
            m_startupReport.problem = readOnly ? StorageProblem::ReadOnly : StorageProblem::Unavailable;
        sqlite3_close(m_database);
        m_database = nullptr;
        return false;
    }
    // Another process may hold a lock for a moment (a backup, the sqlite3 tool).
    sqlite3_busy_timeout(m_database, kBusyTimeoutMilliseconds);
    return true;
}

bool RecordingLibrary::setDatabaseAside(const std::string& reason)
{
    const std::string path = databasePath();
    closeDatabaseWithoutCheckpoint();
    // A name free for the database and each of its companions.
    std::string aside = path + kAsideInfix + timeStamp();
    for (int n = 1; foundation::attributesOfItem(aside) || foundation::attributesOfItem(aside + "-wal")
         || foundation::attributesOfItem(aside + "-journal");
         ++n)
        aside = path + kAsideInfix + timeStamp() + "-" + std::to_string(n);
    // As they are on disk, by renaming: nothing is copied (a copy could fail on a full disk)
    // and nothing written. The log goes first: a kill between the renames leaves the file
    // where it was, checked again at the next start, never beside a log that is not its own.
    std::vector<std::pair<std::string, std::string>> moved;
    for (const char* suffix : { "-wal", "-journal", "" }) {
        const std::string from = path + suffix;
        if (!foundation::attributesOfItem(from))
            continue;
        if (::rename(from.c_str(), (aside + suffix).c_str()) != 0) {
            const int error = errno;
            for (const auto& [original, renamed] : moved)
                std::rename(renamed.c_str(), original.c_str());
            if (error == EACCES || error == EPERM || error == EROFS)
                m_startupReport.problem = StorageProblem::ReadOnly;
            foundation::logf("Database '%s' cannot be used (%s) and could not be moved aside: %s.", path.c_str(), reason.c_str(), std::strerror(error));
            return false;
        }
        moved.emplace_back(from, aside + suffix);
    }
    // The index of the log is rebuilt from the log whenever it is missing.
    foundation::removeItem(path + "-shm");
    foundation::logf("Database '%s' cannot be used (%s); kept as '%s', starting again from the template.", path.c_str(), reason.c_str(), aside.c_str());
    m_startupReport.asidePath = aside;
    m_startupReport.asideReason = reason;
    createEditableCopyOfDatabaseIfNeeded();
    return true;
}

void RecordingLibrary::closeDatabaseWithoutCheckpoint()
{
    if (m_database)
        sqlite3_db_config(m_database, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    closeDatabase();
}

std::optional<std::unordered_set<std::string>>& RecordingLibrary::startupTitles()
{
    // Read once for all of start-up's filing, not once per recording.
    if (!m_startupTitlesRead) {
        m_startupTitles = takenUntitledTitles();
        m_startupTitlesRead = true;
    }
    return m_startupTitles;
}

void RecordingLibrary::recoverUnfiledRecordings()
{
    std::vector<std::shared_ptr<Recording>> unfiled;
    for (const auto& recording : m_recordings) {
        // A row that could not be read is not known to be unfiled: it is left alone.
        if (recording->isLoaded() && recording->location() == 0)
            unfiled.push_back(recording);
    }
    std::vector<std::shared_ptr<Recording>> missing;
    for (const auto& recording : unfiled) {
        auto path = HelperMethods::getFullAudioFilePath(recording->audioFileName());
        auto attributes = path ? foundation::attributesOfItem(*path) : std::nullopt;
        if (!attributes) {
            missing.push_back(recording);
            continue;
        }
        if (attributes->regular)
            repairAudioFileHeader(recording->audioFileName());
        if (!attributes->regular || !fileAudioOf(*recording))
            foundation::logf("Unfiled recording %d is left as it is: its audio file is not a readable recording.", recording->key());
    }
    // Deleting removes from m_recordings, so it waits until the walk is over.
    for (const auto& recording : missing)
        recording->deleteRecording();
}

std::vector<std::string> RecordingLibrary::unreferencedAudioFiles(const std::vector<std::string>& documentNames) const
{
    std::unordered_set<std::string> referenced = m_unlistedAudioFileNames;
    for (const auto& recording : m_recordings)
        referenced.insert(recording->audioFileName());
    std::vector<std::string> names;
    for (const auto& entry : documentNames) {
        constexpr std::string_view kExtension = ".caf";
        if (entry.size() <= kExtension.size() || !entry.ends_with(kExtension))
            continue;
        std::string name = entry.substr(0, entry.size() - kExtension.size());
        if (foundation::isUUIDString(name) && !referenced.count(name))
            names.push_back(std::move(name));
    }
    return names;
}

void RecordingLibrary::fileUnreferencedAudioFiles(const std::vector<std::string>& names, const std::vector<std::string>& documentNames)
{
    if (names.empty())
        return;
    // Only regular files are opened: a named pipe would block the start for ever, and a link
    // leads out of the documents.
    std::vector<std::pair<std::string, double>> recordings;
    for (const auto& name : names) {
        auto path = HelperMethods::getFullAudioFilePath(name);
        auto attributes = path ? foundation::attributesOfItem(*path) : std::nullopt;
        if (!attributes || !attributes->regular) {
            foundation::logf("Audio file '%s.caf' is not a regular file; left as it is.", name.c_str());
            continue;
        }
        repairAudioFileHeader(name);
        if (!recordingDuration(name)) {
            foundation::logf("Audio file '%s.caf' is not a readable recording; left as it is.", name.c_str());
            continue;
        }
        recordings.emplace_back(name, attributes->modified);
    }
    int filed = 0;
    int restored = 0;
    if (!recordings.empty()) {
        std::unordered_set<std::string> wanted;
        for (const auto& recording : recordings)
            wanted.insert(recording.first);
        Salvage salvage(foundation::documentsDirectory(), asideDatabases(documentNames), wanted);
        for (const auto& [name, modified] : recordings) {
            auto recording = insertRecording(name, modified);
            if (!recording)
                continue;
            const bool restoredDetails = restoreFromSalvage(*recording, salvage);
            if (fileAudioOf(*recording)) {
                ++filed;
                restored += restoredDetails;
            }
        }
        restoreCategories(salvage);
        if (restored > 0)
            foundation::logf("The details of %d of them came from '%s'.", restored, m_startupReport.asidePath.c_str());
    }
    foundation::logf("Filed %d of %zu audio files that no recording referred to.", filed, names.size());
    m_startupReport.refiled += filed;
    m_startupReport.restored += restored;
}

std::vector<std::shared_ptr<Recording>> RecordingLibrary::recordingsChangedSince(double since) const
{
    // A second's margin: the file's time and the database's are not taken by the same write.
    std::vector<std::shared_ptr<Recording>> changed;
    const std::string directory = foundation::documentsDirectory() + "/";
    for (const auto& recording : m_recordings) {
        if (!recording->isLoaded() || (recording->location() != 1 && recording->location() != 2)
            || !foundation::isUUIDString(recording->audioFileName()))
            continue;
        // The path as HelperMethods makes it, without asking for the documents at every row.
        auto attributes = foundation::attributesOfItem(directory + recording->audioFileName() + ".caf");
        if (attributes && attributes->regular && attributes->modified >= since - 1)
            changed.push_back(recording);
    }
    return changed;
}

void RecordingLibrary::repairChangedLengths(const std::vector<std::shared_ptr<Recording>>& changed)
{
    // A recording continued after an interruption is filed already; a run killed while it
    // recorded on leaves the row with the length it had before.
    for (const auto& recording : changed) {
        repairAudioFileHeader(recording->audioFileName());
        auto duration = recordingDuration(recording->audioFileName());
        if (!duration)
            continue;
        const auto length = static_cast<float>(*duration);
        const std::string size = HelperMethods::getAudioFileSizeFormattedString(recording->audioFileName());
        if (length == recording->length() && size == recording->size())
            continue;
        foundation::logf("Recording %d was filed with %.2f s; its audio file holds %.2f s.", recording->key(), recording->length(), *duration);
        recording->setLength(length);
        recording->setSize(size);
        recording->save();
    }
}

bool RecordingLibrary::fileAudioOf(Recording& recording)
{
    auto duration = recordingDuration(recording.audioFileName());
    if (!duration)
        return false;
    recording.setSize(HelperMethods::getAudioFileSizeFormattedString(recording.audioFileName()));
    recording.setLength(static_cast<float>(*duration));
    // A memo that comes back from the Trash stays there.
    if (recording.location() == 0)
        recording.setLocation(1);
    if (recording.title().empty()) {
        if (auto& titles = startupTitles())
            recording.setTitle(nextUntitledTitle(*titles));
    }
    recording.save();
    return true;
}

bool RecordingLibrary::restoreFromSalvage(Recording& recording, Salvage& salvage)
{
    const auto* row = salvage.rowFor(recording.audioFileName());
    if (!row)
        return false;
    recording.setTitle(row->title);
    if (row->category)
        recording.setCategory(*row->category);
    recording.setComments(row->comments);
    recording.setPlayCount(row->playCount);
    if (row->createdDate > 0)
        recording.setCreatedDate(row->createdDate);
    // Filed again: in the Trash when it was there, else in My Recordings.
    recording.setLocation(row->location == 2 ? 2 : 1);
    if (auto photo = salvage.photo(*row))
        recording.setImage(std::move(photo));
    // Its title is taken from now on: an untitled memo filed after it must not get it too.
    if (auto& titles = startupTitles())
        titles->insert(row->title);
    if (std::find(m_restoredSources.begin(), m_restoredSources.end(), row->source) == m_restoredSources.end()) {
        m_restoredSources.push_back(row->source);
        if (m_startupReport.asidePath.empty())
            m_startupReport.asidePath = row->sourcePath;
    }
    return true;
}

void RecordingLibrary::restoreCategories(const Salvage& salvage)
{
    // Only the categories of databases that gave memos back: an old database set aside long
    // ago must not bring back categories removed since.
    std::vector<std::string> present;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(m_database, "SELECT category FROM categories", -1, &statement, nullptr) == SQLITE_OK) {
        while (sqlite3_step(statement) == SQLITE_ROW)
            present.push_back(columnText(statement, 0));
    }
    sqlite3_finalize(statement);
    for (sqlite3* source : m_restoredSources) {
        for (const auto& name : salvage.categoriesOf(source)) {
            if (contains(present, name))
                continue;
            executeCategoryStatement(insert_category_statement, "INSERT INTO categories (category) VALUES(?)",
                "Prepare insert category statement failed with error %s.", "Insert category statement execution failed with error %s.", { name });
            present.push_back(name);
        }
    }
    m_restoredSources.clear();
}

void RecordingLibrary::noteWriteResult(sqlite3* database, bool completed)
{
    if (sharedInstance && sharedInstance->m_database == database && database)
        sharedInstance->m_lastWriteProblem = completed ? StorageProblem::None : problemOf(database);
}

std::string RecordingLibrary::storageProblemText(const std::string& promptKey) const
{
    const auto problem = m_lastWriteProblem != StorageProblem::None ? m_lastWriteProblem : m_startupReport.problem;
    const bool save = promptKey == "Save Failed Prompt";
    if (save || promptKey == "Storage Unavailable Prompt") {
        // The prompts' own texts speak of the disk, which a lock or a folder that cannot be
        // written has nothing to do with.
        if (problem == StorageProblem::Busy)
            return save ? foundation::localizedString("Save Failed Busy Prompt") : foundation::localizedString("Storage Busy Prompt");
        if (problem == StorageProblem::ReadOnly)
            return save ? foundation::localizedString("Save Failed Read Only Prompt") : foundation::localizedString("Storage Read Only Prompt");
    }
    return foundation::localizedString(promptKey);
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
        const auto defaults = { "General", "To Do", "Reminders", "Shopping List", "Lectures", "Meetings", "Fun", "Other" };
        // A library that cannot be written shows the defaults without storing them.
        if (m_startupReport.problem == StorageProblem::ReadOnly) {
            for (const char* key : defaults)
                m_definedCategories.push_back(foundation::localizedString(key));
            std::sort(m_definedCategories.begin(), m_definedCategories.end());
        } else {
            for (const char* key : defaults)
                addCategory(foundation::localizedString(key));
        }
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
