#include "core/common/AppSettings.h"

#include "core/text/TextUtils.h"

#include <QSettings>

namespace {

QSettings settings()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Lyrafold"),
                     QStringLiteral("Lyrafold"));
}

} // namespace

namespace AppSettings {

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
    settings().setValue(key, value);
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
