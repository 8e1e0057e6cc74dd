// The studio, the lists, the playback screen, the details editor, the categories screens, About and the
// list of shortcuts in German and French: screenshots to look at, and a check that no label's text is
// cut off (every line fits the label's width, and all the lines its height).

#include "MemoImport.h"
#include "ScreenShape.h"
#include "StudioTest.h"

#include "AboutViewController.h"
#include "CategoriesTableViewController.h"
#include "CategoryEditorViewController.h"
#include "DefaultCategorySelectionTableViewController.h"
#include "DetailsEditorViewController.h"
#include "MyRecordingsViewController.h"
#include "PlaybackViewController.h"
#include "PreferencesViewController.h"
#include "Recording.h"
#include "RecordingTableViewCell.h"
#include "RecordingLibrary.h"
#include "TrashBinViewController.h"

#include "foundation/Bundle.h"
#include "foundation/Calendar.h"
#include "foundation/FileManager.h"
#include "foundation/StringFormat.h"
#include "ui/ActionSheet.h"
#include "ui/BarButtonView.h"
#include "ui/Button.h"
#include "ui/NavigationBar.h"
#include "ui/TextField.h"
#include "ui/Label.h"
#include "ui/Toolbar.h"
#include "ui/NavigationController.h"
#include "ui/TabBar.h"
#include "ui/TabBarController.h"
#include "ui/TableView.h"

#include <cstdlib>
#include <map>

using namespace e2e;

namespace {

class LanguageScreenshotTest : public StudioTest, public ::testing::WithParamInterface<const char*> {
protected:
    static constexpr float kSpare = 0.94f;
    static constexpr float kButtonEdge = 5;
    void SetUp() override
    {
        StudioTest::SetUp();
        setenv("LANGUAGE", GetParam(), 1);
        foundation::setDefaultLocale(GetParam());
        foundation::Bundle::resetMain();
    }
    void TearDown() override
    {
        StudioTest::TearDown();
        unsetenv("LANGUAGE");
        foundation::setDefaultLocale("en_US");
        foundation::Bundle::resetMain();
    }

    // The screen as designed, then at the other shapes a window or a handheld gives it (the
    // screen resized under it, as a window is), then back: each shape keeps what the designed one
    // shows, and the designed screen comes back to the same pixels.
    void shoot(const std::string& name)
    {
        auto& screen = ui::Screen::mainScreen();
        ASSERT_EQ(screen.bounds().size, ui::Screen::kDesignSize);
        auto designed = writeScreenshot(name + "_" + GetParam());
        const ScreenShape base = ScreenShape::read(window());
        for (gfx::Size size : { gfx::Size { 600, 480 }, gfx::Size { 320, 800 }, gfx::Size { 500, 1000 } }) {
            screen.setSize(size);
            const std::string shape = foundation::format("%gx%g", double(size.width), double(size.height));
            writeScreenshot(name + "_" + GetParam() + "_" + shape);
            EXPECT_EQ(ScreenShape::read(window()).problemsAgainst(base), std::vector<std::string> {}) << name << " at " << shape;
            EXPECT_EQ(cutOffLabels(), std::vector<std::string> {}) << name << " at " << shape;
        }
        screen.setSize(ui::Screen::kDesignSize);
        auto again = writeScreenshot(name + "_" + GetParam());
        EXPECT_TRUE(samePixels(*designed, *again)) << name << " after resizing back";
    }
    static bool samePixels(const gfx::Image& a, const gfx::Image& b)
    {
        if (a.pixelWidth() != b.pixelWidth() || a.pixelHeight() != b.pixelHeight())
            return false;
        for (int y = 0; y < a.pixelHeight(); ++y)
            for (int x = 0; x < a.pixelWidth(); ++x)
                if (!(a.pixelAt(x, y) == b.pixelAt(x, y)))
                    return false;
        return true;
    }

