#include "RecordingsListTest.h"

#include "Recording.h"
#include "RecordingLibrary.h"

#include "foundation/Bundle.h"
#include "foundation/Log.h"

using namespace e2e;

namespace {

using Sections = std::vector<std::pair<std::string, std::vector<std::string>>>;

} // namespace

TEST_F(RecordingsListTest, MemosOfDifferentDaysStandUnderTheirDaysNewestFirstWithMarkersAndBadge)
{
    setSetting("listStyle", "plain");
    launch();
    // Now is Tuesday 2026-12-08 12:00 UTC at the end; each memo is recorded on its own day.
    auto old = recordOn(utc(2025, 6, 1, 9), "Garden plans");
    auto sunday = recordOn(utc(2026, 12, 6, 18), "Choir");
    auto monday = recordOn(utc(2026, 12, 7, 8, 30), "Shopping");
    auto morning = recordOn(utc(2026, 12, 8, 9), "Standup");
    auto noon = recordOn(utc(2026, 12, 8, 12), "Lunch idea");

    EXPECT_EQ(myRecordings().tabBarItem()->badgeValue(), std::optional<std::string>("5"));
    EXPECT_EQ(ui::Application::sharedApplication().applicationIconBadgeNumber(), 5);
    showTab(kRecordingsTab);
    EXPECT_EQ(tableOf(myRecordings()).style(), ui::TableViewStyle::Plain);
    const Sections expected {
        { "Today", { "Lunch idea", "Standup" } },
        { "Yesterday", { "Shopping" } },
        { "This Week", { "Choir" } },
        { "2025", { "Garden plans" } },
    };
    EXPECT_EQ(sectionsOf(myRecordings()), expected);
    ASSERT_EQ(tableOf(myRecordings()).numberOfSections(), 4);
    EXPECT_EQ(tableOf(myRecordings()).numberOfRowsInSection(0), 2);
    // Every row shows its title, length, date and the never-played marker.
    auto first = cellAt(myRecordings(), { 0, 0 });
    ASSERT_TRUE(first);
    EXPECT_EQ(first->titleLabel()->text(), "Lunch idea");
    EXPECT_EQ(first->categoryLabel()->text(), text("General"));
    EXPECT_EQ(first->lengthLabel()->text(), "0:01");
    EXPECT_EQ(first->dateLabel()->text(), "12:00 PM");
    EXPECT_EQ(first->accessoryType(), ui::TableViewCellAccessoryType::DisclosureIndicator);
    EXPECT_TRUE(first->image());
    EXPECT_EQ(cellAt(myRecordings(), { 2, 0 })->dateLabel()->text(), "Sunday");
    shoot("recordings_sections");

    // Neighbours run through the sections in display order.
    EXPECT_EQ(myRecordings().recordingBefore(noon), nullptr);
    EXPECT_EQ(myRecordings().recordingAfter(noon), morning);
    EXPECT_EQ(myRecordings().recordingAfter(morning), monday);
    EXPECT_EQ(myRecordings().recordingBefore(monday), morning);
    EXPECT_EQ(myRecordings().recordingBefore(sunday), monday);
    EXPECT_EQ(myRecordings().recordingAfter(old), nullptr);
    EXPECT_EQ(myRecordings().recordingAfter(studio().currentRecording()), nullptr);

    // Choosing a row pushes the list's playback screen with that recording.
    tapAt(pointInRow(myRecordings(), { 1, 0 }, 100));
    advance(1.0);
    auto& navigation = *myRecordings().navigationController();
    ASSERT_EQ(navigation.topViewController(), myRecordings().player());
    EXPECT_EQ(myRecordings().player()->currentRecording(), monday);
    EXPECT_EQ(myRecordings().player()->dataSource(), &myRecordings());
    EXPECT_EQ(myRecordings().player()->titleLabel()->text(), "Shopping");

    // Played once: the count leaves the badge and the marker goes at the next showing.
    monday->setPlayCount(1);
    monday->save();
    EXPECT_EQ(myRecordings().tabBarItem()->badgeValue(), std::optional<std::string>("4"));
    EXPECT_EQ(ui::Application::sharedApplication().applicationIconBadgeNumber(), 4);
    navigation.popViewControllerAnimated(true);
    advance(1.0);
    EXPECT_FALSE(cellAt(myRecordings(), { 1, 0 })->image());
    EXPECT_TRUE(cellAt(myRecordings(), { 0, 0 })->image());

    // Choosing the same row again keeps the screen's recording; another one replaces it.
    tapAt(pointInRow(myRecordings(), { 1, 0 }, 100));
    advance(1.0);
    EXPECT_EQ(navigation.topViewController(), myRecordings().player());
    navigation.popViewControllerAnimated(false);
    advance(0.5);
    tapAt(pointInRow(myRecordings(), { 0, 1 }, 100));
    advance(1.0);
    EXPECT_EQ(myRecordings().player()->currentRecording(), morning);
}

