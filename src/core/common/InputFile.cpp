#include "core/common/InputFile.h"

#include "core/common/UiText.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace InputFile {

namespace {

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

QString notRegularReason()
{
    return UiText::tr("Not an ordinary file but a folder, a pipe or a device");
}

Status open(const QString &path, QFile &file, QString *reason)
{
    const auto refuse = [reason](Status status, const QString &why) {
        if (reason)
            *reason = why;
        return status;
    };
    if (path.isEmpty())
        return refuse(Status::missing, systemReason(ENOENT));
    // O_NONBLOCK: opening a pipe for reading would otherwise wait for a writer, before fstat could
    // tell what it is. O_NOCTTY: a terminal never becomes ours.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        const int error = errno;
        return refuse(error == ENOENT ? Status::missing : Status::unreadable, systemReason(error));
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        return refuse(Status::unreadable, systemReason(error));
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return refuse(Status::notRegular, notRegularReason());
    }
    // A regular file reads the same either way; the flag is put back for readers that would mind.
    if (const int flags = ::fcntl(fd, F_GETFL); flags != -1)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return refuse(Status::unreadable, file.errorString());
    }
    return Status::ok;
}

Contents read(const QString &path, qint64 maxBytes, qsizetype padding)
{
    Contents contents;
    QFile file;
    contents.status = open(path, file, &contents.reason);
    if (contents.status != Status::ok)
        return contents;
    contents.size = file.size();
    if (contents.size > maxBytes) {
        contents.status = Status::tooLarge;
        return contents;
    }
    QByteArray bytes;
    bytes.reserve(contents.size + padding);
    bytes.resize(contents.size);
    qint64 done = 0;
    while (done < contents.size) {
        const qint64 n = file.read(bytes.data() + done, contents.size - done);
        if (n <= 0)
            break;
        done += n;
    }
    // A file that shrank or grew while it was read is not what its size said: read it again later.
    char more = 0;
    if (done != contents.size || file.read(&more, 1) != 0) {
        contents.status = Status::unreadable;
        contents.reason = file.error() != QFileDevice::NoError
                              ? file.errorString()
                              : UiText::tr("The file changed while it was read");
        return contents;
    }
    contents.bytes = std::move(bytes);
    return contents;
}

} // namespace InputFile