    // Every shown label whose text does not fit, with what it says. A button's title (clear of
    // its edges) or a placeholder must fit with a little to spare: at other scales its width
    // rounds otherwise.
    // A list row cuts a long memo title by design: the row's title is left out.
    static void collectCutOff(const ui::View& view, std::vector<std::string>& cutOff)
    {
        if (view.isHidden() || view.alpha() <= 0)
            return;
        const auto* row = dynamic_cast<const RecordingTableViewCell*>(view.superview() ? view.superview()->superview() : nullptr);
        if (auto* label = dynamic_cast<const ui::Label*>(&view); label && !label->text().empty() && !(row && row->titleLabel().get() == label)) {
            const float width = label->bounds().width();
            const gfx::Font font = label->fittedFont();
            const bool wraps = label->lineBreakMode() == gfx::LineBreakMode::WordWrap || label->lineBreakMode() == gfx::LineBreakMode::CharacterWrap;
            bool fits = true;
            if (wraps) {
                const auto lines = font.layoutText(label->text(), width, label->lineBreakMode(), 0);
                fits = label->numberOfLines() == 0 || int(lines.size()) <= label->numberOfLines();
                // A single line may stand taller than its label (the timer's digits do by design).
                fits = fits && (lines.size() < 2 || float(lines.size()) * font.lineHeight() <= label->bounds().height() + 2);
                for (const auto& line : lines)
                    fits = fits && line.width <= width + 0.5f;
            } else
                fits = font.widthOfText(label->text()) <= width + 0.5f;
            if (!fits)
                cutOff.push_back(label->text());
        }
        // Buttons, placeholders and the navigation bar draw their texts themselves.
        if (auto* button = dynamic_cast<const ui::Button*>(&view); button && !button->currentTitle().empty()) {
            const float content = button->contentRectForBounds(button->bounds()).width();
            const float room = content - 2 * std::min(kButtonEdge, content * 0.04f);
            if (button->fittedFont().widthOfText(button->currentTitle()) > room)
                cutOff.push_back(button->currentTitle());
        }
        if (auto* field = dynamic_cast<const ui::TextField*>(&view); field && field->text().empty() && !field->placeholder().empty()) {
            if (field->font().widthOfText(field->placeholder()) > field->textRectForBounds(field->bounds()).width() * kSpare)
                cutOff.push_back(field->placeholder());
        }
        // A memo's own title may be cut in the bar: the screen shows it whole below.
        if (auto* navigation = dynamic_cast<const ui::NavigationBar*>(&view); navigation && navigation->topItem()) {
            const std::string& title = navigation->topItem()->title();
            if (navigation->titleFont().widthOfText(title) > navigation->titleRect().width() + 0.5f
                && title.rfind(foundation::localizedString("Untitled Recording"), 0) != 0)
                cutOff.push_back(title);
        }
        if (auto* bar = dynamic_cast<const ui::TabBar*>(&view)) {
            for (size_t i = 0; i < bar->items().size(); ++i) {
                const std::string& title = bar->items()[i]->title();
                if (bar->titleFontForItemAtIndex(i).widthOfText(title) > bar->titleWidthForItemAtIndex(i) + 0.5f)
                    cutOff.push_back(title);
            }
        }
        for (const auto& child : view.subviews())
            collectCutOff(*child, cutOff);
    }
    std::vector<std::string> cutOffLabels()
    {
        std::vector<std::string> cutOff;
        collectCutOff(window(), cutOff);
        return cutOff;
    }
};

} // namespace

TEST_P(LanguageScreenshotTest, StudioAndShortcutsShowTheirWholeTexts)
{
    launch();
    const std::map<std::string, std::string> ready { { "en", "Tap the microphone to record" },
        { "de", "Zum Aufnehmen auf das Mikrofon tippen" }, { "fr", "Touchez le micro pour enregistrer" } };
    EXPECT_EQ(studio().promptLabel()->text(), ready.at(GetParam()));
    shoot("studio_ready");
    EXPECT_EQ(cutOffLabels(), std::vector<std::string> {});

    makeRecording(1.0);
    shoot("studio_recorded");
    EXPECT_EQ(cutOffLabels(), std::vector<std::string> {});

    window().sendKeyCommand({ "", ui::Key::Help, false, false });
    ASSERT_NE(window().keyboardHelp(), nullptr);
    shoot("shortcuts");
    EXPECT_EQ(cutOffLabels(), std::vector<std::string> {});
    // Every row and the closing hint lie on the screen.
    for (const auto& label : window().keyboardHelp()->subviews()) {
        const gfx::Rect frame = label->convertRectToView(label->bounds(), nullptr);
        EXPECT_LE(frame.maxY(), ui::Screen::mainScreen().bounds().height()) << dynamic_cast<ui::Label&>(*label).text();
    }
}

