// Typing into a text field as Qt delivers it to the program's window (offscreen): chords for
// selection and the clipboard through the real QClipboard, a dead key's composed letter, the
// compositions of an input method and its queries; and who gives the keys on which machine.

#include "host/DesktopIntegration.h"
#include "host/HostWindow.h"
#include "host/InputDevices.h"
#include "host/RunLoopBridge.h"

#include "TestEnvironment.h"

#include "ui/Application.h"
#include "ui/TextField.h"
#include "ui/Window.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QInputMethodQueryEvent>
#include <QKeyEvent>

#include <gtest/gtest.h>

#include <memory>

namespace {

class TextInputTest : public testsupport::TestEnvironment {
protected:
    void SetUp() override
    {
        TestEnvironment::SetUp();
        ui::Application::resetSharedApplication();
        ui::Window::resetKeyWindow();
        ui::Application::sharedApplication().setKeyboardKind(ui::KeyboardKind::System);
        application = std::make_unique<QGuiApplication>(argc, argv);
        desktop = std::make_unique<host::DesktopIntegration>();
        window = std::make_shared<ui::Window>();
        window->makeKeyAndVisible();
        field = std::make_shared<ui::TextField>(gfx::Rect(20, 100, 280, 31));
        window->addSubview(field);
        bridge = std::make_unique<host::RunLoopBridge>();
        hostWindow = std::make_unique<host::HostWindow>(*window, *bridge, 2);
        hostWindow->resize(320, 480);
        hostWindow->show();
        ASSERT_TRUE(field->becomeFirstResponder());
    }
    void TearDown() override
    {
        hostWindow.reset();
        bridge.reset();
        field.reset();
        window.reset();
        desktop.reset();
        application.reset();
        ui::Window::resetKeyWindow();
        ui::Application::resetSharedApplication();
        TestEnvironment::TearDown();
    }
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = {})
    {
        QKeyEvent event(QEvent::KeyPress, key, modifiers, text);
        QCoreApplication::sendEvent(hostWindow.get(), &event);
    }
    void type(const QString& text)
    {
        for (QChar c : text)
            press(c.isLetter() ? Qt::Key_A + (c.toLower().unicode() - 'a') : Qt::Key_Space, Qt::NoModifier, QString(c));
    }
    QVariant query(Qt::InputMethodQuery which)
    {
        QInputMethodQueryEvent event(which);
        QCoreApplication::sendEvent(hostWindow.get(), &event);
        return event.value(which);
    }

    int argc { 1 };
    char name[8] = "parlivo";
    char* argv[2] = { name, nullptr };
    std::unique_ptr<QGuiApplication> application;
    std::unique_ptr<host::DesktopIntegration> desktop;
    std::shared_ptr<ui::Window> window;
    std::shared_ptr<ui::TextField> field;
    std::unique_ptr<host::RunLoopBridge> bridge;
    std::unique_ptr<host::HostWindow> hostWindow;
};

} // namespace

