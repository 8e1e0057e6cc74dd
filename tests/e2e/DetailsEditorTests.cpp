// The details editor opened from the studio and from the playback screen: what it shows, what
// each control changes, the photo menu and the image picker, the save options that go through
// it, and its end at termination.

#include "ForeignPicture.h"
#include "PictureFiles.h"
#include "PlaybackTest.h"

#include "DefaultCategorySelectionTableViewController.h"
#include "DetailsEditorViewController.h"

#include "foundation/NotificationCenter.h"
#include "ui/ActionSheet.h"
#include "ui/BarButtonView.h"
#include "ui/ImagePickerCamera.h"
#include "ui/ImagePickerController.h"
#include "ui/ImagePickerCropController.h"
#include "ui/ImagePickerGridController.h"
#include "ui/ImagePickerGridView.h"
#include "ui/ImagePickerLoader.h"
#include "ui/NavigationBar.h"
#include "ui/PickerView.h"
#include "ui/Toolbar.h"

#include <cstdlib>
#include <filesystem>
#include <thread>

using namespace e2e;

namespace {

// A camera that shows one picture and takes it as the still.
class FakeCamera : public ui::ImagePickerCamera {
public:
    bool available = true;
    std::shared_ptr<gfx::Image> picture;
    bool isAvailable() override { return available; }
    void start(FrameHandler handler) override { handler(picture); }
    void stop() override { }
    void takeStill(StillHandler handler) override { handler(picture); }
};

class DetailsEditorTest : public PlaybackTest {
protected:
    void SetUp() override
    {
        PlaybackTest::SetUp();
        m_pictures = rootDirectory() + "/Pictures";
        std::filesystem::create_directories(m_pictures);
        setenv("XDG_PICTURES_DIR", m_pictures.c_str(), 1);
        uitest::writeTwoColourPicture(m_pictures + "/Beach.png", 600, 400);
        // A camera's JPEG: orange on the left, purple on the right.
        testsupport::writeForeignPicture(m_pictures + "/Sunset.jpg", 1600, 1200, QColor(255, 140, 0), QColor(120, 0, 160));
    }
    void TearDown() override
    {
        ui::ImagePickerCamera::setShared(nullptr);
        PlaybackTest::TearDown();
        unsetenv("XDG_PICTURES_DIR");
    }

    DetailsEditorViewController& editor() { return *DetailsEditorViewController::sharedDetailsEditor(); }
    /// The editor is up: presented and on screen.
    bool editorIsShown() { return editor().isViewLoaded() && editor().view()->window() && editor().isAppearing(); }

    void tapItem(ui::Toolbar& bar, const std::shared_ptr<ui::BarButtonItem>& item)
    {
        window().layoutIfNeeded();
        auto* view = bar.viewForItem(item.get());
        ASSERT_TRUE(view);
        tap(*view);
    }
    /// Taps the Edit item of the navigation bar the screen stands in, and lets the editor slide up.
    void tapEdit(ui::ViewController& screen)
    {
        window().layoutIfNeeded();
        auto* edit = screen.navigationController()->navigationBar()->rightView();
        ASSERT_TRUE(edit);
        tap(*edit);
        advance(0.5);
    }
    void tapDone()
    {
        tapItem(*editor().toolBar(), editor().doneButton());
        advance(0.5);
    }
    void tapMarkButton() { tapItem(*editor().toolBar(), editor().markAsPlayedButton()); }
    /// Taps the field and types text at its end.
    void typeInto(ui::TextField& field, const std::string& text)
    {
        tap(field);
        window().sendKey(ui::Key::End);
        window().sendText(text);
    }