TEST_F(RecordingsListTest, SwipeAndDeleteMoveARowToTheTrashAndAnEmptiedSectionGoes)
{
    launch();
    auto sunday = recordOn(utc(2026, 12, 6, 18), "Choir");
    auto monday = recordOn(utc(2026, 12, 7, 8), "Shopping");
    auto today = recordOn(utc(2026, 12, 8, 10), "Standup");
    showTab(kRecordingsTab);
    ASSERT_EQ(tableOf(myRecordings()).numberOfSections(), 3);

    swipeRow(myRecordings(), { 1, 0 });
    ASSERT_EQ(tableOf(myRecordings()).indexPathShowingDeleteConfirmation(), (ui::IndexPath { 1, 0 }));
    shoot("recordings_swiped");
    foundation::LogCapture log;
    auto leaving = cellAt(myRecordings(), { 1, 0 });
    const float restingX = leaving->center().x;
    tapDeleteButton(myRecordings(), { 1, 0 });
    // The row slides out to the right although its section went with it.
    advance(0.1);
    EXPECT_EQ(leaving->superview(), &tableOf(myRecordings()));
    EXPECT_GT(leaving->center().x, restingX + 200);
    // Moved at once: written with location 2, listed by the trash, left the Recordings list.
    EXPECT_EQ(row(monday->key())->location, 2);
    EXPECT_EQ(sectionsOf(myRecordings()), (Sections { { "Today", { "Standup" } }, { "This Week", { "Choir" } } }));
    EXPECT_EQ(sectionsOf(trashBin()), (Sections { { "Yesterday", { "Shopping" } } }));
    EXPECT_EQ(myRecordings().tabBarItem()->badgeValue(), std::optional<std::string>("2"));
    advance(1.0);
    // The emptied section is gone from the table too, and the table never disagreed.
    EXPECT_EQ(tableOf(myRecordings()).numberOfSections(), 2);
    EXPECT_EQ(tableOf(myRecordings()).numberOfRowsInSection(1), 1);
    EXPECT_FALSE(log.containsFragment("do not match"));

    // Editing mode: the control, then Delete, moves the last row of the list.
    tap(rightBarButton(myRecordings()));
    advance(0.5);
    ASSERT_TRUE(tableOf(myRecordings()).isEditing());
    tapAt(pointInRow(myRecordings(), { 1, 0 }, 16));
    advance(0.5);
    shoot("recordings_editing");
    tapDeleteButton(myRecordings(), { 1, 0 });
    advance(1.0);
    EXPECT_EQ(row(sunday->key())->location, 2);
    EXPECT_EQ(sectionsOf(myRecordings()), (Sections { { "Today", { "Standup" } } }));
    EXPECT_EQ(sectionsOf(trashBin()), (Sections { { "Yesterday", { "Shopping" } }, { "This Week", { "Choir" } } }));
    EXPECT_EQ(row(today->key())->location, 1);

    // Leaving the screen ends editing mode.
    showTab(kTrashTab);
    EXPECT_FALSE(myRecordings().isEditing());
    EXPECT_FALSE(tableOf(myRecordings()).isEditing());

    // The trash's rows neither swipe nor edit, and it has no Edit button.
    ASSERT_EQ(tableOf(trashBin()).numberOfSections(), 2);
    swipeRow(trashBin(), { 0, 0 });
    EXPECT_FALSE(tableOf(trashBin()).indexPathShowingDeleteConfirmation());
    EXPECT_EQ(trashBin().navigationItem()->rightBarButtonItem(), trashBin().emptyTrashBinButton());
    EXPECT_EQ(row(monday->key())->location, 2);

    // A delete committed on a trashed row deletes it for good, file and all.
    trashBin().tableViewCommitEditingStyleForRowAtIndexPath(tableOf(trashBin()), ui::TableViewCellEditingStyle::Delete, { 0, 0 });
    advance(1.0);
    EXPECT_FALSE(row(monday->key()));
    EXPECT_FALSE(audioFileExists(monday->audioFileName()));
    EXPECT_EQ(sectionsOf(trashBin()), (Sections { { "This Week", { "Choir" } } }));
    EXPECT_EQ(tableOf(trashBin()).numberOfSections(), 1);
}

