// The screens that take text, with a physical keyboard (the system types, nothing is drawn)
// and on a touch screen (the drawn keys), in English, German and French: the studio's title
// entry rises only as far as the keys need, the editor's category picker stays in view and
// takes its clicks, the comments show over several lines. Screenshots at 2x of each, to look
// at: title_entry_*, editor_*, category_editor_*.

#include "StudioTest.h"

#include "CategoriesTableViewController.h"
#include "CategoryEditorViewController.h"
#include "ControlPanelView.h"
#include "DetailsEditorViewController.h"

#include "foundation/Bundle.h"
#include "foundation/Calendar.h"
#include "ui/NavigationController.h"
#include "ui/PickerView.h"
#include "ui/TabBarController.h"
#include "ui/TableView.h"
#include "ui/TextView.h"

#include <cstdlib>
#include <tuple>

using namespace e2e;

namespace {

using Param = std::tuple<const char*, ui::KeyboardKind>;

class DesktopKeyboardTest : public StudioTest, public ::testing::WithParamInterface<Param> {
protected:
    void SetUp() override
    {
        StudioTest::SetUp();
        setenv("LANGUAGE", language(), 1);
        foundation::setDefaultLocale(language());
        foundation::Bundle::resetMain();
    }
    void TearDown() override
    {
        StudioTest::TearDown();
        unsetenv("LANGUAGE");
        foundation::setDefaultLocale("en_US");
        foundation::Bundle::resetMain();
    }
    static const char* language() { return std::get<0>(GetParam()); }
    static bool physical() { return std::get<1>(GetParam()) == ui::KeyboardKind::System; }
    void launchWithKeyboard()
    {
        launch();
        ui::Application::sharedApplication().setKeyboardKind(std::get<1>(GetParam()));
    }
    void shoot(const std::string& name) { writeScreenshot(name + (physical() ? "_keyboard_" : "_touch_") + language()); }
    static gfx::Rect frameOf(const ui::View& view) { return view.convertRectToView(view.bounds(), nullptr); }
    /// The view a tap at point would reach.
    ui::View* hit(gfx::Point point) { return window().hitTest(window().convertPointFromSuperview(point)); }
    static std::string text(const char* key) { return foundation::localizedString(key); }
};

std::string paramName(const ::testing::TestParamInfo<Param>& info)
{
    return std::string(std::get<0>(info.param)) + (std::get<1>(info.param) == ui::KeyboardKind::System ? "_keyboard" : "_touch");
}

} // namespace

TEST_P(DesktopKeyboardTest, TheTitleEntryRisesOnlyAsFarAsTheKeysNeed)
{
    launchWithKeyboard();
    auto& studio = this->studio();
    auto recording = makeRecording(1.0);
    tap(*studio.smallSaveButton());
    ASSERT_TRUE(studio.titleTextField()->isFirstResponder());
    advance(0.4);
    window().sendText(language() == std::string("de") ? "Spaziergang am See" : language() == std::string("fr") ? "Promenade au lac" : "Lake walk");
    advance(0.1);
    shoot("title_entry");

    const gfx::Rect panel = frameOf(*studio.normalControlPanel());
    const gfx::Rect screen = frameOf(*studio.view());
    const gfx::Rect field = frameOf(*studio.titleTextField());
    EXPECT_EQ(window().keyboard().isDrawn(), !physical());
    if (physical()) {
        // Nothing covers the screen: the panel stands on the screen's bottom edge, above the
        // tab bar, and the carousel above it stays in view.
        EXPECT_EQ(window().keyboard().superview(), nullptr);
        EXPECT_EQ(panel.maxY(), screen.maxY());
        EXPECT_EQ(studio.normalControlPanel()->transform().ty, -60.0f);
    } else {
        EXPECT_EQ(panel.maxY(), frameOf(window().keyboard()).minY());
    }
    EXPECT_GE(field.minY(), screen.minY());
    EXPECT_LE(field.maxY(), screen.maxY());

    // Typing and Return save with the title, with either keyboard.
    window().sendKey(ui::Key::Return);
    advance(0.4);
    EXPECT_EQ(studio.normalControlPanel()->transform().ty, 0.0f);
    waitUntilReady();
    EXPECT_NE(recording->title().find(language() == std::string("en") ? "Lake" : language() == std::string("de") ? "See" : "lac"), std::string::npos);
}