TEST_P(LanguageScreenshotTest, ListsAndThePlaybackScreenShowTheirWholeTexts)
{
    launch();
    auto file = [](const std::string& title, std::int32_t location) {
        auto recording = RecordingLibrary::sharedLibrary().newRecording();
        recording->setTitle(title);
        recording->setLength(75);
        recording->setSize("1.6 MB");
        recording->setCategory("Business");
        recording->setComments("Budget, office, minutes.");
        recording->setLocation(location);
        // The longest month name of the three languages, in the date line.
        recording->setCreatedDate(1790769600);
        recording->save();
    };
    // Titles as the program gives them: the untitled name with a number.
    file(text("Untitled Recording") + " 12", 1);
    file(text("Untitled Recording") + " 13", 2);

    auto& tabs = *delegate().tabBarController();
    tabs.setSelectedIndex(1);
    advance(0.5);
    shoot("recordings");
    EXPECT_EQ(cutOffLabels(), std::vector<std::string> {});

    auto& list = *delegate().myRecordings();
    list.tableViewDidSelectRowAtIndexPath(*list.tableView(), { 0, 0 });
    advance(0.6);
    ASSERT_EQ(list.navigationController()->topViewController(), list.player());
    shoot("playback");
    EXPECT_EQ(cutOffLabels(), std::vector<std::string> {});
    tap(*list.player()->speakerButton());
    EXPECT_EQ(cutOffLabels(), std::vector<std::string> {}) << "the other route";
    tap(*list.player()->speakerButton());

    list.player()->editButtonPressed();
    advance(0.6);
    auto& editor = *DetailsEditorViewController::sharedDetailsEditor();
    editor.markAsPlayedButtonPressed();
    shoot("editor");
    EXPECT_EQ(cutOffLabels(), std::vector<std::string> {});
    // The photo button's title stands over a 64-point picture, in both of its forms.
    for (const auto& [key, size] : { std::pair { "Add Photo", 10.0f }, std::pair { "Edit", 12.0f } })
        EXPECT_LE(gfx::Font::boldSystemFont(size).widthOfText(foundation::localizedString(key)), 62) << key;
    // A bar button wider than its bar allows (150 points) would cut its title short.
    for (const char* key : { "Mark Played", "Mark Unplayed" }) {
        editor.markAsPlayedButton()->setTitle(foundation::localizedString(key));
        EXPECT_LT(editor.toolBar()->viewForItem(editor.markAsPlayedButton().get())->sizeThatFits({}).width, 150) << key;
    }
    // The photo menu, with a pictures folder and a photo to delete: its longest buttons.
    const std::string pictures = rootDirectory() + "/Pictures";
    foundation::createDirectory(pictures);
    setenv("XDG_PICTURES_DIR", pictures.c_str(), 1);
    editor.currentRecording()->setImage(Recording::imageDataForPhoto(*gfx::Image::withBitmap(gfx::Bitmap::create(64, 64, gfx::PixelFormat::RGBAPremultiplied))));
    editor.recordingImageButtonPressed();
    advance(0.6);
    ASSERT_TRUE(editor.photoMenu());
    unsetenv("XDG_PICTURES_DIR");
    EXPECT_EQ(editor.photoMenu()->numberOfButtons(), 3);
    shoot("editor_photo_menu");
    EXPECT_EQ(cutOffLabels(), std::vector<std::string> {});
    editor.photoMenu()->dismissWithClickedButtonIndex(editor.photoMenu()->cancelButtonIndex(), false);
    advance(0.6);
    // The fields' placeholders, shown when they are empty.
    editor.titleTextField()->setText("");
    editor.commentsTextField()->setText("");
    shoot("editor_placeholders");
    EXPECT_EQ(cutOffLabels(), std::vector<std::string> {}) << "the placeholders";
    editor.doneButtonPressed();
    advance(0.6);

    tabs.setSelectedIndex(3);
    advance(0.5);
    auto& trash = *delegate().trashBin();
    trash.tableViewDidSelectRowAtIndexPath(*trash.tableView(), { 0, 0 });
    advance(0.6);
    shoot("playback_trash");
    EXPECT_EQ(cutOffLabels(), std::vector<std::string> {});
}