    /// Opens the photo menu and answers its buttons' titles, in order.
    std::vector<std::string> openPhotoMenu()
    {
        tap(*editor().recordingImageButton());
        advance(0.5);
        std::vector<std::string> titles;
        if (auto menu = editor().photoMenu())
            for (int i = 0; i < menu->numberOfButtons(); ++i)
                titles.push_back(menu->buttonTitleAtIndex(i));
        return titles;
    }
    void choose(const char* key)
    {
        auto menu = editor().photoMenu();
        ASSERT_TRUE(menu);
        for (int i = 0; i < menu->numberOfButtons(); ++i)
            if (menu->buttonTitleAtIndex(i) == text(key)) {
                tap(*menu->buttons()[size_t(i)]);
                advance(0.6);
                return;
            }
        FAIL() << key << " is not in the menu";
    }

    ui::NavigationController& pickerStack() { return *editor().imagePicker()->pickerNavigationController(); }
    /// In the library's grid, taps the named picture and waits for the square frame.
    void tapPicture(const std::string& name)
    {
        auto grid = std::dynamic_pointer_cast<ui::ImagePickerGridController>(pickerStack().topViewController());
        ASSERT_TRUE(grid);
        window().layoutIfNeeded();
        auto view = grid->gridView();
        ASSERT_TRUE(runLoop().runUntil([&] { return view->loader().outstandingCount() == 0; }, 10, 20));
        advance(0.1);
        const auto& list = view->pictures();
        const auto it = std::find(list.begin(), list.end(), m_pictures + "/" + name);
        ASSERT_NE(it, list.end()) << name;
        tapAt(view->convertPointToView(view->rectForPicture(size_t(it - list.begin())).center(), nullptr));
        ASSERT_TRUE(runLoop().runUntil([&] { return !editor().imagePicker()->isLoadingPicture(); }, 10, 20));
        advance(1);
        ASSERT_TRUE(std::dynamic_pointer_cast<ui::ImagePickerCropController>(pickerStack().topViewController()));
    }
    /// The square frame's Choose: the picture goes to the editor, which comes back.
    void choosePicture()
    {
        auto* choose = pickerStack().navigationBar()->rightView();
        ASSERT_TRUE(choose);
        tap(*choose);
        advance(1);
    }

    /// The category picker's row below the middle, tapped: the wheel turns there and rests.
    void turnCategoryPickerOneRowOn()
    {
        auto& picker = *editor().categoriesPicker();
        const gfx::Point middle = centreOf(picker);
        tapAt({ middle.x, middle.y + 40 });
        advance(2);
    }
    int selectedCategoryRow() { return editor().categoriesPicker()->selectedRowInComponent(0); }
    static int rowOf(const std::string& category)
    {
        const auto& categories = RecordingLibrary::sharedLibrary().definedCategories();
        return int(std::find(categories.begin(), categories.end(), category) - categories.begin());
    }

    /// A column of a recording's row, as text; "NULL" for none.
    std::string column(const std::shared_ptr<Recording>& recording, const std::string& name)
    {
        sqlite3* db = nullptr;
        sqlite3_open_v2((documentsPath() + "/parlivodb.sql").c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, ("SELECT " + name + " FROM recordings WHERE pk=" + std::to_string(recording->key())).c_str(), -1, &statement,
            nullptr);
        std::string result = "NULL";
        if (statement && sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_type(statement, 0) != SQLITE_NULL)
            result = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
        sqlite3_finalize(statement);
        sqlite3_close(db);
        return result;
    }
    void exec(const std::string& sql) const
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open((documentsPath() + "/parlivodb.sql").c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        sqlite3_close(db);
    }
    /// The stored photo decoded, or null.
    std::shared_ptr<gfx::Image> storedPhoto(const std::shared_ptr<Recording>& recording)
    {
        sqlite3* db = nullptr;
        sqlite3_open_v2((documentsPath() + "/parlivodb.sql").c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, ("SELECT image FROM recordings WHERE pk=" + std::to_string(recording->key())).c_str(), -1, &statement, nullptr);
        std::shared_ptr<gfx::Image> photo;
        if (statement && sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_bytes(statement, 0) > 0) {
            const auto* bytes = static_cast<const std::uint8_t*>(sqlite3_column_blob(statement, 0));
            photo = gfx::Image::fromPNGData({ bytes, bytes + sqlite3_column_bytes(statement, 0) });
        }
        sqlite3_finalize(statement);
        sqlite3_close(db);
        return photo;
    }
    static bool isOrangeAndPurple(const gfx::Image& photo)
    {
        const gfx::Pixel left = photo.pixelAt(photo.pixelWidth() / 8, photo.pixelHeight() / 2);
        const gfx::Pixel right = photo.pixelAt(photo.pixelWidth() * 7 / 8, photo.pixelHeight() / 2);
        return left.red > 230 && left.green > 110 && left.green < 170 && left.blue < 30 && right.red > 90 && right.red < 150
            && right.green < 30 && right.blue > 130;
    }