TEST_F(RecordingsListTest, TheLastRecordingOfTheListLeavesOneEmptySectionWithoutATitle)
{
    launch();
    auto only = recordOn(utc(2026, 12, 8, 10), "Only one");
    showTab(kRecordingsTab);
    foundation::LogCapture log;
    swipeRow(myRecordings(), { 0, 0 });
    auto leaving = cellAt(myRecordings(), { 0, 0 });
    tapDeleteButton(myRecordings(), { 0, 0 });
    advance(0.1);
    EXPECT_EQ(leaving->superview(), &tableOf(myRecordings()));
    EXPECT_GT(leaving->center().x, 320);
    advance(1.0);
    EXPECT_EQ(tableOf(myRecordings()).numberOfSections(), 1);
    EXPECT_EQ(tableOf(myRecordings()).numberOfRowsInSection(0), 0);
    EXPECT_FALSE(myRecordings().tableViewTitleForHeaderInSection(tableOf(myRecordings()), 0));
    EXPECT_EQ(myRecordings().getCount(), 0);
    EXPECT_FALSE(log.containsFragment("do not match"));
    EXPECT_EQ(only->location(), 2);
    EXPECT_FALSE(myRecordings().tabBarItem()->badgeValue());
    EXPECT_EQ(ui::Application::sharedApplication().applicationIconBadgeNumber(), 0);
}

