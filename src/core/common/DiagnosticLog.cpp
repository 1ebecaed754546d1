#include "core/common/DiagnosticLog.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLocale>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool writeAll(int fd, const QByteArray &bytes)
{
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        left -= written;
    }
    return true;
}

} // namespace

DiagnosticLog::DiagnosticLog(QString path, qint64 rotateSize)
    : m_path(std::move(path)), m_rotateSize(rotateSize)
{
}

QString DiagnosticLog::tempFilePath(const QString &fileName)
{
    return QDir::tempPath() + QLatin1Char('/') + fileName;
}

QString DiagnosticLog::localTimestamp()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString DiagnosticLog::formatNumber(double value)
{
    QString text = QString::number(value, 'g', QLocale::FloatingPointShortest);
    // "1e+21", "inf" and "nan" stay as they are; only plain whole numbers get their ".0".
    bool plainInteger = true;
    for (const QChar c : std::as_const(text)) {
        if (!c.isDigit() && c != QLatin1Char('-'))
            plainInteger = false;
    }
    if (plainInteger)
        text += QStringLiteral(".0");
    return text;
}

bool DiagnosticLog::writeLine(const QString &line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    QMutexLocker lock(&m_mutex);
    // A second try covers a log that was moved aside under us; more means the name keeps changing.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int fd = openForAppend();
        if (fd < 0)
            return false;
        if (!rotateIfFull(fd, bytes.size())) {
            ::close(fd);
            continue;
        }
        const bool written = writeAll(fd, bytes);
        ::close(fd);
        return written;
    }
    return false;
}

int DiagnosticLog::openForAppend() const
{
    // O_NONBLOCK: a pipe planted under the name would otherwise hold the caller until someone reads it.
    const int fd = ::open(QFile::encodeName(m_path).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
    if (fd < 0)
        return -1;
    // Only a plain file of our own with no other name: a file someone else prepared, or a hard link to
    // one of our files, would receive lines meant for the log.
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || st.st_nlink != 1) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool DiagnosticLog::rotateIfFull(int fd, qint64 incoming)
{
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || opened.st_size == 0 || opened.st_size + incoming <= m_rotateSize)
        return true;
    // Processes sharing the log take turns; whoever comes second finds the name already moved on to a
    // fresh file and must not move that one over the rotated log.
    const QByteArray native = QFile::encodeName(m_path);
    ::flock(fd, LOCK_EX);
    struct stat named {};
    const bool stillNamed = ::lstat(native.constData(), &named) == 0 && named.st_ino == opened.st_ino &&
                            named.st_dev == opened.st_dev;
    bool writeHere = false;
    if (stillNamed)
        writeHere = ::rename(native.constData(), (native + ".1").constData()) != 0;
    ::flock(fd, LOCK_UN);
    // When the log cannot be moved aside it keeps growing rather than losing lines.
    return writeHere;
}
