#include "storage/StateFile.h"

#include "common/NotificationBus.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSaveFile>

#include <simdjson.h>

Q_LOGGING_CATEGORY(lcStateFile, "lyrafold.statefile")

namespace StateFile {

ReadResult read(const QString &path)
{
    QFile file(path);
    if (!file.exists())
        return {ReadStatus::Missing, {}};
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcStateFile) << "cannot open" << path << file.errorString();
        return {ReadStatus::Failed, {}};
    }
    const qint64 size = file.size();
    QByteArray bytes;
    // Reserve the parser's padding so it can work on this buffer without copying it.
    bytes.reserve(size + qint64(simdjson::SIMDJSON_PADDING));
    bytes.resize(size);
    qint64 done = 0;
    while (done < size) {
        const qint64 n = file.read(bytes.data() + done, size - done);
        if (n <= 0)
            break;
        done += n;
    }
    if (done != size || !file.atEnd()) {
        qCWarning(lcStateFile) << "cannot read" << path << file.errorString();
        return {ReadStatus::Failed, {}};
    }
    return {ReadStatus::Ok, std::move(bytes)};
}

bool write(const QString &path, const QByteArray &bytes, QString *error)
{
    const auto fail = [&](const QString &reason) {
        qCWarning(lcStateFile) << "cannot write" << path << reason;
        if (error)
            *error = reason;
        return false;
    };
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        return fail(QStringLiteral("cannot create folder %1").arg(info.absolutePath()));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return fail(reason);
    }
    if (!file.commit())
        return fail(file.errorString());
    return true;
}

std::optional<QString> setAside(const QString &path)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString base = path + QStringLiteral(".unreadable-") + stamp;
    QString target = base;
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = base + QLatin1Char('-') + QString::number(n);
    if (!QFile::rename(path, target)) {
        qCWarning(lcStateFile) << "cannot move undecodable file aside" << path;
        return std::nullopt;
    }
    qCWarning(lcStateFile) << "undecodable file moved aside:" << path << "->" << target;
    Q_EMIT NotificationBus::instance().stateFileSetAside(path, target);
    return target;
}

} // namespace StateFile