TEST_F(RecordingsListTest, EmptyingTheTrashAsksFirstThenDeletesEveryRowAndFileWithOneCrumple)
{
    launch();
    auto kept = recordOn(utc(2026, 12, 5, 10), "Keep me");
    auto first = recordOn(utc(2026, 12, 6, 10), "Old draft");
    auto second = recordOn(utc(2026, 12, 8, 10), "Noise");

    // An empty trash offers nothing to empty.
    showTab(kTrashTab);
    EXPECT_FALSE(trashBin().emptyTrashBinButton()->isEnabled());
    tap(rightBarButton(trashBin()));
    advance(0.5);
    EXPECT_FALSE(shownSheet());

    // Two trashed from the Recordings tab, then back to the Trash, where Empty is enabled.
    showTab(kRecordingsTab);
    swipeRow(myRecordings(), { 0, 0 });
    tapDeleteButton(myRecordings(), { 0, 0 });
    advance(1.0);
    swipeRow(myRecordings(), { 0, 0 });
    tapDeleteButton(myRecordings(), { 0, 0 });
    advance(1.0);
    showTab(kTrashTab);
    EXPECT_TRUE(trashBin().emptyTrashBinButton()->isEnabled());
    EXPECT_EQ(trashBin().getCount(), 2);

    // Cancel keeps everything.
    tap(rightBarButton(trashBin()));
    advance(0.5);
    ASSERT_TRUE(shownSheet());
    EXPECT_EQ(shownSheet()->title(), text("Sure Delete Prompt"));
    EXPECT_EQ(shownSheet()->buttonTitleAtIndex(0), text("Delete"));
    EXPECT_EQ(shownSheet()->actionSheetStyle(), ui::ActionSheetStyle::BlackTranslucent);
    shoot("trash_confirmation");
    tapSheetButton(shownSheet()->cancelButtonIndex());
    EXPECT_FALSE(shownSheet());
    EXPECT_EQ(rows().size(), 4u); // the studio's fresh recording has a row too
    EXPECT_EQ(trashBin().getCount(), 2);
    EXPECT_TRUE(trashBin().emptyTrashBinButton()->isEnabled());

    // Delete removes every trashed row and file, plays the crumple once and disables Empty.
    device().clearSpeakerSamples();
    tap(rightBarButton(trashBin()));
    advance(0.5);
    tapSheetButton(0);
    EXPECT_FALSE(row(first->key()));
    EXPECT_FALSE(row(second->key()));
    EXPECT_FALSE(audioFileExists(first->audioFileName()));
    EXPECT_FALSE(audioFileExists(second->audioFileName()));
    EXPECT_EQ(trashBin().getCount(), 0);
    EXPECT_EQ(tableOf(trashBin()).numberOfSections(), 1);
    EXPECT_EQ(tableOf(trashBin()).numberOfRowsInSection(0), 0);
    EXPECT_FALSE(trashBin().emptyTrashBinButton()->isEnabled());
    advance(3.0);
    auto crumple = testsupport::readCAF(*foundation::Bundle::main().pathForResource("crumple", "caf"));
    ASSERT_TRUE(crumple);
    EXPECT_EQ(device().speakerSamples().size(), crumple->samples.size());
    shoot("trash_emptied");

    // The Recordings tab's memo is untouched.
    EXPECT_EQ(row(kept->key())->location, 1);
    EXPECT_TRUE(audioFileExists(kept->audioFileName()));
    EXPECT_EQ(myRecordings().getCount(), 1);
}

TEST_F(RecordingsListTest, ListStyleAndShowImagesSetTheTableAndTheCellLayout)
{
    setSetting("listStyle", "plain");
    setSetting("showImages", "YES");
    launch();
    auto withPhoto = recordOn(utc(2026, 12, 8, 9), "With a photo");
    auto without = recordOn(utc(2026, 12, 8, 10), "Without");
    // A red square as the photo.
    auto bitmap = gfx::BitmapContext::create(64, 64, gfx::PixelFormat::RGBAPremultiplied, gfx::ContextOrigin::TopLeft);
    bitmap->fillRect({ 0, 0, 64, 64 }, gfx::Color::rgba(0.85f, 0.1f, 0.1f));
    withPhoto->setImage(std::make_shared<const std::vector<std::uint8_t>>(bitmap->makeImage(1)->pngData()));
    withPhoto->save();
    showTab(kRecordingsTab);

    EXPECT_EQ(tableOf(myRecordings()).style(), ui::TableViewStyle::Plain);
    EXPECT_EQ(tableOf(myRecordings()).rowHeight(), 56);
    auto photoCell = cellAt(myRecordings(), { 0, 1 });
    ASSERT_TRUE(photoCell);
    EXPECT_EQ(photoCell->titleLabel()->frame(), gfx::Rect(30, 9, 140, 28));
    EXPECT_EQ(photoCell->categoryLabel()->frame(), gfx::Rect(30, 31, 140, 14));
    EXPECT_EQ(photoCell->lengthLabel()->frame(), gfx::Rect(165, 14, 70, 14));
    EXPECT_EQ(photoCell->dateLabel()->frame(), gfx::Rect(165, 28, 70, 14));
    EXPECT_EQ(photoCell->imageView()->frame(), gfx::Rect(240, 6, 44, 44));
    ASSERT_TRUE(photoCell->imageView()->image());
    EXPECT_EQ(photoCell->imageView()->image()->pixelWidth(), 64);
    // A reload refills the row without decoding its photo again.
    const auto decoded = photoCell->imageView()->image();
    tableOf(myRecordings()).reloadData();
    EXPECT_EQ(cellAt(myRecordings(), { 0, 1 })->imageView()->image(), decoded);
    // Without a photo the small recording symbol stands in.
    auto plainCell = cellAt(myRecordings(), { 0, 0 });
    EXPECT_EQ(plainCell->imageView()->image(), ui::imageNamed("recording_symbol_small.png"));
    shoot("row_with_photo");

    // Grouped, without photos: narrower boxes, wider titles, no image even for the photo.
    setSetting("listStyle", "grouped");
    setSetting("showImages", "NO");
    relaunch();
    showTab(kRecordingsTab);
    EXPECT_EQ(tableOf(myRecordings()).style(), ui::TableViewStyle::Grouped);
    EXPECT_EQ(tableOf(trashBin()).style(), ui::TableViewStyle::Grouped);
    auto grouped = cellAt(myRecordings(), { 0, 1 });
    ASSERT_TRUE(grouped);
    EXPECT_EQ(grouped->titleLabel()->text(), "With a photo");
    EXPECT_EQ(grouped->titleLabel()->frame(), gfx::Rect(30, 9, 165, 28));
    EXPECT_EQ(grouped->lengthLabel()->frame(), gfx::Rect(190, 14, 70, 14));
    EXPECT_EQ(grouped->imageView()->frame(), gfx::Rect(265, 6, 44, 44));
    EXPECT_FALSE(grouped->imageView()->image());
    shoot("recordings_grouped");

    // Anything but "grouped" is plain.
    setSetting("listStyle", "Grouped");
    relaunch();
    EXPECT_EQ(tableOf(myRecordings()).style(), ui::TableViewStyle::Plain);
    (void)without;
}

