// Text fields and text views edited as on a desktop: selection by keys, by drag and by
// double and triple presses, the clipboard and the primary selection, undo and redo,
// compositions of input methods, and a long comment over several lines.

#include "UiTestSupport.h"

#include "ui/Pasteboard.h"
#include "ui/TextField.h"
#include "ui/TextView.h"

#include <gtest/gtest.h>

using namespace ui;
using gfx::Point;
using gfx::Rect;

namespace {

class TextEditingTest : public uitest::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        Application::sharedApplication().setKeyboardKind(KeyboardKind::System);
        window = std::make_shared<Window>();
        window->makeKeyAndVisible();
        field = std::make_shared<TextField>(Rect(20, 100, 280, 31));
        field->setFont(gfx::Font::systemFont(16));
        field->setBorderStyle(TextBorderStyle::RoundedRect);
        window->addSubview(field);
        Pasteboard::generalPasteboard().setString("");
        Pasteboard::selectionPasteboard().setString("");
    }

    void touch(TouchPhase phase, Point p) { window->sendTouch(1, phase, p); }
    void press(Point p)
    {
        touch(TouchPhase::Began, p);
        touch(TouchPhase::Ended, p);
    }
    /// A key with modifiers, as the host sends it.
    bool key(Key k, bool shift = false, bool control = false)
    {
        KeyCommand command;
        command.key = k;
        command.shift = shift;
        command.control = control;
        return window->sendKeyCommand(command);
    }
    bool chord(const std::string& c, bool shift = false)
    {
        KeyCommand command;
        command.character = c;
        command.control = true;
        command.shift = shift;
        return window->sendKeyCommand(command);
    }
    /// Where the caret stands before the byte offset of the field's text, in the window.
    Point at(size_t offset, const TextField& f)
    {
        const Rect text = f.textRectForBounds(f.bounds());
        const float x = text.minX() + f.font().widthOfText(f.text().substr(0, offset));
        return f.convertPointToView({ x, text.midY() }, nullptr);
    }
    std::string selection(const TextField& f) { return f.selectedText(); }

    std::shared_ptr<Window> window;
    std::shared_ptr<TextField> field;
};

} // namespace

TEST_F(TextEditingTest, KeysMoveAndSelectByCharactersAndWords)
{
    field->setText("Untitled Recording 1");
    ASSERT_TRUE(field->becomeFirstResponder());
    EXPECT_EQ(field->caretPosition(), 20u);

    key(Key::Home);
    key(Key::Right, false, true);
    EXPECT_EQ(field->caretPosition(), 8u) << "Control+Right: the end of the word";
    key(Key::Right, true, true);
    EXPECT_EQ(selection(*field), " Recording");
    key(Key::Left, true);
    EXPECT_EQ(selection(*field), " Recordin");
    // Left without Shift goes to the selection's start, and types there.
    key(Key::Left);
    EXPECT_EQ(field->caretPosition(), 8u);
    EXPECT_EQ(selection(*field), "");
    key(Key::End, true);
    EXPECT_EQ(selection(*field), " Recording 1");
    window->sendText(" memo");
    EXPECT_EQ(field->text(), "Untitled memo");
    key(Key::Left, true, true);
    EXPECT_EQ(selection(*field), "memo");
    // The selection grows from where it was anchored.
    key(Key::Home, true);
    EXPECT_EQ(selection(*field), "Untitled memo");

    // Control+A, then typing replaces everything: the correction the user wanted.
    EXPECT_TRUE(chord("a"));
    EXPECT_EQ(selection(*field), "Untitled memo");
    for (const char* typed : { "R", "i", "v", "e", "r" })
        window->sendText(typed);
    EXPECT_EQ(field->text(), "River");
    // Control+Backspace takes the word; Backspace one character, never half of one.
    window->sendText(" w\u00e9");
    key(Key::Backspace);
    EXPECT_EQ(field->text(), "River w");
    key(Key::Backspace, false, true);
    EXPECT_EQ(field->text(), "River ");
}