TEST_P(DesktopKeyboardTest, TheEditorKeepsItsPickerInViewAndShowsTheCommentsOverLines)
{
    launchWithKeyboard();
    auto& studio = this->studio();
    auto recording = makeRecording(1.0);
    std::string comment;
    const std::string sentence = language() == std::string("de") ? "Am Ufer entlang gegangen und über die neue Brücke gesprochen. "
        : language() == std::string("fr")                        ? "Marché le long de la rivière en parlant du nouveau pont. "
                                                                 : "Walked along the river and talked about the new bridge. ";
    while (comment.size() < 500)
        comment += sentence;
    recording->setComments(comment);
    studio.editButtonPressed();
    advance(0.6);
    auto& editor = *DetailsEditorViewController::sharedDetailsEditor();
    ASSERT_EQ(editor.view()->window(), &window());
    auto* comments = dynamic_cast<ui::TextView*>(editor.commentsTextField().get());
    ASSERT_TRUE(comments) << "the comments take several lines";
    EXPECT_GT(comments->lines().size(), 8u);
    EXPECT_GE(comments->visibleLineCount(), 2);
    // The field reaches down to the category's caption and stays clear of it.
    EXPECT_LE(frameOf(*comments).maxY(), frameOf(*editor.categoriesHeaderLabel()).minY());

    tap(*editor.commentsTextField());
    ASSERT_TRUE(comments->isEditing());
    advance(0.4);
    shoot("editor");

    const gfx::Rect picker = frameOf(*editor.categoriesPicker());
    EXPECT_EQ(window().keyboard().isDrawn(), !physical());
    if (physical()) {
        // Nothing lies over the picker: a click on it reaches it and types nothing.
        ui::View* reached = hit(picker.center());
        ASSERT_TRUE(reached);
        EXPECT_TRUE(reached == editor.categoriesPicker().get() || reached->isDescendantOfView(editor.categoriesPicker().get()));
        const std::string before = comments->text();
        tapAt({ picker.midX(), picker.midY() + 40 });
        advance(1);
        EXPECT_EQ(comments->text(), before) << "a click on the picker types nothing";
        EXPECT_EQ(window().keyboard().superview(), nullptr);
    } else {
        // The drawn keys come over the bottom of the screen, as on the phone.
        EXPECT_EQ(frameOf(window().keyboard()).minY(), 264);
    }
    editor.doneButtonPressed();
    advance(0.6);
}

TEST_P(DesktopKeyboardTest, TheCategoryEditorTakesTheName)
{
    launchWithKeyboard();
    delegate().tabBarController()->setSelectedIndex(2);
    advance(0.5);
    auto& categories = *delegate().categories();
    categories.setEditing(true, false);
    advance(0.5);
    categories.tableViewDidSelectRowAtIndexPath(*categories.tableView(), { 0, 1 });
    advance(0.6);
    ASSERT_TRUE(categories.categoryEditor());
    auto& editor = *categories.categoryEditor();
    ASSERT_TRUE(editor.categoryTextField()->isFirstResponder());
    window().sendText(language() == std::string("de") ? "Gartenarbeit" : language() == std::string("fr") ? "Jardinage" : "Gardening");
    advance(0.1);
    shoot("category_editor");
    EXPECT_EQ(window().keyboard().isDrawn(), !physical());
    if (!physical()) {
        // The keys are the language's, with its captions.
        const auto rows = ui::Keyboard::letterRows(language());
        std::string first;
        for (const auto& key : window().keyboard().keys())
            if (key.kind == ui::Keyboard::Key::Kind::Character && key.frame.minY() < 20)
                first += key.text;
        EXPECT_EQ(first, rows[0]);
    }
    editor.saveButtonPressed();
    advance(0.6);
    const auto& defined = RecordingLibrary::sharedLibrary().definedCategories();
    EXPECT_NE(std::find(defined.begin(), defined.end(), language() == std::string("de") ? "Gartenarbeit" : language() == std::string("fr") ? "Jardinage" : "Gardening"),
        defined.end());
}

INSTANTIATE_TEST_SUITE_P(KeyboardsAndLanguages, DesktopKeyboardTest,
    ::testing::Combine(::testing::Values("en", "de", "fr"), ::testing::Values(ui::KeyboardKind::System, ui::KeyboardKind::OnScreen)), paramName);