TEST_F(RecordingsListTest, CategoryChangesMoveRecordingsOnlyWhenMembershipChanges)
{
    launch();
    auto a = recordOn(utc(2026, 12, 8, 9), "Alpha");
    auto b = recordOn(utc(2026, 12, 8, 10), "Beta");
    auto general = RecordingsTableViewController::create(ui::TableViewStyle::Plain, 1, text("General"));
    auto fun = RecordingsTableViewController::create(ui::TableViewStyle::Plain, 1, text("Fun"));
    EXPECT_EQ(sectionsOf(*general), (Sections { { "Today", { "Beta", "Alpha" } } }));
    EXPECT_EQ(sectionsOf(*fun), (Sections { { "", {} } }));

    // A saved title, or a date changed in memory, is no change of membership: no rebuild,
    // so the old order stands.
    a->setCreatedDate(utc(2026, 12, 8, 11));
    b->setTitle("Beta two");
    b->save();
    EXPECT_EQ(sectionsOf(*general), (Sections { { "Today", { "Beta two", "Alpha" } } }));

    // A new category moves the recording between the lists (and both rebuild).
    b->setCategory(text("Fun"));
    b->save();
    EXPECT_EQ(sectionsOf(*general), (Sections { { "Today", { "Alpha" } } }));
    EXPECT_EQ(sectionsOf(*fun), (Sections { { "Today", { "Beta two" } } }));
    // My Recordings shows every category: no change of membership, no rebuild.
    EXPECT_EQ(sectionsOf(myRecordings()), (Sections { { "Today", { "Beta two", "Alpha" } } }));
    // Category names compare exactly.
    a->setCategory("general");
    a->save();
    EXPECT_EQ(general->getCount(), 0);

    // A category's list does not repeat the category: its title sits lower.
    general.reset();
    fun->view();
    auto cell = std::dynamic_pointer_cast<RecordingTableViewCell>(fun->tableViewCellForRowAtIndexPath(*fun->tableView(), { 0, 0 }));
    ASSERT_TRUE(cell);
    EXPECT_FALSE(cell->showCategory());
    EXPECT_EQ(cell->categoryLabel()->text(), "");
    EXPECT_EQ(cell->titleLabel()->frame().minY(), 14);
    EXPECT_EQ(cell->categoryLabel()->frame().minY(), 36);

    // Deleting for good leaves every list that showed the recording.
    b->deleteRecording();
    EXPECT_EQ(fun->getCount(), 0);
    EXPECT_EQ(fun->recordingBefore(b), nullptr);
}
