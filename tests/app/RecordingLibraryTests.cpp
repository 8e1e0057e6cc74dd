#include "StoreFixture.h"

#include "foundation/Log.h"
#include "foundation/UUID.h"
#include "foundation/UserDefaults.h"

#include <cstdlib>

using namespace storetest;

namespace {

class RecordingLibraryTest : public StoreTest {};

std::string defaultsSetting()
{
    return foundation::UserDefaults::standardUserDefaults().stringForKey("defaultCategory").value_or("?");
}

} // namespace

TEST_F(RecordingLibraryTest, FirstStartCopiesTheTemplateAndASecondStartDoesNot)
{
    ASSERT_FALSE(foundation::fileExists(databasePath()));
    foundation::LogCapture log;
    EXPECT_TRUE(library().recordings().empty());
    EXPECT_TRUE(foundation::fileExists(databasePath()));
    EXPECT_EQ(library().definedCategories(), defaultCategoryNames());

    auto recording = library().newRecording();
    ASSERT_TRUE(recording);
    recording->setLocation(1);
    recording->save();
    restart();

    ASSERT_EQ(library().recordings().size(), 1u);
    EXPECT_EQ(library().recordings()[0]->title(), "Untitled Recording");
    EXPECT_EQ(library().definedCategories(), defaultCategoryNames());
    EXPECT_TRUE(log.lines().empty()) << log.lines().front();
    EXPECT_EQ(query("PRAGMA journal_mode"), "wal");
}

TEST_F(RecordingLibraryTest, MissingTemplateIsLoggedAndTheLibraryRunsEmpty)
{
    std::string empty = rootDirectory() + "/no-resources";
    ASSERT_TRUE(foundation::createDirectory(empty));
    const std::string previous = getenv("PARLIVO_RESOURCES") ? getenv("PARLIVO_RESOURCES") : "";
    setenv("PARLIVO_RESOURCES", empty.c_str(), 1);
    foundation::Bundle::resetMain();
    // The next test in this process needs the resources back, whatever this one does.
    struct Restore {
        std::string value;
        ~Restore()
        {
            if (value.empty())
                unsetenv("PARLIVO_RESOURCES");
            else
                setenv("PARLIVO_RESOURCES", value.c_str(), 1);
            foundation::Bundle::resetMain();
        }
    } restore { previous };
    foundation::LogCapture log;
    EXPECT_TRUE(library().recordings().empty());
    EXPECT_TRUE(library().definedCategories().empty());
    EXPECT_TRUE(log.containsFragment("Failed to create writable database file with message '"));
    // No empty database is made in its place (the next start would take it for damage).
    EXPECT_FALSE(foundation::fileExists(databasePath()));
    EXPECT_TRUE(log.contains("Prepare select statement failed with error no database is open."));
    EXPECT_FALSE(library().newRecording());
    EXPECT_TRUE(log.contains("Prepare insert statement failed with error no database is open."));
    EXPECT_EQ(library().startupReport().problem, RecordingLibrary::StorageProblem::Unavailable);
    library().finalize();
}

TEST_F(RecordingLibraryTest, StaleLogOfAVanishedDatabaseIsNotAppliedToTheFreshCopy)
{
    library().newRecording()->setLocation(1);
    library().saveAll();
    // Kill the run: the write-ahead log stays behind; then the database file is lost.
    ASSERT_TRUE(foundation::copyItem(databasePath() + "-wal", rootDirectory() + "/saved-wal"));
    RecordingLibrary::resetSharedLibrary();
    ASSERT_TRUE(foundation::removeItem(databasePath()));
    ASSERT_TRUE(foundation::copyItem(rootDirectory() + "/saved-wal", databasePath() + "-wal"));

    EXPECT_TRUE(library().recordings().empty());
    EXPECT_EQ(query("PRAGMA integrity_check"), "ok");
}

TEST_F(RecordingLibraryTest, SharedLibraryIsOneInstanceLoadedOnce)
{
    installTemplate();
    insertRow("a", kUUID1, 1);
    closeRaw();
    StatementTrace trace;
    RecordingLibrary* first = &library();
    EXPECT_EQ(&library(), first);
    EXPECT_EQ(trace.count("SELECT pk, title, audioFileName, size, category, comments, length, playCount, createdDate, location FROM recordings"), 1);
    EXPECT_EQ(first->recordings().size(), 1u);
    EXPECT_EQ(first->recordings()[0]->title(), "a");
}

