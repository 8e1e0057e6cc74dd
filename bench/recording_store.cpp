// The recording store against raw SQLite doing the same work on the same file, in one run:
// opening a 10,000-recording library (a tenth with photos) against one SELECT pass over the
// same columns; the same opening with every memo's audio file in the documents, after a clean
// close and after a kill (whose start looks at the audio written since the database was last
// up to date: none, or, at worst, every file); the next untitled title against the raw title
// query; newRecording and save against the raw INSERT and UPDATE. Ratios are printed at the
// end, with the photo statements that ran while the library opened and the resident memory
// the loaded library added.

#include "ParlivoAppDelegate.h"
#include "Recording.h"
#include "RecordingLibrary.h"

#include "audio/File.h"
#include "foundation/Bundle.h"
#include "foundation/FileManager.h"
#include "foundation/UUID.h"

#include "TemporaryStore.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <map>
#include <sqlite3.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kRecordings = 10'000;
constexpr const char* kColumns = "pk, title, audioFileName, size, category, comments, length, playCount, createdDate, location";

std::string g_database;

sqlite3* openRaw()
{
    sqlite3* db = nullptr;
    sqlite3_open(g_database.c_str(), &db);
    // The same durability settings as the library, so writes are compared like for like.
    sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;", nullptr, nullptr, nullptr);
    return db;
}

void execOrDie(sqlite3* db, const std::string& sql)
{
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "%s: %s\n", sql.c_str(), error);
        std::exit(1);
    }
}