    std::string m_pictures;
};

} // namespace

TEST_F(DetailsEditorTest, OneEditorForEveryoneMadeOnceEvenByConcurrentFirstCalls)
{
    DetailsEditorViewController* seen[2] = {};
    std::thread first([&] { seen[0] = DetailsEditorViewController::sharedDetailsEditor().get(); });
    std::thread second([&] { seen[1] = DetailsEditorViewController::sharedDetailsEditor().get(); });
    first.join();
    second.join();
    EXPECT_NE(seen[0], nullptr);
    EXPECT_EQ(seen[0], seen[1]);
    EXPECT_EQ(DetailsEditorViewController::sharedDetailsEditor().get(), seen[0]);
}

TEST_F(DetailsEditorTest, EditInTheStudioEditsTheRecordingAndThenSaveSavesAtOnce)
{
    launch();
    auto recording = makeRecording(1.0);
    recording->setComments("First take");
    tapEdit(studio());
    ASSERT_TRUE(editorIsShown());
    EXPECT_TRUE(studio().editorShown());
    EXPECT_EQ(editor().currentRecording(), recording);
    EXPECT_EQ(editor().titleTextField()->text(), "");
    EXPECT_EQ(editor().titleTextField()->placeholder(), text("<title>"));
    EXPECT_EQ(editor().commentsTextField()->text(), "First take");
    EXPECT_EQ(editor().commentsTextField()->placeholder(), text("<comments>"));
    EXPECT_EQ(selectedCategoryRow(), rowOf(recording->category()));
    EXPECT_EQ(editor().markAsPlayedButton()->title(), text("Mark Played"));
    EXPECT_EQ(editor().recordingImageButton()->titleForState(ui::ControlStateNormal), text("Add Photo"));

    typeInto(*editor().titleTextField(), "Groceries");
    tapAt(returnKey());
    EXPECT_EQ(recording->title(), "Groceries") << "the return key hands the title over";
    typeInto(*editor().commentsTextField(), " and milk");
    tapDone();
    EXPECT_FALSE(editorIsShown());
    EXPECT_EQ(recording->comments(), "First take and milk");
    // Not filed yet, so Done wrote nothing; the studio files it with the edits.
    EXPECT_EQ(column(recording, "location"), "0");
    EXPECT_EQ(studio().state(), StudioStateRecorded);

    // After Edit a new default category leaves the recording alone.
    const std::string category = recording->category();
    setSetting("defaultCategory", "Lectures");
    foundation::NotificationCenter::defaultCenter().postNotificationName(PRLVNotificationDefualtCategoryChanged, nullptr);
    EXPECT_EQ(recording->category(), category);

    // Save neither asks for a title nor opens the editor.
    tap(*studio().smallSaveButton());
    EXPECT_FALSE(studio().enteringTitle());
    EXPECT_FALSE(editorIsShown());
    EXPECT_EQ(column(recording, "title || '|' || comments || '|' || location"), "Groceries|First take and milk|1");
    waitUntilReady();
    EXPECT_FALSE(studio().editorShown());
}