TEST_F(RecordingLibraryTest, UnfiledRecordingsAreFiledOrRemovedAtStart)
{
    installTemplate();
    std::string victim = rootDirectory() + "/victim.caf";
    ASSERT_TRUE(foundation::writeFileAtomically(victim, "not yours"));
    int filed = insertRow("Untitled Recording", kUUID3, 1);
    int withFile = insertRow("", kUUID1, 0);
    int withoutFile = insertRow("", kUUID2, 0);
    int tampered = insertRow("", "../victim", 0);
    makeRecordingFile(kUUID1, 11025);
    makeAudioFile(kUUID3, 10);

    // Observers at start-up ask for the library: they must get the one being made.
    std::vector<RecordingLibrary*> seen;
    foundation::NotificationCenter::defaultCenter().addObserver(&seen, "", nullptr, [&](const foundation::Notification& n) {
        if (n.name() == PRLVNotificationRecordingSaved || n.name() == PRLVNotificationRecordingDeleted)
            seen.push_back(&RecordingLibrary::sharedLibrary());
    });
    observe(PRLVNotificationRecordingSaved);
    observe(PRLVNotificationRecordingDeleted);
    foundation::LogCapture log;

    ASSERT_EQ(library().recordings().size(), 2u);
    auto recovered = recordingWithKey(withFile);
    ASSERT_TRUE(recovered);
    EXPECT_EQ(recovered->location(), 1);
    const std::string size = HelperMethods::getAudioFileSizeFormattedString(kUUID1);
    EXPECT_EQ(recovered->size(), size);
    // Its length is read from the file, not left at 0.
    EXPECT_FLOAT_EQ(recovered->length(), 0.5f);
    EXPECT_EQ(recovered->title(), "Untitled Recording 1");
    EXPECT_FALSE(recovered->isDirty());
    EXPECT_EQ(query("SELECT title || '|' || size || '|' || location || '|' || length FROM recordings WHERE pk=" + std::to_string(withFile)),
        "Untitled Recording 1|" + size + "|1|0.5");
    EXPECT_TRUE(recordingWithKey(filed));

    EXPECT_EQ(count("recordings", "pk IN (" + std::to_string(withoutFile) + "," + std::to_string(tampered) + ")"), 0);
    EXPECT_EQ(posts(PRLVNotificationRecordingSaved), 1);
    EXPECT_EQ(posts(PRLVNotificationRecordingDeleted), 2);
    EXPECT_EQ(seen, std::vector<RecordingLibrary*>(3, &library()));

    // The tampered name never became a path: the file outside the documents stays.
    EXPECT_TRUE(foundation::fileExists(victim));
    EXPECT_TRUE(log.containsFragment("Refusing audio file name '../victim'"));
    foundation::NotificationCenter::defaultCenter().removeObserver(&seen);
}

TEST_F(RecordingLibraryTest, NewRecordingAddsOneRowAndOneUnfiledRecord)
{
    size_t before = library().recordings().size();
    auto recording = library().newRecording();
    ASSERT_TRUE(recording);
    ASSERT_EQ(library().recordings().size(), before + 1);
    EXPECT_EQ(library().recordings().back(), recording);
    EXPECT_EQ(count("recordings"), 1);
    EXPECT_EQ(recording->location(), 0);
    EXPECT_EQ(recording->title(), "");
    EXPECT_EQ(recording->size(), "");
    EXPECT_EQ(recording->comments(), "");
    EXPECT_EQ(recording->category(), "General");
    EXPECT_EQ(recording->length(), 0.0f);
    EXPECT_EQ(recording->playCount(), 0);
    EXPECT_EQ(recording->createdDate(), kStartDate);
    EXPECT_FALSE(recording->image());
    EXPECT_FALSE(recording->isDirty());
    EXPECT_EQ(recording->audioFileName().size(), 36u);
    EXPECT_TRUE(foundation::isUUIDString(recording->audioFileName()));
    EXPECT_EQ(query("SELECT audioFileName FROM recordings WHERE location=0 AND title=''"), recording->audioFileName());
    EXPECT_NE(library().newRecording()->audioFileName(), recording->audioFileName());
}

