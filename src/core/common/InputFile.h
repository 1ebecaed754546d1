#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// Files that the user picks or another program hands over: a playlist file, a picture, a metadata
// file, a PDF. Only a regular file is read (a link counts as what it points to): a pipe or a device
// would hold the reading thread until someone writes to it, and quitting waits for that thread. The
// check is made on the opened descriptor, so nothing can be put in the file's place between the check
// and the read. Safe on any thread.
namespace InputFile {

enum class Status { ok, missing, notRegular, tooLarge, unreadable };

struct Contents {
    Status status = Status::unreadable;
    QByteArray bytes; // the whole file when ok
    qint64 size = 0;  // the file's size when ok or tooLarge
    QString reason;   // why it was not read, when not ok: the system's words, or notRegularReason()
};

// Opens path for reading into file when it is a regular file; reason (when given) tells why not.
Status open(const QString &path, QFile &file, QString *reason = nullptr);

// The whole file when it is a regular file of at most maxBytes, with room for padding more bytes
// reserved after its contents (for a parser that reads a little past the end).
Contents read(const QString &path, qint64 maxBytes, qsizetype padding = 0);

// "Not an ordinary file but a folder, a pipe or a device"
QString notRegularReason();

} // namespace InputFile
