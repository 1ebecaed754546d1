#include "ui/common/StudyModeService.h"

#include "core/common/AppSettings.h"
#include "core/text/WebSearch.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QEvent>
#include <QPointer>

namespace {

// Shows the stored choice each time the controls' window is activated.
class ControlsSync : public QObject {
public:
    ControlsSync(QCheckBox *checkbox, QComboBox *providerPopup)
        : QObject(checkbox), m_checkbox(checkbox), m_providerPopup(providerPopup)
    {
        checkbox->installEventFilter(this);
    }

    void sync() const
    {
        const QSignalBlocker blockCheckbox(m_checkbox);
        m_checkbox->setChecked(AppSettings::boolValue(AppSettings::studyModeEnabledKey));
        StudyModeService::configure(m_providerPopup);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::WindowActivate)
            sync();
        return false;
    }

private:
    QCheckBox *m_checkbox;
    QPointer<QComboBox> m_providerPopup;
};

} // namespace

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
    const QUrl address = provider == StudyModeProvider::youtube ? WebSearch::youtubeSearchURL(query)
                                                                : WebSearch::spotifySearchURL(query);
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

Controls makeControls()
{
    Controls controls{new QCheckBox(QStringLiteral("Study mode")), new QComboBox};
    controls.checkbox->setObjectName(QStringLiteral("studyModeCheckbox"));
    controls.checkbox->setToolTip(
        QStringLiteral("When enabled, opening a title also opens the selected provider search."));
    QObject::connect(controls.checkbox, &QCheckBox::toggled, controls.checkbox,
                     [](bool on) { AppSettings::setValue(AppSettings::studyModeEnabledKey, on); });
    controls.providerPopup->setObjectName(QStringLiteral("studyProviderPopup"));
    controls.providerPopup->setToolTip(QStringLiteral("Choose which provider Study mode opens."));
    controls.providerPopup->setFixedWidth(100);
    QObject::connect(controls.providerPopup, &QComboBox::activated, controls.providerPopup,
                     [popup = controls.providerPopup] { setProvider(popup); });
    (new ControlsSync(controls.checkbox, controls.providerPopup))->sync();
    return controls;
}

} // namespace StudyModeService
