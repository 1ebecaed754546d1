#include "ui/common/StudyModeService.h"

#include "core/common/AppSettings.h"
#include "core/text/WebSearch.h"

#include <QComboBox>
#include <QDesktopServices>

namespace StudyModeService {

QList<StudyModeProvider> allProviders()
{
    return {StudyModeProvider::spotify, StudyModeProvider::youtube};
}

QString rawValue(StudyModeProvider provider)
{
    return provider == StudyModeProvider::youtube ? QStringLiteral("youtube") : QStringLiteral("spotify");
}

QString displayTitle(StudyModeProvider provider)
{
    return provider == StudyModeProvider::youtube ? QStringLiteral("YouTube") : QStringLiteral("Spotify");
}

StudyModeProvider provider()
{
    return AppSettings::stringValue(AppSettings::studyModeProviderKey) == QLatin1String("youtube")
               ? StudyModeProvider::youtube
               : StudyModeProvider::spotify;
}

void configure(QComboBox *providerPopup)
{
    if (!providerPopup)
        return;
    providerPopup->clear();
    for (StudyModeProvider p : allProviders())
        providerPopup->addItem(displayTitle(p), rawValue(p));
    providerPopup->setCurrentIndex(providerPopup->findText(displayTitle(provider())));
}

StudyModeProvider provider(const QComboBox *providerPopup)
{
    if (!providerPopup)
        return StudyModeProvider::spotify;
    const QVariant data = providerPopup->currentData();
    return data.typeId() == QMetaType::QString && data.toString() == QLatin1String("youtube")
               ? StudyModeProvider::youtube
               : StudyModeProvider::spotify;
}

void setProvider(const QComboBox *providerPopup)
{
    AppSettings::setValue(AppSettings::studyModeProviderKey, rawValue(provider(providerPopup)));
}

std::optional<QUrl> url(const QString &title, StudyModeProvider provider)
{
    const QString query = encodedSearchQuery(title);
    if (query.isEmpty())
        return std::nullopt;
    const QUrl address = provider == StudyModeProvider::youtube ? WebSearch::youtubeSearchUrl(query)
                                                                : WebSearch::spotifySearchUrl(query);
    if (!address.isValid())
        return std::nullopt;
    return address;
}

void openProvider(const QString &title)
{
    if (const auto address = url(title, provider()))
        QDesktopServices::openUrl(*address);
}

QString encodedSearchQuery(const QString &title)
{
    return WebSearch::encodedSearchQuery(title);
}

} // namespace StudyModeService
