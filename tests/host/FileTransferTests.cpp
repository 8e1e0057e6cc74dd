// Files in and out of the window as Qt hands them over (offscreen): what a file manager reads
// from a drag or the clipboard, and what a drop onto the window gives the program.

#include "host/FileTransfer.h"

#include "HostWindowFixture.h"

#include "ui/Application.h"
#include "ui/Window.h"

#include <QDropEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>

namespace {

class FileTransferTest : public testsupport::HostWindowTest {
protected:
    // Sends a drag's entry and its drop; whether each was accepted.
    std::pair<bool, bool> dragAndDrop(const QMimeData& data)
    {
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(hostWindow.get(), &enter);
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(hostWindow.get(), &drop);
        return { enter.isAccepted(), drop.isAccepted() };
    }
};

} // namespace

TEST_F(FileTransferTest, FilesGoOutAsFileManagersAndChatProgramsReadThem)
{
    const std::vector<std::string> paths { "/home/ana/Memos/Harbour walk.opus", "/home/ana/Memos/Küche #2.flac" };
    auto data = host::fileMimeData(paths);
    ASSERT_EQ(data->urls().size(), 2);
    EXPECT_EQ(data->urls()[0].toString(QUrl::FullyEncoded), "file:///home/ana/Memos/Harbour%20walk.opus");
    EXPECT_EQ(data->urls()[1].toString(QUrl::FullyEncoded), "file:///home/ana/Memos/K%C3%BCche%20%232.flac");
    EXPECT_EQ(data->data("x-special/gnome-copied-files"),
        "copy\nfile:///home/ana/Memos/Harbour%20walk.opus\nfile:///home/ana/Memos/K%C3%BCche%20%232.flac");
    EXPECT_EQ(data->text().toStdString(), paths[0] + "\n" + paths[1]);
    // And back: what the program reads from its own data, as from a file manager's.
    EXPECT_EQ(host::localFiles(*data), paths);

    QMimeData web;
    web.setUrls({ QUrl("https://example.org/a.mp3"), QUrl::fromLocalFile("/tmp/b.wav") });
    EXPECT_EQ(host::localFiles(web), std::vector<std::string> { "/tmp/b.wav" });
    QMimeData text;
    text.setText("/tmp/c.wav");
    EXPECT_TRUE(host::localFiles(text).empty()) << "text is not a file";
}

TEST_F(FileTransferTest, ADropOfFilesReachesTheHandlerAndOtherDropsAreRefused)
{
    auto files = host::fileMimeData({ "/tmp/one.wav", "/tmp/two.flac" });
    // Without a handler the window takes no drop.
    EXPECT_EQ(dragAndDrop(*files), std::make_pair(false, false));

    std::vector<std::vector<std::string>> dropped;
    hostWindow->setFileDropHandler([&](const std::vector<std::string>& paths) { dropped.push_back(paths); });
    EXPECT_EQ(dragAndDrop(*files), std::make_pair(true, true));
    ASSERT_EQ(dropped.size(), 1u);
    EXPECT_EQ(dropped[0], (std::vector<std::string> { "/tmp/one.wav", "/tmp/two.flac" }));

    QMimeData web;
    web.setUrls({ QUrl("https://example.org/a.mp3") });
    EXPECT_EQ(dragAndDrop(web), std::make_pair(false, false));
    EXPECT_EQ(dropped.size(), 1u);
}