TEST_F(DetailsEditorTest, EverySaveOptionEndsAsItsOwnWay)
{
    // "autoSave": filed at once.
    setSetting("saveOption", "autoSave");
    launch();
    auto recording = makeRecording(0.5);
    tap(*studio().smallSaveButton());
    EXPECT_EQ(studio().state(), StudioStateFinished);
    EXPECT_EQ(row(recording->key())->location, 1);
    EXPECT_FALSE(editorIsShown());

    // "titleEditor": the title entry, with the carousel and Edit shut meanwhile.
    setSetting("saveOption", "titleEditor");
    relaunch();
    recording = makeRecording(0.5);
    tap(*studio().smallSaveButton());
    advance(0.4);
    EXPECT_TRUE(studio().enteringTitle());
    EXPECT_FALSE(studio().navigationItem()->rightBarButtonItem()->isEnabled());
    EXPECT_FALSE(studio().carousel()->isUserInteractionEnabled());
    EXPECT_FALSE(editorIsShown());
    window().sendText("Entered");
    tapAt(returnKey());
    EXPECT_EQ(row(recording->key())->title, "Entered");
    waitUntilReady();
    EXPECT_TRUE(studio().navigationItem()->rightBarButtonItem()->isEnabled());

    // Any other value: the recording is filed and handed to the editor, whose Done saves it;
    // the studio then lets it go as after any save.
    setSetting("saveOption", "detailsEditor");
    relaunch();
    recording = makeRecording(0.5);
    tap(*studio().smallSaveButton());
    advance(0.5);
    EXPECT_TRUE(studio().finalEditActive());
    ASSERT_TRUE(editorIsShown());
    EXPECT_EQ(editor().currentRecording(), recording);
    EXPECT_EQ(studio().state(), StudioStateRecorded);
    typeInto(*editor().titleTextField(), "Through the editor");
    tapMarkButton();
    tapDone();
    EXPECT_FALSE(studio().finalEditActive());
    EXPECT_NE(studio().currentRecording(), recording);
    const auto saved = row(recording->key());
    EXPECT_EQ(saved->title, "Through the editor");
    EXPECT_EQ(saved->location, 1);
    EXPECT_EQ(saved->playCount, 1);
    waitUntilReady();
    EXPECT_EQ(studio().carousel()->getViewWithTransform(studio().carousel()->transformA()), studio().recordButton());
}

TEST_F(DetailsEditorTest, ASaveThroughTheEditorThatWasNotWrittenKeepsTheRecordingAndSaysSo)
{
    setSetting("saveOption", "detailsEditor");
    launch();
    auto recording = makeRecording(0.5);
    exec("CREATE TRIGGER refuse BEFORE UPDATE ON recordings BEGIN SELECT RAISE(ABORT, 'disk full'); END");
    tap(*studio().smallSaveButton());
    advance(0.5);
    typeInto(*editor().titleTextField(), "Kept");
    tapDone();
    ui::AlertView* alert = shownAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), text("Save Failed Prompt Title"));
    EXPECT_EQ(studio().state(), StudioStateRecorded);
    EXPECT_EQ(studio().currentRecording(), recording);
    EXPECT_EQ(recording->title(), "Kept");
    EXPECT_EQ(recording->location(), 0);
    EXPECT_EQ(row(recording->key())->location, 0);

    // Once the database takes it again, the next save goes through the editor and is written.
    exec("DROP TRIGGER refuse");
    tap(*alert->buttons()[0]);
    advance(0.5);
    tap(*studio().smallSaveButton());
    advance(0.5);
    ASSERT_TRUE(editorIsShown());
    EXPECT_EQ(editor().titleTextField()->text(), "Kept");
    tapDone();
    EXPECT_EQ(row(recording->key())->title, "Kept");
    EXPECT_EQ(row(recording->key())->location, 1);
    waitUntilReady();
}

