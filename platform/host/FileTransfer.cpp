#include "host/FileTransfer.h"

#include <QList>
#include <QMimeData>
#include <QUrl>

namespace host {

std::vector<std::string> localFiles(const QMimeData& data)
{
    std::vector<std::string> paths;
    if (!data.hasUrls())
        return paths;
    for (const QUrl& url : data.urls())
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            paths.push_back(url.toLocalFile().toStdString());
    return paths;
}

std::unique_ptr<QMimeData> fileMimeData(const std::vector<std::string>& paths)
{
    auto data = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    QByteArray copied = "copy";
    QString text;
    for (const auto& path : paths) {
        const QUrl url = QUrl::fromLocalFile(QString::fromStdString(path));
        urls.push_back(url);
        copied += "\n" + url.toEncoded();
        text += (text.isEmpty() ? "" : "\n") + QString::fromStdString(path);
    }
    data->setUrls(urls);
    // What GNOME's and other file managers read to paste files.
    data->setData("x-special/gnome-copied-files", copied);
    data->setText(text);
    return data;
}

} // namespace host
