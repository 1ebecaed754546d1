#include "common/LanguageSeam.h"

#include "common/AppSettings.h"

namespace LanguageSeam {

Language current()
{
    const QString raw = AppSettings::stringValue(AppSettings::uiLanguageKey);
    if (raw == QLatin1String("tr"))
        return Language::tr;
    if (raw == QLatin1String("es"))
        return Language::es;
    return Language::en;
}

QString localized(const QString &english)
{
    return english;
}

QString choose(const QString &english, const QString &turkish, const QString &spanish)
{
    switch (current()) {
    case Language::tr:
        return turkish;
    case Language::es:
        return spanish;
    case Language::en:
        break;
    }
    return english;
}

} // namespace LanguageSeam