TEST_F(DetailsEditorTest, ThePlaybackScreenHandsItsRecordingOverAndShowsTheEdits)
{
    launchWithLists();
    auto memo = makeFiledRecording("Memo", 2.0);
    memo->setCategory("Lectures");
    memo->setPlayCount(5);
    memo->save();
    auto stray = makeFiledRecording("Stray", 1.0, 1, 60);
    stray->setCategory("Archive");
    stray->save();
    open(memo);
    tapEdit(screen());
    ASSERT_TRUE(editorIsShown());
    EXPECT_EQ(editor().titleTextField()->text(), "Memo");
    EXPECT_EQ(editor().commentsTextField()->text(), "Comments on Memo");
    EXPECT_EQ(selectedCategoryRow(), rowOf("Lectures"));

    // The played state: 5 → 0 → 1, each shown as the action the button will take next.
    EXPECT_EQ(editor().markAsPlayedButton()->title(), text("Mark Unplayed"));
    tapMarkButton();
    EXPECT_EQ(memo->playCount(), 0);
    EXPECT_EQ(editor().markAsPlayedButton()->title(), text("Mark Played"));
    tapMarkButton();
    EXPECT_EQ(memo->playCount(), 1);
    EXPECT_EQ(editor().markAsPlayedButton()->title(), text("Mark Unplayed"));
    EXPECT_EQ(row(memo->key())->playCount, 5) << "written by Done only";

    // The picker sets the category as soon as it rests.
    turnCategoryPickerOneRowOn();
    const std::string next = RecordingLibrary::sharedLibrary().definedCategories()[size_t(rowOf("Lectures") + 1)];
    EXPECT_EQ(memo->category(), next);

    typeInto(*editor().titleTextField(), " renamed");
    tapDone();
    ASSERT_FALSE(editorIsShown());
    EXPECT_EQ(row(memo->key())->title, "Memo renamed");
    EXPECT_EQ(row(memo->key())->category, next);
    EXPECT_EQ(row(memo->key())->playCount, 1);
    EXPECT_EQ(screen().titleLabel()->text(), "Memo renamed");
    EXPECT_EQ(screen().categoryLabel()->text(), text("Category") + ": " + next);

    // A category that is not among the defined ones leaves the picker where it was, and the
    // recording's category as it is until a row is picked.
    tap(*screen().skipForwardButton());
    advance(1);
    ASSERT_EQ(screen().currentRecording(), stray);
    tapEdit(screen());
    EXPECT_EQ(selectedCategoryRow(), rowOf(next));
    tapDone();
    EXPECT_EQ(row(stray->key())->category, "Archive");
}

TEST_F(DetailsEditorTest, ThePhotoMenuOffersWhatTheDeviceAndTheRecordingHave)
{
    launchWithLists();
    auto memo = makeFiledRecording("Memo", 1.0);
    open(memo);
    tapEdit(screen());
    auto camera = std::make_shared<FakeCamera>();
    const auto photo = Recording::imageDataForPhoto(*ui::imageNamed("recording_symbol_normal.png"));
    const std::string missing = rootDirectory() + "/No pictures";
    for (int library = 0; library < 2; ++library) {
        for (int hasCamera = 0; hasCamera < 2; ++hasCamera) {
            for (int hasPhoto = 0; hasPhoto < 2; ++hasPhoto) {
                SCOPED_TRACE(std::to_string(library) + std::to_string(hasCamera) + std::to_string(hasPhoto));
                setenv("XDG_PICTURES_DIR", library ? m_pictures.c_str() : missing.c_str(), 1);
                ui::ImagePickerCamera::setShared(hasCamera ? camera : nullptr);
                memo->setImage(hasPhoto ? photo : nullptr);
                std::vector<std::string> expected;
                if (library)
                    expected.push_back(text("Choose Existing Photo"));
                if (hasCamera)
                    expected.push_back(text("Take Photo"));
                if (hasPhoto)
                    expected.push_back(text("Delete Photo"));
                expected.push_back(text("Cancel"));
                EXPECT_EQ(openPhotoMenu(), expected);
                auto menu = editor().photoMenu();
                ASSERT_TRUE(menu);
                EXPECT_EQ(menu->destructiveButtonIndex(), hasPhoto ? library + hasCamera : -1);
                EXPECT_EQ(menu->cancelButtonIndex(), int(expected.size()) - 1);
                EXPECT_EQ(menu->actionSheetStyle(), ui::ActionSheetStyle::BlackTranslucent);
                choose("Cancel");
                EXPECT_FALSE(editor().photoMenu());
                EXPECT_EQ(memo->image(), hasPhoto ? photo : nullptr);
                EXPECT_TRUE(editorIsShown());
            }
        }
    }

    // The camera's still goes through the same square frame.
    camera->picture = ui::imageNamed("recording_symbol_normal.png");
    ui::ImagePickerCamera::setShared(camera);
    memo->setImage(nullptr);
    openPhotoMenu();
    choose("Take Photo");
    EXPECT_EQ(editor().imagePicker()->sourceType(), ui::ImagePickerControllerSourceType::Camera);
    EXPECT_TRUE(editor().imagePicker()->allowsImageEditing());
    EXPECT_FALSE(editorIsShown());
}

