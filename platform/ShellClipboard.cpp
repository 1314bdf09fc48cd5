#include "platform/ShellClipboard.h"

#include "platform/NativePath.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace platform {

namespace {

const QString gnomeFormat = u"x-special/gnome-copied-files"_s;
const QString kdeCutFormat = u"application/x-kde-cutselection"_s;

QClipboard* clipboard()
{
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance())
               ? QGuiApplication::clipboard()
               : nullptr;
}

} // namespace

QMimeData* CreateFilesMimeData(const QStringList& paths, bool cut)
{
    auto* data = new QMimeData;
    QList<QUrl> urls;
    QByteArray gnome = cut ? "cut" : "copy";
    for (const QString& path : paths) {
        const QUrl url = FileUrl(path);
        urls.append(url);
        gnome += '\n' + url.toEncoded();
    }
    data->setUrls(urls);
    data->setData(gnomeFormat, gnome);
    data->setData(kdeCutFormat, cut ? "1" : "0");
    data->setText(paths.join(u'\n'));
    return data;
}

ClipboardFiles FilesFromMimeData(const QMimeData* data)
{
    ClipboardFiles files;
    if (!data)
        return files;
    QList<QUrl> urls;
    if (data->hasFormat(gnomeFormat)) {
        const QList<QByteArray> lines = data->data(gnomeFormat).split('\n');
        files.cut = !lines.isEmpty() && lines.first().trimmed() == "cut";
        for (qsizetype i = 1; i < lines.size(); ++i) {
            if (!lines[i].trimmed().isEmpty())
                urls.append(QUrl::fromEncoded(lines[i].trimmed()));
        }
    } else {
        urls = data->urls();
        files.cut = data->data(kdeCutFormat).startsWith('1');
    }
    for (const QUrl& url : urls) {
        if (url.isLocalFile())
            files.paths.append(LocalFileOf(url));
    }
    return files;
}

bool SetClipboardFiles(const QStringList& paths, bool cut)
{
    QClipboard* board = clipboard();
    if (!board || paths.isEmpty())
        return false;
    board->setMimeData(CreateFilesMimeData(paths, cut));
    return true;
}

ClipboardFiles ReadClipboardFiles()
{
    const QClipboard* board = clipboard();
    return board ? FilesFromMimeData(board->mimeData()) : ClipboardFiles();
}

} // namespace platform