TEST_P(LanguageScreenshotTest, CategoriesScreensShowTheirWholeTexts)
{
    launch();
    auto recording = RecordingLibrary::sharedLibrary().newRecording();
    recording->setCategory(text("Shopping List"));
    recording->setLocation(1);
    recording->save();

    delegate().tabBarController()->setSelectedIndex(2);
    advance(0.5);
    auto& categories = *delegate().categories();
    shoot("categories");
    EXPECT_EQ(cutOffLabels(), std::vector<std::string> {});

    categories.setEditing(true, false);
    advance(0.5);
    shoot("categories_editing");
    EXPECT_EQ(cutOffLabels(), std::vector<std::string> {});

    categories.tableViewDidSelectRowAtIndexPath(*categories.tableView(), { 0, 0 });
    advance(0.6);
    shoot("default_category_chooser");
    EXPECT_EQ(cutOffLabels(), std::vector<std::string> {});
    categories.navigationController()->popViewControllerAnimated(false);

    categories.tableViewDidSelectRowAtIndexPath(*categories.tableView(), { 0, 1 });
    advance(0.6);
    ASSERT_TRUE(categories.categoryEditor());
    categories.categoryEditor()->saveButtonPressed();
    advance(0.6);
    ASSERT_TRUE(shownAlert());
    shoot("category_editor_alert");
    EXPECT_EQ(cutOffLabels(), std::vector<std::string> {});
}

TEST_P(LanguageScreenshotTest, ARefusedImportSaysWhichFilesAndWhy)
{
    launch();
    delegate().tabBarController()->setSelectedIndex(1);
    advance(0.5);
    const std::string notes = rootDirectory() + "/Besprechungsnotizen vom Dienstag.wav";
    ASSERT_TRUE(foundation::writeFileAtomically(notes, "not a sound"));
    ASSERT_TRUE(foundation::writeFileAtomically(rootDirectory() + "/empty.mp3", ""));
    EXPECT_TRUE(MemoImport::importDroppedFiles({ notes, rootDirectory() + "/empty.mp3" }).empty());
    advance(0.6);
    ASSERT_TRUE(shownAlert());
    shoot("import_refused");
    EXPECT_EQ(cutOffLabels(), std::vector<std::string> {});
}

TEST_P(LanguageScreenshotTest, AboutShowsItsWholeTexts)
{
    launch();
    auto& tabs = *delegate().tabBarController();
    tabs.setSelectedIndex(int(tabs.viewControllers().size()) - 1);
    advance(0.5);
    ASSERT_EQ(delegate().about()->view()->window(), &window());
    shoot("about");
    EXPECT_EQ(cutOffLabels(), std::vector<std::string> {});
}

TEST_P(LanguageScreenshotTest, PreferencesShowTheirWholeTexts)
{
    launch();
    ASSERT_TRUE(ui::Application::sharedApplication().showPreferences());
    advance(0.6);
    auto preferences = delegate().preferences();
    ASSERT_TRUE(preferences);
    auto table = preferences->tableView();
    // Every part of the screen, scrolled through a screenful at a time.
    int page = 0;
    for (float y = 0; y < table->contentSize().height; y += table->bounds().height() - 44) {
        table->setContentOffset({ 0, std::min(y, std::max(0.0f, table->contentSize().height - table->bounds().height())) });
        window().layoutIfNeeded();
        shoot("preferences_" + std::to_string(++page));
        EXPECT_EQ(cutOffLabels(), std::vector<std::string> {}) << "page " << page;
    }
    preferences->showChoicesForKey("sampleRate");
    advance(0.6);
    shoot("preferences_sample_rate");
    EXPECT_EQ(cutOffLabels(), std::vector<std::string> {});
    preferences->navigationController()->popViewControllerAnimated(false);
    preferences->showChoicesForKey("saveOption");
    advance(0.6);
    shoot("preferences_save_option");
    EXPECT_EQ(cutOffLabels(), std::vector<std::string> {});
}

INSTANTIATE_TEST_SUITE_P(Languages, LanguageScreenshotTest, ::testing::Values("en", "de", "fr"));
