#include "OtherUser.h"
#include "TestEnvironment.h"

#include "foundation/FileManager.h"
#include "foundation/InstanceLock.h"
#include "foundation/UUID.h"

#include <filesystem>
#include <set>
#include <unistd.h>

using namespace foundation;
namespace fs = std::filesystem;

namespace {
class FilesTest : public testsupport::TestEnvironment {};
} // namespace

TEST_F(FilesTest, DocumentsDirectoryIsCreatedOwnerOnly)
{
    setDocumentsDirectory("");
    std::string expected = rootDirectory() + "/data/parlivo/Documents";
    EXPECT_EQ(documentsDirectory(), expected);
    EXPECT_TRUE(fs::is_directory(expected));
    EXPECT_EQ(fs::status(expected).permissions() & fs::perms::all, fs::perms::owner_all);

    setDocumentsDirectory(rootDirectory() + "/chosen/");
    EXPECT_EQ(documentsDirectory(), rootDirectory() + "/chosen");
}

TEST_F(FilesTest, CopyRefusesAnExistingTargetAndSizesFollowLinks)
{
    std::string a = rootDirectory() + "/a.bin", b = rootDirectory() + "/b.bin", link = rootDirectory() + "/link";
    ASSERT_TRUE(writeFileAtomically(a, std::string(3000, 'a')));
    std::string error;
    EXPECT_TRUE(copyItem(a, b, &error)) << error;
    EXPECT_EQ(readFile(b), std::string(3000, 'a'));
    EXPECT_FALSE(copyItem(a, b, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(copyItem(rootDirectory() + "/missing", rootDirectory() + "/c", &error));
    EXPECT_FALSE(fileExists(rootDirectory() + "/c"));

    ASSERT_EQ(symlink(a.c_str(), link.c_str()), 0);
    EXPECT_EQ(fileSize(link), 3000u);
    EXPECT_FALSE(fileSize(rootDirectory() + "/missing").has_value());

    EXPECT_TRUE(removeItem(b));
    EXPECT_FALSE(fileExists(b));
    EXPECT_FALSE(removeItem(b, &error));
}

TEST(UUID, FreshStringsHaveTheFixedFormAndDiffer)
{
    std::set<std::string> seen;
    for (int i = 0; i < 1000; ++i) {
        std::string uuid = makeUUIDString();
        ASSERT_EQ(uuid.size(), 36u);
        for (size_t k = 0; k < uuid.size(); ++k) {
            if (k == 8 || k == 13 || k == 18 || k == 23)
                ASSERT_EQ(uuid[k], '-');
            else
                ASSERT_TRUE(std::isdigit(static_cast<unsigned char>(uuid[k])) || (uuid[k] >= 'A' && uuid[k] <= 'F')) << uuid;
        }
        EXPECT_EQ(uuid[14], '4');
        EXPECT_TRUE(isUUIDString(uuid));
        seen.insert(uuid);
    }
    EXPECT_EQ(seen.size(), 1000u);
}

TEST(UUID, RecognisesOnlyWellFormedNames)
{
    EXPECT_TRUE(isUUIDString("3f2504e0-4f89-41d3-9a0c-0305e82c3301"));
    EXPECT_FALSE(isUUIDString("../../../../etc/passwd-0000000000000"));
    EXPECT_FALSE(isUUIDString("3F2504E0-4F89-41D3-9A0C-0305E82C330"));
    EXPECT_FALSE(isUUIDString("3F2504E0/4F89-41D3-9A0C-0305E82C3301"));
    EXPECT_FALSE(isUUIDString(""));
}

TEST_F(FilesTest, TheInstanceLockTellsAnotherHolderFromAFolderItCannotUse)
{
    const std::string folder = rootDirectory() + "/documents";
    ASSERT_TRUE(foundation::createDirectory(folder));
    const std::string path = folder + "/parlivodb.sql.lock";
    {
        auto failure = foundation::InstanceLock::Failure::None;
        std::string error;
        auto held = foundation::InstanceLock::acquire(path, &error, &failure);
        ASSERT_TRUE(held);
        EXPECT_FALSE(held->openedForReading());
        EXPECT_FALSE(foundation::InstanceLock::acquire(path, &error, &failure));
        EXPECT_EQ(failure, foundation::InstanceLock::Failure::HeldByAnother);
        EXPECT_EQ(error, "held by another process");
    }
    auto failure = foundation::InstanceLock::Failure::None;
    EXPECT_FALSE(foundation::InstanceLock::acquire(rootDirectory() + "/missing/parlivodb.sql.lock", nullptr, &failure));
    EXPECT_EQ(failure, foundation::InstanceLock::Failure::Unusable);

    // A folder that cannot be written still gets its one program: on the lock file there, or
    // on the folder when there is none.
    const std::string bare = rootDirectory() + "/bare";
    ASSERT_TRUE(foundation::createDirectory(bare));
    testsupport::makeReadOnly(folder);
    testsupport::makeReadOnly(bare);
    testsupport::runWherePermissionsHold([&] {
        for (const std::string& lock : { path, bare + "/parlivodb.sql.lock" }) {
            SCOPED_TRACE(lock);
            auto why = foundation::InstanceLock::Failure::None;
            auto held = foundation::InstanceLock::acquire(lock, nullptr, &why);
            ASSERT_TRUE(held);
            EXPECT_TRUE(held->openedForReading());
            EXPECT_FALSE(foundation::InstanceLock::acquire(lock, nullptr, &why));
            EXPECT_EQ(why, foundation::InstanceLock::Failure::HeldByAnother);
        }
    });
    testsupport::makeWritable(folder);
    testsupport::makeWritable(bare);
}

TEST_F(FilesTest, AttributesOfAnItemNeverFollowALinkNorOpenIt)
{
    const std::string file = rootDirectory() + "/file";
    ASSERT_TRUE(writeFileAtomically(file, "12345"));
    ASSERT_EQ(::symlink(file.c_str(), (rootDirectory() + "/link").c_str()), 0);
    ASSERT_EQ(::mkfifo((rootDirectory() + "/pipe").c_str(), 0600), 0);
    auto regular = attributesOfItem(file);
    ASSERT_TRUE(regular);
    EXPECT_TRUE(regular->regular);
    EXPECT_EQ(regular->size, 5u);
    for (const char* name : { "/link", "/pipe" }) {
        auto other = attributesOfItem(rootDirectory() + name);
        ASSERT_TRUE(other) << name;
        EXPECT_FALSE(other->regular) << name;
    }
    EXPECT_FALSE(attributesOfItem(rootDirectory() + "/missing"));
}
