#pragma once

// The world of the recording-store tests: settings defaults registered, the template
// database at hand, a raw connection to inspect and seed the documents' database, notification
// and statement recorders.

#include "TestEnvironment.h"

#include "HelperMethods.h"
#include "ParlivoAppDelegate.h"
#include "Recording.h"
#include "RecordingLibrary.h"

#include "audio/File.h"
#include "foundation/Bundle.h"
#include "foundation/Calendar.h"
#include "foundation/FileManager.h"
#include "foundation/NotificationCenter.h"

#include <fcntl.h>
#include <mutex>
#include <optional>
#include <sqlite3.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace storetest {

constexpr const char* kUUID1 = "11111111-1111-4111-8111-111111111111";
constexpr const char* kUUID2 = "22222222-2222-4222-8222-222222222222";
constexpr const char* kUUID3 = "33333333-3333-4333-8333-333333333333";

/// Records the text of every statement that starts running on any connection opened while it
/// lives, so a test can tell which statements ran (and that no photo was read).
class StatementTrace {
public:
    StatementTrace()
    {
        current() = this;
        sqlite3_auto_extension(reinterpret_cast<void (*)()>(&install));
    }
    ~StatementTrace()
    {
        sqlite3_cancel_auto_extension(reinterpret_cast<void (*)()>(&install));
        current() = nullptr;
    }
    StatementTrace(const StatementTrace&) = delete;
    StatementTrace& operator=(const StatementTrace&) = delete;

    /// How often a statement whose text contains fragment started running.
    int count(const std::string& fragment) const
    {
        std::lock_guard lock(m_mutex);
        int n = 0;
        for (const auto& text : m_texts)
            n += text.find(fragment) != std::string::npos;
        return n;
    }
    void clear()
    {
        std::lock_guard lock(m_mutex);
        m_texts.clear();
    }

private:
    static StatementTrace*& current()
    {
        static StatementTrace* trace = nullptr;
        return trace;
    }
    static int install(sqlite3* database, const char**, const void*)
    {
        sqlite3_trace_v2(database, SQLITE_TRACE_STMT, &onStatement, nullptr);
        return SQLITE_OK;
    }
    static int onStatement(unsigned, void*, void* statement, void*)
    {
        if (auto* trace = current()) {
            std::lock_guard lock(trace->m_mutex);
            trace->m_texts.emplace_back(sqlite3_sql(static_cast<sqlite3_stmt*>(statement)));
        }
        return 0;
    }

    mutable std::mutex m_mutex;
    std::vector<std::string> m_texts;
};

class StoreTest : public testsupport::TestEnvironment {
protected:
    void SetUp() override
    {
        TestEnvironment::SetUp();
        foundation::setDefaultLocale("en_US");
        foundation::setDefaultTimeZone("UTC");
        ParlivoAppDelegate::initialize();
    }

    void TearDown() override
    {
        RecordingLibrary::resetSharedLibrary();
        closeRaw();
        TestEnvironment::TearDown();
    }

    // Through the documents directory of the program, which makes the folder on first use.
    static std::string databasePath() { return foundation::documentsDirectory() + "/parlivodb.sql"; }
    static RecordingLibrary& library() { return RecordingLibrary::sharedLibrary(); }

    /// Ends this run of the library as termination does, so the next library() starts afresh.
    void restart()
    {
        library().finalize();
        RecordingLibrary::resetSharedLibrary();
    }

    /// Copies the template into the documents directory, as a first start would, so rows can
    /// be seeded before the library starts.
    void installTemplate()
    {
        ASSERT_TRUE(foundation::copyItem(foundation::Bundle::main().resourcePath() + "/parlivodb.sql", databasePath()));
    }

    /// A connection of the test's own to the documents' database.
    sqlite3* raw()
    {
        if (!m_raw) {
            EXPECT_EQ(sqlite3_open(databasePath().c_str(), &m_raw), SQLITE_OK);
        }
        return m_raw;
    }
    void closeRaw()
    {
        if (m_raw)
            sqlite3_close(m_raw);
        m_raw = nullptr;
    }
    void exec(const std::string& sql)
    {
        char* error = nullptr;
        int result = sqlite3_exec(raw(), sql.c_str(), nullptr, nullptr, &error);
        EXPECT_EQ(result, SQLITE_OK) << sql << ": " << (error ? error : "");
        sqlite3_free(error);
    }
    /// The first column of the first row, as text; none for no row or NULL.
    std::optional<std::string> query(const std::string& sql)
    {
        sqlite3_stmt* statement = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(raw(), sql.c_str(), -1, &statement, nullptr), SQLITE_OK) << sql;
        std::optional<std::string> result;
        if (statement && sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_type(statement, 0) != SQLITE_NULL)
            result = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
        sqlite3_finalize(statement);
        return result;
    }
    long long count(const std::string& table, const std::string& where = "1")
    {
        return std::stoll(query("SELECT count(*) FROM " + table + " WHERE " + where).value_or("-1"));
    }
    /// Inserts a recording row the way an earlier run left it; returns its key.
    int insertRow(const std::string& title, const std::string& audioFileName, int location, const std::string& extraColumns = "", const std::string& extraValues = "")
    {
        exec("INSERT INTO recordings (title, audioFileName, location, createdDate" + extraColumns + ") VALUES ('" + title + "', '"
            + audioFileName + "', " + std::to_string(location) + ", 1000" + extraValues + ")");
        return static_cast<int>(sqlite3_last_insert_rowid(raw()));
    }

    /// A file of the given size in place of a recording's audio.
    void makeAudioFile(const std::string& name, off_t bytes)
    {
        int fd = ::open((foundation::documentsDirectory() + "/" + name + ".caf").c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, bytes), 0);
        ::close(fd);
    }

    /// A real recording: frames 16-bit mono samples at rate, as the recorder writes them.
    void makeRecordingFile(const std::string& name, std::uint32_t frames, double rate = 22050)
    {
        std::shared_ptr<audio::File> file;
        ASSERT_EQ(audio::File::create(foundation::documentsDirectory() + "/" + name + ".caf", audio::kFileCAFType,
                      audio::linearPCM16(rate, 1), audio::kFileFlagsEraseFile, &file),
            audio::noErr);
        std::vector<std::int16_t> samples(frames, 1000);
        std::uint32_t packets = frames;
        ASSERT_EQ(file->writePackets(false, frames * 2, nullptr, 0, &packets, samples.data()), audio::noErr);
        ASSERT_EQ(file->close(), audio::noErr);
    }

    std::shared_ptr<Recording> recordingWithKey(int key)
    {
        for (const auto& recording : library().recordings()) {
            if (recording->key() == key)
                return recording;
        }
        return nullptr;
    }

    /// Remembers every post of name, with its object.
    void observe(const std::string& name)
    {
        foundation::NotificationCenter::defaultCenter().addObserver(this, name, nullptr,
            [this](const foundation::Notification& n) { m_posts.emplace_back(n.name(), n.object()); });
    }
    int posts(const std::string& name) const
    {
        int n = 0;
        for (const auto& post : m_posts)
            n += post.first == name;
        return n;
    }
    const std::vector<std::pair<std::string, const void*>>& allPosts() const { return m_posts; }
    void clearPosts() { m_posts.clear(); }

    static std::vector<std::string> defaultCategoryNames()
    {
        return { "Fun", "General", "Lectures", "Meetings", "Other", "Reminders", "Shopping List", "To Do" };
    }

private:
    sqlite3* m_raw { nullptr };
    std::vector<std::pair<std::string, const void*>> m_posts;
};

} // namespace storetest
