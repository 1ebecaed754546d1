#include "platform/share/ShareMenuService.h"

#include <QClipboard>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QStandardPaths>

#include <algorithm>

namespace {

QString findProgram(const ShareMenuService::ExecutableFinder &findExecutable, const QString &program)
{
    return findExecutable ? findExecutable(program) : QStandardPaths::findExecutable(program);
}

bool allRegularFiles(const QList<QUrl> &items)
{
    return std::all_of(items.cbegin(), items.cend(), [](const QUrl &url) {
        if (!url.isLocalFile())
            return false;
        const QFileInfo info(url.toLocalFile());
        return info.isFile();
    });
}

void openContainingFolders(const QList<QUrl> &items)
{
    QStringList opened;
    for (const QUrl &url : items) {
        if (!url.isLocalFile())
            continue;
        const QString folder = QFileInfo(url.toLocalFile()).absolutePath();
        if (opened.contains(folder))
            continue;
        opened.append(folder);
        QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
    }
}

} // namespace

namespace ShareMenuService {

QList<ShareChoice> choices(const QList<QUrl> &items, const ExecutableFinder &findExecutable)
{
    if (items.isEmpty())
        return {};
    QList<ShareChoice> list{ShareChoice::ShowInFolder, ShareChoice::Copy};
    if (allRegularFiles(items) && !findProgram(findExecutable, emailProgram).isEmpty())
        list.append(ShareChoice::Email);
    return list;
}

void showInFolder(const QList<QUrl> &items)
{
    if (items.isEmpty())
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        openContainingFolders(items);
        return;
    }
    QStringList uris;
    for (const QUrl &url : items)
        uris.append(QString::fromLatin1(url.toEncoded()));
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << uris << QString();
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [items](QDBusPendingCallWatcher *w) {
        if (w->isError())
            openContainingFolders(items);
        w->deleteLater();
    });
}

QMimeData *clipboardData(const QList<QUrl> &items)
{
    auto *data = new QMimeData;
    data->setUrls(items);
    QByteArray copied = QByteArrayLiteral("copy");
    for (const QUrl &url : items)
        copied += '\n' + url.toEncoded();
    data->setData(QStringLiteral("x-special/gnome-copied-files"), copied);
    return data;
}

void copyToClipboard(const QList<QUrl> &items)
{
    if (items.isEmpty())
        return;
    QGuiApplication::clipboard()->setMimeData(clipboardData(items));
}

bool sendByEmail(const QList<QUrl> &items, const ExecutableFinder &findExecutable)
{
    const QString program = findProgram(findExecutable, emailProgram);
    if (items.isEmpty() || program.isEmpty())
        return false;
    QStringList arguments;
    for (const QUrl &url : items) {
        if (!url.isLocalFile())
            continue;
        // Absolute paths, so that a file name starting with "-" is never read as an option.
        arguments << QStringLiteral("--attach") << QFileInfo(url.toLocalFile()).absoluteFilePath();
    }
    if (arguments.isEmpty())
        return false;
    return QProcess::startDetached(program, arguments);
}

} // namespace ShareMenuService
