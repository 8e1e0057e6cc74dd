// The command line for scripts and backups: parlivo list and parlivo export, beside a running
// program (they only read) and into a folder of the user's, never replacing a file there.
#include "AudioTestEnvironment.h"
#include "ProgramRunner.h"

#include "audio/File.h"
#include "foundation/FileManager.h"
#include "foundation/InstanceLock.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace {

constexpr int kRate = 22050;

class MemoCommandTest : public testsupport::TestEnvironment {
protected:
    void SetUp() override
    {
        TestEnvironment::SetUp();
        ASSERT_TRUE(foundation::createDirectory(documentsPath()));
        ASSERT_TRUE(foundation::copyItem(std::string(std::getenv("PARLIVO_RESOURCES")) + "/parlivodb.sql", documentsPath() + "/parlivodb.sql"));
        m_out = rootDirectory() + "/out";
        ASSERT_TRUE(foundation::createDirectory(m_out));
    }

    // A memo as the program files it: its row and its 16-bit mono CAF file.
    void file(const std::string& uuid, const std::string& title, int location, const std::vector<std::int16_t>& samples)
    {
        std::shared_ptr<audio::File> caf;
        ASSERT_EQ(audio::File::create(documentsPath() + "/" + uuid + ".caf", audio::kFileCAFType, audio::linearPCM16(kRate, 1),
                      audio::kFileFlagsEraseFile, &caf),
            audio::noErr);
        auto n = static_cast<std::uint32_t>(samples.size());
        ASSERT_EQ(caf->writePackets(false, n * 2, nullptr, 0, &n, samples.data()), audio::noErr);
        caf->close();
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open((documentsPath() + "/parlivodb.sql").c_str(), &db), SQLITE_OK);
        sqlite3_stmt* insert = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(db,
                      "INSERT INTO recordings (title, audioFileName, size, category, comments, length, playCount, createdDate, location) "
                      "VALUES (?, ?, '1 KB', 'Business', 'Budget.', ?, 0, 1790769600, ?)",
                      -1, &insert, nullptr),
            SQLITE_OK);
        sqlite3_bind_text(insert, 1, title.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, uuid.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_double(insert, 3, double(samples.size()) / kRate);
        sqlite3_bind_int(insert, 4, location);
        EXPECT_EQ(sqlite3_step(insert), SQLITE_DONE);
        sqlite3_finalize(insert);
        sqlite3_close(db);
    }

    testsupport::ProgramResult run(const std::string& arguments, testsupport::Collect collect = testsupport::Collect::StandardOutput)
    {
        return testsupport::runParlivo("--documents " + documentsPath() + " " + arguments, collect);
    }

    static std::vector<std::int16_t> samplesOf(const std::string& path)
    {
        SF_INFO info {};
        SNDFILE* sound = sf_open(path.c_str(), SFM_READ, &info);
        if (!sound)
            return {};
        std::vector<std::int16_t> samples(size_t(info.frames));
        samples.resize(size_t(sf_readf_short(sound, samples.data(), info.frames)));
        sf_close(sound);
        return samples;
    }

    std::string m_out;
};

} // namespace

TEST_F(MemoCommandTest, ListShowsEveryMemoOnALineOfItsOwn)
{
    file("11111111-1111-4111-8111-111111111111", "Design meeting", 1, testsupport::rampSamples(kRate));
    file("22222222-2222-4222-8222-222222222222", "Two\tcolumns\nand lines", 2, testsupport::rampSamples(kRate / 2));
    // Beside a running program, which holds the documents' lock: the list only reads.
    auto lock = foundation::InstanceLock::acquire(documentsPath() + "/parlivodb.sql.lock");
    ASSERT_TRUE(lock);
    auto [status, output] = run("list");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(output, "1\tDesign meeting\tBusiness\t2026-09-30T12:00:00Z\t1.00\trecordings\n"
                      "2\tTwo\\tcolumns\\nand lines\tBusiness\t2026-09-30T12:00:00Z\t0.50\ttrash\n");
    EXPECT_EQ(run("list extra").status, 2);
}

TEST_F(MemoCommandTest, ExportWritesEachMemoNamedAfterItsTitleAndNeverReplacesAFile)
{
    const auto first = testsupport::rampSamples(kRate, 3);
    const auto second = testsupport::rampSamples(kRate / 2, 5);
    file("11111111-1111-4111-8111-111111111111", "../x", 1, first);
    file("22222222-2222-4222-8222-222222222222", "/etc/passwd", 1, second);
    file("33333333-3333-4333-8333-333333333333", "In the Trash", 2, first);

    auto [status, output] = run("export --format flac --all " + m_out);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(output, m_out + "/x.flac\n" + m_out + "/etc passwd.flac\n");
    EXPECT_EQ(samplesOf(m_out + "/x.flac"), first);
    EXPECT_EQ(samplesOf(m_out + "/etc passwd.flac"), second);
    EXPECT_FALSE(foundation::fileExists(rootDirectory() + "/x.flac")) << "the title's path stays inside the folder";

    // Again, and one memo by its key as WAV: new names, the first files kept.
    auto again = run("export --format flac 1 " + m_out);
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.output, m_out + "/x (2).flac\n");
    EXPECT_EQ(run("export --format wav 3 " + m_out).output, m_out + "/In the Trash.wav\n");
    EXPECT_EQ(samplesOf(m_out + "/In the Trash.wav"), first);
    EXPECT_EQ(foundation::contentsOfDirectory(m_out).size(), 4u);

    // Mistakes are said, and nothing is written.
    EXPECT_EQ(run("export 9 " + m_out).status, 1);
    EXPECT_NE(run("export 9 " + m_out, testsupport::Collect::StandardError).output.find("there is no memo 9"), std::string::npos);
    EXPECT_EQ(run("export --format ogg --all " + m_out).status, 2);
    EXPECT_EQ(run("export --all").status, 2);
    EXPECT_EQ(run("export --all " + rootDirectory() + "/missing").status, 1);
    EXPECT_EQ(foundation::contentsOfDirectory(m_out).size(), 4u);
}
