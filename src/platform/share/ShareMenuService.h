#pragma once

#include <QList>
#include <QString>
#include <QUrl>

#include <functional>

class QMimeData;

// What the desktop offers for handing exported files on, in place of a system sharing picker: show
// them in the file manager, put them on the clipboard as files, or attach them to a new e-mail.
namespace ShareMenuService {

enum class ShareChoice { ShowInFolder, Copy, Email };

// Finds a program on PATH; gives an empty text when there is none. Tests pass their own.
using ExecutableFinder = std::function<QString(const QString &program)>;

// The program that starts a new e-mail with attachments.
inline const QString emailProgram = QStringLiteral("xdg-email");

// The choices for these items, in menu order. Nothing for an empty list. E-mail is offered only when
// xdg-email is installed and every item is an existing regular file, as it attaches nothing else.
QList<ShareChoice> choices(const QList<QUrl> &items, const ExecutableFinder &findExecutable = {});

// Asks the file manager (org.freedesktop.FileManager1 ShowItems) to show the items selected in their
// folders. Without a session bus, or when no file manager answers, each folder holding an item is
// opened with the desktop's default handler instead. Returns at once; the answer is awaited in the
// event loop.
void showInFolder(const QList<QUrl> &items);

// The clipboard contents that file managers and chat programs paste as files: text/uri-list and the
// "copy" list of x-special/gnome-copied-files. The caller owns the result.
QMimeData *clipboardData(const QList<QUrl> &items);
void copyToClipboard(const QList<QUrl> &items);

// Starts xdg-email with every item attached. False when the program is missing or does not start.
bool sendByEmail(const QList<QUrl> &items, const ExecutableFinder &findExecutable = {});

} // namespace ShareMenuService