TEST_F(TextInputTest, ChordsSelectCutCopyAndPasteThroughTheSystemClipboard)
{
    type(QStringLiteral("river walk"));
    EXPECT_EQ(field->text(), "river walk");
    // Shift with the arrows selects; Control with them goes by words.
    press(Qt::Key_Left, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_EQ(field->selectedText(), "walk");
    press(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("walk"));
    press(Qt::Key_A, Qt::ControlModifier);
    press(Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(field->text(), "");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("river walk"));

    // What another program put on the clipboard is pasted.
    QGuiApplication::clipboard()->setText(QStringLiteral("Long memo \u00fcber Br\u00fccken"));
    press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(field->text(), "Long memo \u00fcber Br\u00fccken");
    // Undo and redo, with Shift as Qt reports it.
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(field->text(), "");
    press(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(field->text(), "Long memo \u00fcber Br\u00fccken");
}

TEST_F(TextInputTest, DeadKeysAndComposeSequencesArriveWhole)
{
    // Qt's xkb gives nothing for the dead key and the composed letter with the next one.
    press(Qt::Key_Dead_Acute);
    EXPECT_EQ(field->text(), "");
    press(Qt::Key_Eacute, Qt::NoModifier, QStringLiteral("\u00e9"));
    EXPECT_EQ(field->text(), "\u00e9");
    // With Shift the capital comes as typed text, not as a command.
    press(Qt::Key_Eacute, Qt::ShiftModifier, QStringLiteral("\u00c9"));
    EXPECT_EQ(field->text(), "\u00e9\u00c9");

    // The compose input method commits the sequence's result (Compose, ~, n).
    {
        QInputMethodEvent composing(QStringLiteral("~"), {});
        QCoreApplication::sendEvent(hostWindow.get(), &composing);
        EXPECT_EQ(field->markedText(), "~");
        QInputMethodEvent committed;
        committed.setCommitString(QStringLiteral("\u00f1"));
        QCoreApplication::sendEvent(hostWindow.get(), &committed);
    }
    EXPECT_EQ(field->text(), "\u00e9\u00c9\u00f1");
    EXPECT_EQ(field->markedText(), "");

    // An input method for Chinese: the pinyin shows with its cursor, then the characters.
    {
        QList<QInputMethodEvent::Attribute> cursor { { QInputMethodEvent::Cursor, 2, 1 } };
        QInputMethodEvent composing(QStringLiteral("ni"), cursor);
        QCoreApplication::sendEvent(hostWindow.get(), &composing);
        EXPECT_EQ(field->markedText(), "ni");
        QInputMethodEvent committed;
        committed.setCommitString(QStringLiteral("\u4f60\u597d"));
        QCoreApplication::sendEvent(hostWindow.get(), &committed);
    }
    EXPECT_EQ(field->text(), "\u00e9\u00c9\u00f1\u4f60\u597d");
    // A correction of what was committed, counted in UTF-16 units before the caret.
    {
        QInputMethodEvent corrected;
        corrected.setCommitString(QStringLiteral("\u60a8"), -2, 1);
        QCoreApplication::sendEvent(hostWindow.get(), &corrected);
    }
    EXPECT_EQ(field->text(), "\u00e9\u00c9\u00f1\u60a8\u597d");
}

TEST_F(TextInputTest, TheInputMethodSeesTheFieldBeingEdited)
{
    type(QStringLiteral("ab"));
    press(Qt::Key_Left);
    EXPECT_TRUE(query(Qt::ImEnabled).toBool());
    EXPECT_EQ(query(Qt::ImSurroundingText).toString(), QStringLiteral("ab"));
    EXPECT_EQ(query(Qt::ImCursorPosition).toInt(), 1);
    // Positions count UTF-16 units, as Qt does.
    field->setText("\U0001F600x");
    EXPECT_EQ(query(Qt::ImCursorPosition).toInt(), 3);
    const QRectF caret = query(Qt::ImCursorRectangle).toRectF();
    EXPECT_TRUE(QRectF(0, 0, 320, 480).contains(caret.center())) << caret.x() << ", " << caret.y();
    EXPECT_GT(caret.height(), 10);

    ASSERT_TRUE(field->resignFirstResponder());
    EXPECT_FALSE(query(Qt::ImEnabled).toBool()) << "no text field edits now";
    QInputMethodEvent stray;
    stray.setCommitString(QStringLiteral("x"));
    QCoreApplication::sendEvent(hostWindow.get(), &stray);
    EXPECT_EQ(field->text(), "\U0001F600x");
}

TEST(KeyboardKind, DrawnKeysOnlyOnATouchScreenWithoutAKeyboard)
{
    using host::keyboardKindFor;
    EXPECT_EQ(keyboardKindFor({ true, false, false }, nullptr), ui::KeyboardKind::System) << "a desktop";
    EXPECT_EQ(keyboardKindFor({ false, false, false }, nullptr), ui::KeyboardKind::System) << "no touch screen";
    EXPECT_EQ(keyboardKindFor({ true, true, false }, nullptr), ui::KeyboardKind::System) << "a laptop with a touch screen";
    EXPECT_EQ(keyboardKindFor({ false, true, false }, nullptr), ui::KeyboardKind::OnScreen) << "a handheld";
    EXPECT_EQ(keyboardKindFor({ false, true, true }, nullptr), ui::KeyboardKind::System) << "a handheld whose desktop shows keys";
    EXPECT_EQ(keyboardKindFor({ true, false, false }, "on-screen"), ui::KeyboardKind::OnScreen);
    EXPECT_EQ(keyboardKindFor({ false, true, false }, "system"), ui::KeyboardKind::System);
    EXPECT_EQ(keyboardKindFor({ false, true, false }, "qwerty"), ui::KeyboardKind::OnScreen) << "an unknown choice is ignored";
}