TEST_F(TextEditingTest, DragDoubleAndTriplePressSelectAndOfferThePrimarySelection)
{
    field->setText("Design meeting notes");
    // A press begins editing and puts the caret where it was pressed.
    press(at(7, *field));
    ASSERT_TRUE(field->isEditing());
    EXPECT_EQ(field->caretPosition(), 7u);
    advance(1);

    // A drag selects from where it began.
    touch(TouchPhase::Began, at(0, *field));
    touch(TouchPhase::Moved, at(4, *field));
    touch(TouchPhase::Moved, at(6, *field));
    EXPECT_EQ(selection(*field), "Design");
    touch(TouchPhase::Ended, at(6, *field));
    EXPECT_EQ(Pasteboard::selectionPasteboard().string(), "Design");
    advance(1);

    // Backwards too.
    touch(TouchPhase::Began, at(14, *field));
    touch(TouchPhase::Moved, at(7, *field));
    touch(TouchPhase::Ended, at(7, *field));
    EXPECT_EQ(selection(*field), "meeting");
    advance(1);

    // A double press takes the word; a third, everything.
    const Point word = at(16, *field);
    press(word);
    press(word);
    EXPECT_EQ(selection(*field), "notes");
    press(word);
    EXPECT_EQ(selection(*field), "Design meeting notes");
    EXPECT_EQ(Pasteboard::selectionPasteboard().string(), "Design meeting notes");

    // The middle button pastes the primary selection where it is pressed.
    Pasteboard::selectionPasteboard().setString("long ");
    advance(1);
    window->sendMiddleClick(at(7, *field));
    EXPECT_EQ(field->text(), "Design long meeting notes");
}

TEST_F(TextEditingTest, CutCopyPasteUndoAndRedo)
{
    ASSERT_TRUE(field->becomeFirstResponder());
    for (const char* typed : { "a", "b", "c", " ", "d", "e", "f" })
        window->sendText(typed);
    EXPECT_EQ(field->text(), "abc def");
    // Nothing selected: cut and copy do nothing and leave the clipboard alone.
    Pasteboard::generalPasteboard().setString("kept");
    EXPECT_TRUE(chord("c"));
    EXPECT_EQ(Pasteboard::generalPasteboard().string(), "kept");

    key(Key::Left, true, true);
    EXPECT_TRUE(chord("x"));
    EXPECT_EQ(field->text(), "abc ");
    EXPECT_EQ(Pasteboard::generalPasteboard().string(), "def");
    key(Key::Home);
    EXPECT_TRUE(chord("v"));
    EXPECT_EQ(field->text(), "defabc ");
    key(Key::Right, true);
    EXPECT_TRUE(chord("c"));
    EXPECT_EQ(Pasteboard::generalPasteboard().string(), "a");
    // Lines pasted into a field of one line become blanks, so words stay apart.
    Pasteboard::generalPasteboard().setString("two\nlines\r\nhere\t!");
    key(Key::End);
    chord("v");
    EXPECT_EQ(field->text(), "defabc two lines here !");

    // Undo goes back step by step: the paste, the paste, the cut, then the typing at once.
    EXPECT_TRUE(chord("z"));
    EXPECT_EQ(field->text(), "defabc ");
    chord("z");
    EXPECT_EQ(field->text(), "abc ");
    chord("z");
    EXPECT_EQ(field->text(), "abc def");
    EXPECT_EQ(selection(*field), "def") << "the selection comes back with the text";
    chord("z");
    EXPECT_EQ(field->text(), "");
    EXPECT_FALSE(field->editableText().canUndo());
    // Redo: Control+Shift+Z and Control+Y.
    chord("z", true);
    EXPECT_EQ(field->text(), "abc def");
    chord("y");
    EXPECT_EQ(field->text(), "abc ");
    // A new edit forgets what could be redone.
    window->sendText("!");
    EXPECT_FALSE(field->editableText().canRedo());
}

TEST_F(TextEditingTest, CompositionsShowAtTheCaretUntilTheyCommit)
{
    ASSERT_TRUE(field->becomeFirstResponder());
    window->sendText("caf");
    // A dead key: the accent shows while the input method waits for the letter.
    window->sendInputMethodEvent({ "\u00b4", 2, "", std::nullopt });
    EXPECT_EQ(field->text(), "caf");
    EXPECT_EQ(field->markedText(), "\u00b4");
    window->sendInputMethodEvent({ "", 0, "\u00e9", std::nullopt });
    EXPECT_EQ(field->text(), "caf\u00e9");
    EXPECT_EQ(field->markedText(), "");

    // Japanese: kana shown while composing, the ideographs committed.
    window->sendText(" ");
    window->sendInputMethodEvent({ "\u304b\u3093", 6, "", std::nullopt });
    window->sendInputMethodEvent({ "\u304b\u3093\u3058", 9, "", std::nullopt });
    EXPECT_EQ(field->text(), "caf\u00e9 ");
    window->sendInputMethodEvent({ "", 0, "\u6f22\u5b57", std::nullopt });
    EXPECT_EQ(field->text(), "caf\u00e9 \u6f22\u5b57");
    EXPECT_EQ(field->caretPosition(), field->text().size());
    // A correction replaces what it names.
    window->sendInputMethodEvent({ "", 0, "\u611f\u3058", std::pair<size_t, size_t> { 6, 12 } });
    EXPECT_EQ(field->text(), "caf\u00e9 \u611f\u3058");
    // A composition left when editing ends is kept as typed.
    window->sendInputMethodEvent({ "\u3042", 3, "", std::nullopt });
    ASSERT_TRUE(field->resignFirstResponder());
    EXPECT_EQ(field->text(), "caf\u00e9 \u611f\u3058\u3042");
    // Nothing is edited while nothing edits.
    window->sendInputMethodEvent({ "", 0, "x", std::nullopt });
    EXPECT_EQ(field->text(), "caf\u00e9 \u611f\u3058\u3042");
}