// 10,000 filed and trashed recordings: half untitled with gaps, a third without a category,
// every tenth with a 20 KB photo.
void makeDatabase()
{
    std::vector<unsigned char> photo(20 * 1024, 0x5A);
    const unsigned char signature[8] = { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n' };
    std::copy(std::begin(signature), std::end(signature), photo.begin());
    const char* categories[] = { "General", "To Do", "Reminders", "Shopping List", "Lectures", "Meetings", "Fun", "Other" };

    sqlite3* db = openRaw();
    execOrDie(db, "BEGIN");
    for (const char* category : categories)
        execOrDie(db, std::string("INSERT INTO categories VALUES ('") + category + "')");
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db,
        "INSERT INTO recordings (title, audioFileName, size, category, comments, length, playCount, createdDate, location, image) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
        -1, &insert, nullptr);
    for (int i = 0; i < kRecordings; ++i) {
        std::string title = i % 2 ? "Memo about topic " + std::to_string(i) : (i % 7 ? "Untitled Recording " + std::to_string(i) : "");
        std::string uuid = foundation::makeUUIDString();
        std::string size = std::to_string(100 + i % 900) + " KB";
        std::string comments = i % 4 ? "" : "Talked about the plan for week " + std::to_string(i % 52);
        sqlite3_bind_text(insert, 1, title.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, uuid.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 3, size.c_str(), -1, SQLITE_TRANSIENT);
        if (i % 3)
            sqlite3_bind_text(insert, 4, categories[i % 8], -1, SQLITE_STATIC);
        else
            sqlite3_bind_null(insert, 4);
        sqlite3_bind_text(insert, 5, comments.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_double(insert, 6, 5.0 + i % 300);
        sqlite3_bind_int(insert, 7, i % 5);
        sqlite3_bind_double(insert, 8, 1.7e9 + i * 3600.0);
        sqlite3_bind_int(insert, 9, i % 10 == 9 ? 2 : 1);
        if (i % 10 == 0)
            sqlite3_bind_blob(insert, 10, photo.data(), static_cast<int>(photo.size()), SQLITE_STATIC);
        else
            sqlite3_bind_null(insert, 10);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    execOrDie(db, "COMMIT");
    sqlite3_close(db);
}

long residentKilobytes()
{
    long pages = 0, resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Counts the statements that start running on connections opened while it is installed.
std::map<std::string, int> g_statements;
int onStatement(unsigned, void*, void* statement, void*)
{
    ++g_statements[sqlite3_sql(static_cast<sqlite3_stmt*>(statement))];
    return 0;
}
int installTrace(sqlite3* db, const char**, const void*)
{
    sqlite3_trace_v2(db, SQLITE_TRACE_STMT, &onStatement, nullptr);
    return SQLITE_OK;
}

// One untimed open: which statements ran, and what the loaded library costs in memory.
void reportOpening()
{
    long before = residentKilobytes();
    sqlite3_auto_extension(reinterpret_cast<void (*)()>(&installTrace));
    auto& library = RecordingLibrary::sharedLibrary();
    sqlite3_cancel_auto_extension(reinterpret_cast<void (*)()>(&installTrace));
    long after = residentKilobytes();
    int photoStatements = 0;
    for (const auto& [text, runs] : g_statements) {
        if (text.find("image") != std::string::npos)
            photoStatements += runs;
        std::printf("opening ran %6d x %s\n", runs, text.c_str());
    }
    std::printf("recordings loaded: %zu; photo statements run: %d; photos loaded: %d\n", library.recordings().size(),
        photoStatements, static_cast<int>(std::count_if(library.recordings().begin(), library.recordings().end(),
                             [](const auto& r) { return r->isImageLoaded(); })));
    std::printf("resident memory added by the loaded library: %.1f MiB (%ld KiB)\n", (after - before) / 1024.0, after - before);
    RecordingLibrary::resetSharedLibrary();
}

void BM_LibraryOpen(benchmark::State& state)
{
    for (auto _ : state) {
        benchmark::DoNotOptimize(RecordingLibrary::sharedLibrary().recordings().size());
        state.PauseTiming();
        RecordingLibrary::resetSharedLibrary();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LibraryOpen)->Unit(benchmark::kMillisecond)->MinTime(3);

void BM_RawSelectPass(benchmark::State& state)
{
    for (auto _ : state) {
        sqlite3* db = openRaw();
        sqlite3_stmt* select = nullptr;
        sqlite3_prepare_v2(db, (std::string("SELECT ") + kColumns + " FROM recordings").c_str(), -1, &select, nullptr);
        size_t bytes = 0;
        while (sqlite3_step(select) == SQLITE_ROW) {
            for (int column = 1; column <= 5; ++column) {
                sqlite3_column_text(select, column);
                bytes += static_cast<size_t>(sqlite3_column_bytes(select, column));
            }
            bytes += static_cast<size_t>(sqlite3_column_int(select, 0) + sqlite3_column_double(select, 6) + sqlite3_column_int(select, 7)
                + sqlite3_column_double(select, 8) + sqlite3_column_int(select, 9));
        }
        sqlite3_finalize(select);
        benchmark::DoNotOptimize(bytes);
        state.PauseTiming();
        sqlite3_close(db);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_RawSelectPass)->Unit(benchmark::kMillisecond)->MinTime(3);

// Every row's audio file, half a second of sound each, written once.
void makeAudioFiles()
{
    static bool made = false;
    if (made)
        return;
    made = true;
    const std::string sample = foundation::documentsDirectory() + "/sample.wav.tmp";
    std::shared_ptr<audio::File> file;
    audio::File::create(sample, audio::kFileCAFType, audio::linearPCM16(22050, 1), audio::kFileFlagsEraseFile, &file);
    std::vector<std::int16_t> samples(11025, 300);
    std::uint32_t n = 11025;
    file->writePackets(false, n * 2, nullptr, 0, &n, samples.data());
    file->close();
    const std::string bytes = foundation::readFile(sample).value_or("");
    foundation::removeItem(sample);
    sqlite3* db = openRaw();
    sqlite3_stmt* names = nullptr;
    sqlite3_prepare_v2(db, "SELECT audioFileName FROM recordings", -1, &names, nullptr);
    while (sqlite3_step(names) == SQLITE_ROW)
        std::ofstream(foundation::documentsDirectory() + "/" + reinterpret_cast<const char*>(sqlite3_column_text(names, 0)) + ".caf", std::ios::binary) << bytes;
    sqlite3_finalize(names);
    sqlite3_close(db);
}

// Opening with every audio file there: 0 after a clean close; 1 after a kill, the audio older
// than the database's last checkpoint (as it is but for the memo being recorded); 2 after a
// kill with every file newer (a folder whose audio was copied after its database).
void BM_LibraryOpenWithAudio(benchmark::State& state)
{
    makeAudioFiles();
    for (auto _ : state) {
        state.PauseTiming();
        if (state.range(0) > 0)
            std::ofstream(g_database + "-wal");
        const timespec now[2] = { { 0, UTIME_NOW }, { 0, UTIME_NOW } };
        const timespec past[2] = { { 1000, 0 }, { 1000, 0 } };
        ::utimensat(AT_FDCWD, g_database.c_str(), state.range(0) == 2 ? past : now, 0);
        state.ResumeTiming();
        benchmark::DoNotOptimize(RecordingLibrary::sharedLibrary().recordings().size());
        state.PauseTiming();
        RecordingLibrary::resetSharedLibrary();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LibraryOpenWithAudio)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->MinTime(3);

void BM_NextUntitledTitle(benchmark::State& state)
{
    auto& library = RecordingLibrary::sharedLibrary();
    for (auto _ : state)
        benchmark::DoNotOptimize(library.getNextAvailableRecordingTitle());
    RecordingLibrary::resetSharedLibrary();
}
BENCHMARK(BM_NextUntitledTitle)->Unit(benchmark::kMicrosecond)->MinTime(2);

// Steps a title query over the whole table, reading every title it returns.
void rawTitleQuery(benchmark::State& state, const char* sql)
{
    sqlite3* db = openRaw();
    sqlite3_stmt* select = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &select, nullptr);
    for (auto _ : state) {
        size_t bytes = 0;
        while (sqlite3_step(select) == SQLITE_ROW) {
            sqlite3_column_text(select, 0);
            bytes += static_cast<size_t>(sqlite3_column_bytes(select, 0));
        }
        sqlite3_reset(select);
        benchmark::DoNotOptimize(bytes);
    }
    sqlite3_finalize(select);
    sqlite3_close(db);
}

void BM_RawTitleQuery(benchmark::State& state)
{
    rawTitleQuery(state, "SELECT title FROM recordings");
}
BENCHMARK(BM_RawTitleQuery)->Unit(benchmark::kMicrosecond)->MinTime(2);

// The case-insensitive match done by SQLite instead (ASCII only, as LIKE folds).
void BM_RawTitleQueryLike(benchmark::State& state)
{
    rawTitleQuery(state, "SELECT DISTINCT title FROM recordings WHERE title LIKE '%Untitled Recording%'");
}
BENCHMARK(BM_RawTitleQueryLike)->Unit(benchmark::kMicrosecond)->MinTime(2);

void BM_NewRecording(benchmark::State& state)
{
    auto& library = RecordingLibrary::sharedLibrary();
    for (auto _ : state)
        benchmark::DoNotOptimize(library.newRecording());
    RecordingLibrary::resetSharedLibrary();
}
BENCHMARK(BM_NewRecording)->Unit(benchmark::kMicrosecond)->MinTime(2);

void BM_RawInsert(benchmark::State& state)
{
    sqlite3* db = openRaw();
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO recordings (title, audioFileName, createdDate, location) VALUES(?, ?, ?, ?)", -1, &insert, nullptr);
    for (auto _ : state) {
        std::string uuid = foundation::makeUUIDString();
        sqlite3_bind_text(insert, 1, "", -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, uuid.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_double(insert, 3, 1.8e9);
        sqlite3_bind_int(insert, 4, 0);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_close(db);
}
BENCHMARK(BM_RawInsert)->Unit(benchmark::kMicrosecond)->MinTime(2);

// Saves a recording without (0) or with (1) a photo: the row, then the photo column.
void BM_Save(benchmark::State& state)
{
    auto& library = RecordingLibrary::sharedLibrary();
    auto recording = library.recordings()[state.range(0) ? 0 : 1];
    int playCount = 0;
    for (auto _ : state) {
        recording->setPlayCount(++playCount);
        recording->save();
    }
    if (recording->isDirty())
        state.SkipWithError("save failed");
    recording.reset();
    RecordingLibrary::resetSharedLibrary();
}
BENCHMARK(BM_Save)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->MinTime(2);

void BM_RawUpdate(benchmark::State& state)
{
    sqlite3* db = openRaw();
    sqlite3_stmt* update = nullptr;
    sqlite3_prepare_v2(db,
        "UPDATE recordings SET title=?, audioFileName=?, size=?, category=?, comments=?, length=?, playCount=?, createdDate=?, location=? WHERE pk=?",
        -1, &update, nullptr);
    int playCount = 0;
    for (auto _ : state) {
        sqlite3_bind_text(update, 1, "Memo about topic 1", -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(update, 2, "5B0D4C32-8F1E-4D7A-9E2B-6A1C3F4E5D60", -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(update, 3, "101 KB", -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(update, 4, "To Do", -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(update, 5, "", -1, SQLITE_TRANSIENT);
        sqlite3_bind_double(update, 6, 6.0);
        sqlite3_bind_int(update, 7, ++playCount);
        sqlite3_bind_double(update, 8, 1.7e9);
        sqlite3_bind_int(update, 9, 1);
        sqlite3_bind_int(update, 10, 2);
        sqlite3_step(update);
        sqlite3_reset(update);
    }
    sqlite3_finalize(update);
    sqlite3_close(db);
}
BENCHMARK(BM_RawUpdate)->Unit(benchmark::kMicrosecond)->MinTime(2);


} // namespace

int main(int argc, char** argv)
{
    const auto store = bench::useTemporaryStore();
    if (!store)
        return 1;
    const std::string root = store->root;
    g_database = store->database;
    makeDatabase();
    reportOpening();

    benchmark::Initialize(&argc, argv);
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatio("opening the library / raw SELECT pass", "BM_LibraryOpen", "BM_RawSelectPass");
    reporter.printRatio("opening with every audio file / without", "BM_LibraryOpenWithAudio/0", "BM_LibraryOpen");
    reporter.printRatio("opening after a kill / after a clean close", "BM_LibraryOpenWithAudio/1", "BM_LibraryOpenWithAudio/0");
    reporter.printRatio("after a kill, every audio file newer / after a clean close", "BM_LibraryOpenWithAudio/2", "BM_LibraryOpenWithAudio/0");
    reporter.printRatio("next untitled title / raw title query", "BM_NextUntitledTitle", "BM_RawTitleQuery");
    reporter.printRatio("next untitled title / raw title LIKE query", "BM_NextUntitledTitle", "BM_RawTitleQueryLike");
    reporter.printRatio("newRecording / raw INSERT", "BM_NewRecording", "BM_RawInsert");
    reporter.printRatio("save (no photo) / raw UPDATE", "BM_Save/0", "BM_RawUpdate");
    reporter.printRatio("save (20 KB photo) / raw UPDATE", "BM_Save/1", "BM_RawUpdate");
    benchmark::Shutdown();
    std::filesystem::remove_all(root);
    return 0;
}