TEST_F(DetailsEditorTest, APickedPhotoShowsEverywhereAndDeletingItIsWrittenByDone)
{
    setSetting("showImages", "Yes");
    launchWithLists();
    auto memo = makeFiledRecording("Memo", 1.0);
    open(memo);
    tapEdit(screen());
    writeScreenshot("editor_without_photo");

    // Texts typed without the return key are taken before the menu opens and survive the picker.
    typeInto(*editor().titleTextField(), " at sunset");
    typeInto(*editor().commentsTextField(), "; the light");
    advance(0.5);
    writeScreenshot("editor_keyboard");
    EXPECT_EQ(openPhotoMenu(), (std::vector<std::string> { text("Choose Existing Photo"), text("Cancel") }));
    EXPECT_EQ(memo->title(), "Memo at sunset");
    EXPECT_EQ(memo->comments(), "Comments on Memo; the light");
    writeScreenshot("editor_photo_menu");
    choose("Choose Existing Photo");
    ASSERT_TRUE(editor().imagePicker());
    EXPECT_EQ(editor().imagePicker()->sourceType(), ui::ImagePickerControllerSourceType::PhotoLibrary);
    tapPicture("Sunset.jpg");
    writeScreenshot("editor_crop");
    choosePicture();
    ASSERT_TRUE(editorIsShown());
    EXPECT_EQ(editor().titleTextField()->text(), "Memo at sunset");
    EXPECT_EQ(editor().commentsTextField()->text(), "Comments on Memo; the light");

    // The square at the screen's scale, stored as PNG at most 640 pixels on a side.
    auto held = memo->image();
    ASSERT_TRUE(held);
    auto shown = editor().recordingImageButton()->backgroundImageForState(ui::ControlStateNormal);
    ASSERT_TRUE(shown);
    EXPECT_NE(shown, ui::imageNamed("recording_symbol_small.png"));
    EXPECT_EQ(shown->pixelWidth(), 640);
    EXPECT_EQ(shown->pixelHeight(), 640);
    EXPECT_TRUE(isOrangeAndPurple(*shown));
    EXPECT_EQ(editor().recordingImageButton()->titleForState(ui::ControlStateNormal), text("Edit"));
    EXPECT_EQ(editor().recordingImageButton()->font().pointSize(), 12);
    EXPECT_EQ(storedPhoto(memo), nullptr) << "written by Done";
    writeScreenshot("editor_with_photo");

    tapDone();
    auto stored = storedPhoto(memo);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->pixelWidth(), 640);
    EXPECT_TRUE(isOrangeAndPurple(*stored));
    EXPECT_EQ(column(memo, "substr(hex(image), 1, 16)"), "89504E470D0A1A0A");
    EXPECT_EQ(column(memo, "title"), "Memo at sunset");

    // The playback screen and its zoom show it.
    auto onScreen = screen().recordingImageButton()->backgroundImageForState(ui::ControlStateNormal);
    ASSERT_TRUE(onScreen);
    EXPECT_TRUE(isOrangeAndPurple(*onScreen));
    tap(*screen().recordingImageButton());
    advance(0.7);
    writeScreenshot("playback_photo_zoomed");
    tap(*screen().recordingImageButton());
    advance(0.7);

    // And the list's row.
    navigationOf(*m_recordings).popViewControllerAnimated(true);
    advance(0.6);
    auto cell = cellOf(*m_recordings, memo);
    ASSERT_TRUE(cell);
    ASSERT_TRUE(cell->imageView()->image());
    EXPECT_TRUE(isOrangeAndPurple(*cell->imageView()->image()));

    // Delete Photo shows the placeholder at once; the row keeps the photo until Done.
    open(memo);
    tapEdit(screen());
    EXPECT_EQ(openPhotoMenu(), (std::vector<std::string> { text("Choose Existing Photo"), text("Delete Photo"), text("Cancel") }));
    choose("Delete Photo");
    EXPECT_EQ(editor().recordingImageButton()->backgroundImageForState(ui::ControlStateNormal), ui::imageNamed("recording_symbol_small.png"));
    EXPECT_EQ(editor().recordingImageButton()->titleForState(ui::ControlStateNormal), text("Add Photo"));
    EXPECT_TRUE(storedPhoto(memo));
    tapDone();
    EXPECT_EQ(column(memo, "image"), "NULL");
    EXPECT_EQ(screen().recordingImageButton()->backgroundImageForState(ui::ControlStateNormal), ui::imageNamed("recording_symbol_normal.png"));
}

