#include "core/common/AppSettings.h"

#include "core/text/TextUtils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSettings>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcSettings, "lyrafold.settings")

namespace {

QSettings settings()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Lyrafold"),
                     QStringLiteral("Lyrafold"));
}

// The settings file, created empty and private when missing, made private when present: QSettings keeps
// the permissions of the file it rewrites, so a token is never on disk where others can read it.
void makeFilePrivate(const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        qCWarning(lcSettings) << "cannot open the settings file" << path << std::strerror(errno);
        return;
    }
    struct stat info {};
    if (::fstat(fd, &info) == 0 && (info.st_mode & 077) != 0 && ::fchmod(fd, 0600) != 0)
        qCWarning(lcSettings) << "cannot make the settings file private:" << std::strerror(errno);
    ::close(fd);
}

} // namespace

namespace AppSettings {

void keepTokensPrivate()
{
    QSettings stored = settings();
    for (const QString &key : tokenKeys)
        if (stored.contains(key)) {
            makeFilePrivate(stored.fileName());
            return;
        }
}

QVariant value(const QString &key, const QVariant &defaultValue)
{
    return settings().value(key, defaultValue);
}

bool contains(const QString &key)
{
    return settings().contains(key);
}

void setValue(const QString &key, const QVariant &value)
{
    QSettings stored = settings();
    if (tokenKeys.contains(key))
        makeFilePrivate(stored.fileName());
    stored.setValue(key, value);
}

void remove(const QString &key)
{
    settings().remove(key);
}

QString stringValue(const QString &key, const QString &defaultValue)
{
    const QVariant v = value(key);
    return v.isValid() ? v.toString() : defaultValue;
}

bool boolValue(const QString &key, bool defaultValue)
{
    const QVariant v = value(key);
    return v.isValid() ? v.toBool() : defaultValue;
}

std::optional<QString> trimmedText(const QString &key)
{
    const QString text = TextUtils::trimmed(stringValue(key));
    if (text.isEmpty())
        return std::nullopt;
    return text;
}

void setTrimmedText(const QString &key, const std::optional<QString> &text)
{
    const QString trimmed = text ? TextUtils::trimmed(*text) : QString();
    if (trimmed.isEmpty())
        remove(key);
    else
        setValue(key, trimmed);
}

} // namespace AppSettings