TEST_F(RecordingLibraryTest, UntitledTitleIsTheFirstFreeOfBaseAndNumberedBases)
{
    installTemplate();
    EXPECT_EQ(library().getNextAvailableRecordingTitle(), "Untitled Recording");

    exec("INSERT INTO recordings (title, location) VALUES ('Untitled Recording', 1), ('Untitled Recording 2', 1)");
    EXPECT_EQ(library().getNextAvailableRecordingTitle(), "Untitled Recording 1");

    exec("INSERT INTO recordings (title, location) VALUES ('Untitled Recording 1', 2), (NULL, 1), ('Untitled Recording 4', 1)");
    EXPECT_EQ(library().getNextAvailableRecordingTitle(), "Untitled Recording 3");

    // Only exact titles block a candidate; other spellings are merely collected.
    exec("DELETE FROM recordings");
    exec("INSERT INTO recordings (title, location) VALUES ('untitled recording', 1), ('My Untitled Recording', 1), ('Untitled Recording 1 copy', 1)");
    EXPECT_EQ(library().getNextAvailableRecordingTitle(), "Untitled Recording");

    // A trashed recording still blocks the base.
    exec("DELETE FROM recordings");
    exec("INSERT INTO recordings (title, location) VALUES ('Untitled Recording', 2)");
    EXPECT_EQ(library().getNextAvailableRecordingTitle(), "Untitled Recording 1");
}

TEST_F(RecordingLibraryTest, SavingWithoutATitleGivesTheNextUntitledTitles)
{
    std::vector<std::shared_ptr<Recording>> made;
    for (int i = 0; i < 3; ++i) {
        made.push_back(library().newRecording());
        made.back()->setLocation(1);
        made.back()->save();
    }
    EXPECT_EQ(made[0]->title(), "Untitled Recording");
    EXPECT_EQ(made[1]->title(), "Untitled Recording 1");
    EXPECT_EQ(made[2]->title(), "Untitled Recording 2");
    // A gap left by a renamed recording is filled first.
    made[1]->setTitle("Groceries");
    made[1]->save();
    auto next = library().newRecording();
    next->setLocation(2);
    next->save();
    EXPECT_EQ(next->title(), "Untitled Recording 1");
}

TEST_F(RecordingLibraryTest, EmptyCategoryTableIsSeededWithNineAnnouncements)
{
    observe(PRLVNotificationCategoriesChanged);
    EXPECT_EQ(library().definedCategories(), defaultCategoryNames());
    EXPECT_EQ(posts(PRLVNotificationCategoriesChanged), 9);
    for (const auto& [name, object] : allPosts())
        EXPECT_EQ(object, &library());
    EXPECT_EQ(count("categories"), 8);
    restart();
    clearPosts();
    EXPECT_EQ(library().definedCategories(), defaultCategoryNames());
    EXPECT_EQ(posts(PRLVNotificationCategoriesChanged), 1);
    EXPECT_EQ(count("categories"), 8);
}

TEST_F(RecordingLibraryTest, CategoriesLoadDistinctNonEmptyNamesInByteOrder)
{
    installTemplate();
    exec("INSERT INTO categories VALUES ('work'), ('Work'), (''), (NULL), ('Work'), ('Zoo'), (CAST(X'FF' AS TEXT))");
    EXPECT_EQ(library().definedCategories(), (std::vector<std::string> { "Work", "Zoo", "work" }));
}

TEST_F(RecordingLibraryTest, AddingCategoriesTakesNewNamesOnly)
{
    library();
    observe(PRLVNotificationCategoriesChanged);
    library().addCategory("general");
    EXPECT_EQ(posts(PRLVNotificationCategoriesChanged), 1);
    EXPECT_EQ(library().definedCategories().size(), 9u);
    EXPECT_EQ(library().definedCategories().back(), "general");
    library().addCategory("General");
    library().addCategory("");
    EXPECT_EQ(posts(PRLVNotificationCategoriesChanged), 1);
    EXPECT_EQ(count("categories"), 9);
}

TEST_F(RecordingLibraryTest, RemovingACategoryMovesItsRecordingsToTheDefault)
{
    installTemplate();
    int filed = insertRow("a", kUUID1, 1, ", category", ", 'Fun'");
    int trashed = insertRow("b", kUUID2, 2, ", category", ", 'Fun'");
    int other = insertRow("c", kUUID3, 1, ", category", ", 'Other'");
    foundation::UserDefaults::standardUserDefaults().setObjectForKey("Meetings", "defaultCategory");
    auto unfiled = library().newRecording();
    unfiled->setCategory("Fun");
    unfiled->save();

    observe(PRLVNotificationRecordingSaved);
    library().removeCategory("Fun");
    EXPECT_EQ(query("SELECT group_concat(pk || category) FROM recordings WHERE pk IN (" + std::to_string(filed) + ","
                  + std::to_string(trashed) + "," + std::to_string(other) + ")"),
        std::to_string(filed) + "Meetings," + std::to_string(trashed) + "Meetings," + std::to_string(other) + "Other");
    EXPECT_EQ(posts(PRLVNotificationRecordingSaved), 2);
    // The unfiled recording moves in memory, but is not written.
    EXPECT_EQ(unfiled->category(), "Meetings");
    EXPECT_EQ(query("SELECT category FROM recordings WHERE pk=" + std::to_string(unfiled->key())), std::nullopt);
    EXPECT_EQ(count("categories", "category='Fun'"), 0);
    EXPECT_EQ(library().definedCategories().size(), 7u);

    clearPosts();
    library().removeCategory("Fun");
    library().removeCategory("");
    EXPECT_TRUE(allPosts().empty());
}