TEST_F(TextEditingTest, WhileTypingOnlyEditingKeysAndQuitAct)
{
    int terminated = 0;
    Application::sharedApplication().setTerminationHandler([&] { ++terminated; });
    ASSERT_TRUE(field->becomeFirstResponder());
    window->sendText("x");
    // A chord the field does not know does nothing (no shortcut of a screen behind it).
    EXPECT_FALSE(chord("1"));
    EXPECT_EQ(field->text(), "x");
    EXPECT_TRUE(chord("q"));
    EXPECT_EQ(terminated, 1);
}

TEST_F(TextEditingTest, TheSelectionIsDrawnBehindItsText)
{
    field->setText("Lake memo");
    ASSERT_TRUE(field->becomeFirstResponder());
    field->setSelectedRange(0, 4);
    auto screen = renderScreen(*window);
    auto blue = [&](Point p) {
        auto pixel = screen->bitmap().pixelAt(int(p.x), int(p.y));
        return pixel.blue > 200 && pixel.red < 200 && pixel.red > 120;
    };
    const Point inside = at(2, *field), outside = at(7, *field);
    int selected = 0, beside = 0;
    for (int dy = -6; dy <= 6; ++dy) {
        selected += blue({ inside.x + 1, inside.y + float(dy) });
        beside += blue({ outside.x + 1, outside.y + float(dy) });
    }
    EXPECT_GT(selected, 4);
    EXPECT_EQ(beside, 0);
}

TEST_F(TextEditingTest, ALongCommentShowsOverSeveralLines)
{
    auto view = std::make_shared<TextView>(Rect(10, 172, 300, 80));
    view->setFont(gfx::Font::systemFont(16));
    view->setBorderStyle(TextBorderStyle::RoundedRect);
    window->addSubview(view);
    std::string comment;
    while (comment.size() < 500)
        comment += "Walked along the river and talked about the new bridge. ";
    comment.resize(500);
    view->setText(comment);

    const auto& lines = view->lines();
    ASSERT_GT(lines.size(), 8u);
    EXPECT_GE(view->visibleLineCount(), 3);
    // Lines break between words and together hold the whole comment.
    const float width = view->textRectForBounds(view->bounds()).width();
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_LE(view->font().widthOfText(comment.substr(lines[i].start, lines[i].end - lines[i].start)), width + view->font().widthOfText(" "));
        if (i + 1 < lines.size()) {
            EXPECT_EQ(lines[i].end, lines[i + 1].start);
            EXPECT_EQ(comment[lines[i].end - 1], ' ') << "line " << i;
        }
    }
    EXPECT_EQ(lines.front().start, 0u);
    EXPECT_EQ(lines.back().end, comment.size());

    // Editing: the caret starts at the end, in view; Up goes a line up, Home to its start.
    ASSERT_TRUE(view->becomeFirstResponder());
    EXPECT_GT(view->contentOffsetY(), 0);
    const size_t last = lines.size() - 1;
    key(Key::Up);
    EXPECT_GE(view->caretPosition(), lines[last - 1].start);
    EXPECT_LT(view->caretPosition(), lines[last - 1].end);
    key(Key::Home);
    EXPECT_EQ(view->caretPosition(), lines[last - 1].start);
    key(Key::Home, false, true);
    EXPECT_EQ(view->caretPosition(), 0u);
    EXPECT_EQ(view->contentOffsetY(), 0) << "the caret's line is scrolled into view";
    key(Key::Down, true);
    EXPECT_EQ(view->selectedRange().first, 0u);
    EXPECT_GE(view->selectedRange().second, lines[1].start);
    // The wheel scrolls the lines.
    window->sendWheel(view->convertPointToView(view->bounds().center(), nullptr), { 0, -40 });
    EXPECT_GT(view->contentOffsetY(), 0);

    // Shift+Return breaks the line; a view of several lines keeps pasted line breaks.
    key(Key::End, false, true);
    key(Key::Return, true);
    window->sendText("PS");
    EXPECT_EQ(view->text().substr(500), "\nPS");
    EXPECT_EQ(view->lines().back().start, 501u);
}