TEST_F(DetailsEditorTest, EndingTheProgramWithTheEditorUpKeepsWhatItShows)
{
    // From the playback screen: a filed memo, its title and comments typed, no Done.
    launchWithLists();
    auto memo = makeFiledRecording("Memo", 1.0);
    open(memo);
    tapEdit(screen());
    ASSERT_TRUE(editorIsShown());
    typeInto(*editor().titleTextField(), " from the walk");
    typeInto(*editor().commentsTextField(), " and more");
    tapMarkButton();
    terminate();
    auto stored = row(memo->key());
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->title, "Memo from the walk");
    EXPECT_EQ(stored->comments, "Comments on Memo and more");
    EXPECT_EQ(stored->location, 1);

    // Through the studio's save: the recording is filed with the typed title.
    setSetting("saveOption", "detailsEditor");
    relaunch();
    auto recording = makeRecording(0.5);
    tap(*studio().smallSaveButton());
    advance(0.5);
    ASSERT_TRUE(editorIsShown());
    typeInto(*editor().titleTextField(), "Typed before the end");
    terminate();
    stored = row(recording->key());
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->title, "Typed before the end");
    EXPECT_EQ(stored->location, 1);
}

TEST_F(DetailsEditorTest, TerminationFinalizesTheEditorOnce)
{
    launch();
    makeRecording(0.5);
    tapEdit(studio());
    tapDone();
    auto editor = DetailsEditorViewController::sharedDetailsEditor();
    ASSERT_TRUE(editor->currentRecording());
    ASSERT_TRUE(editor->titleTextField());
    terminate();
    // Its fields are released and the slot is empty: the next call makes another editor.
    EXPECT_FALSE(editor->currentRecording());
    EXPECT_FALSE(editor->titleTextField());
    EXPECT_FALSE(editor->toolBar());
    EXPECT_EQ(RecordingLibrary::sharedLibrary().database(), nullptr);
    auto next = DetailsEditorViewController::sharedDetailsEditor();
    EXPECT_NE(next, editor);
    // A second termination does not run the shutdown again.
    terminate();
    EXPECT_EQ(DetailsEditorViewController::sharedDetailsEditor(), next);
}