TEST_F(RecordingLibraryTest, RenamingTheDefaultCategoryCarriesRecordingsAndTheSetting)
{
    installTemplate();
    int general = insertRow("a", kUUID1, 2, ", category", ", 'General'");
    int implicit = insertRow("b", kUUID2, 1);
    library().updateCategoryTo("General", "Everything");
    EXPECT_EQ(defaultsSetting(), "Everything");
    EXPECT_EQ(query("SELECT category FROM recordings WHERE pk=" + std::to_string(general)), "Everything");
    // A row without a category read as the old default, so it follows the rename as well.
    EXPECT_EQ(query("SELECT category FROM recordings WHERE pk=" + std::to_string(implicit)), "Everything");
    EXPECT_TRUE(std::count(library().definedCategories().begin(), library().definedCategories().end(), "Everything"));
    EXPECT_EQ(library().newRecording()->category(), "Everything");

    // Renaming another category leaves the setting alone; an unknown name changes nothing.
    library().updateCategoryTo("Fun", "Games");
    EXPECT_EQ(defaultsSetting(), "Everything");
    observe(PRLVNotificationCategoriesChanged);
    library().updateCategoryTo("Nothing", "Something");
    EXPECT_EQ(posts(PRLVNotificationCategoriesChanged), 0);
}

TEST_F(RecordingLibraryTest, RemovingTheLastCategoryBringsTheDefaultsBack)
{
    installTemplate();
    exec("INSERT INTO categories VALUES ('Only')");
    EXPECT_EQ(library().definedCategories(), std::vector<std::string> { "Only" });
    observe(PRLVNotificationCategoriesChanged);
    library().removeCategory("Only");
    EXPECT_EQ(library().definedCategories(), defaultCategoryNames());
    EXPECT_EQ(posts(PRLVNotificationCategoriesChanged), 9);
}

TEST_F(RecordingLibraryTest, LibraryStartsWithALockedDatabaseAndSeedsNothing)
{
    installTemplate();
    insertRow("", kUUID1, 0);
    makeRecordingFile(kUUID1, 4096);
    exec("BEGIN IMMEDIATE");
    observe(PRLVNotificationCategoriesChanged);
    observe(PRLVNotificationRecordingSaved);
    foundation::LogCapture log;

    // Seeding fails at the first insert: one announcement, no endless reloading.
    EXPECT_TRUE(library().definedCategories().empty());
    EXPECT_EQ(posts(PRLVNotificationCategoriesChanged), 1);
    EXPECT_TRUE(log.contains("Insert category statement execution failed with error database is locked."));
    // The unfiled recording with a file could not be written: it stays dirty for a later save.
    ASSERT_EQ(library().recordings().size(), 1u);
    EXPECT_TRUE(library().recordings()[0]->isDirty());
    EXPECT_EQ(posts(PRLVNotificationRecordingSaved), 0);

    exec("COMMIT");
    library().finalize();
    EXPECT_EQ(query("SELECT title || location FROM recordings"), "Untitled Recording1");
}

TEST_F(RecordingLibraryTest, RowsWhoseKeyDoesNotFitAreLeftAlone)
{
    installTemplate();
    exec("INSERT INTO recordings (pk, title, audioFileName, location) VALUES (1, 'one', '" + std::string(kUUID1)
        + "', 1), (4294967297, 'alias of one', '" + kUUID2 + "', 1)");
    foundation::LogCapture log;
    ASSERT_EQ(library().recordings().size(), 1u);
    auto recording = library().recordings()[0];
    EXPECT_EQ(recording->title(), "one");
    EXPECT_TRUE(log.contains("Skipping recording row 4294967297: its key does not fit."));
    recording->setTitle("changed");
    recording->save();
    EXPECT_EQ(query("SELECT title FROM recordings WHERE pk=4294967297"), "alias of one");
    // A new row would come after the largest key, which no 32-bit key can name: it moves to
    // the first key after the largest one that fits.
    auto added = library().newRecording();
    ASSERT_TRUE(added);
    EXPECT_EQ(added->key(), 2);
    EXPECT_EQ(count("recordings"), 3);
}
