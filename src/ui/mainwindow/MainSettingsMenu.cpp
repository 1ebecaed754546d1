#include "ui/mainwindow/MainSettingsMenu.h"

#include "core/common/AppSettings.h"
#include "core/metadata/DiscogsAuth.h"
#include "platform/recognition/AudDClipMatcher.h"
#include "ui/common/AccessTokenDialog.h"
#include "ui/services/LyrafoldLanguageService.h"

#include <QAbstractButton>
#include <QAudioDevice>
#include <QMediaDevices>
#include <QMenu>

namespace {

using LyrafoldLanguageService::localized;

// Each language is named in itself, whatever the interface language.
QString languageName(LyrafoldLanguage language)
{
    switch (language) {
    case LyrafoldLanguage::tr:
        return QStringLiteral("Türkçe");
    case LyrafoldLanguage::es:
        return QStringLiteral("Español");
    case LyrafoldLanguage::en:
        break;
    }
    return QStringLiteral("English");
}

// Stores what the token dialog's answer asks for; the status text, or nothing when nothing changed.
std::optional<QString> storeTokenAnswer(AccessTokenDialog::Answer answer, const QString &typedToken,
                                        void (*store)(const std::optional<QString> &), const QString &service)
{
    switch (answer) {
    case AccessTokenDialog::Answer::save:
        store(typedToken);
        return service + QStringLiteral(" token saved.");
    case AccessTokenDialog::Answer::clear:
        store(std::nullopt);
        return service + QStringLiteral(" token cleared.");
    case AccessTokenDialog::Answer::cancel:
        break;
    }
    return std::nullopt;
}

} // namespace

MainSettingsMenu::MainSettingsMenu(QWidget *window) : QObject(window), m_window(window)
{
    setObjectName(QStringLiteral("mainSettingsMenu"));
}

QList<MainSettingsMenu::InputMicrophone> MainSettingsMenu::availableInputMicrophones()
{
    QList<InputMicrophone> devices;
    for (const QAudioDevice &device : QMediaDevices::audioInputs())
        devices.append({QString::fromUtf8(device.id()), device.description()});
    return devices;
}

QMenu *MainSettingsMenu::makeMainSettingsMenu(const QList<InputMicrophone> &devices)
{
    const LyrafoldLanguage language = LyrafoldLanguageService::current();
    auto *menu = new QMenu(m_window);

    QMenu *languages = menu->addMenu(localized(QStringLiteral("Language"), language));
    for (LyrafoldLanguage option : {LyrafoldLanguage::en, LyrafoldLanguage::tr, LyrafoldLanguage::es}) {
        QAction *item = languages->addAction(languageName(option));
        item->setData(LyrafoldLanguageService::rawValue(option));
        item->setCheckable(true);
        item->setChecked(option == language);
        connect(item, &QAction::triggered, this, [this, item] { setLanguageFromMenu(item); });
    }

    QMenu *microphones = menu->addMenu(localized(QStringLiteral("Listen Microphone"), language));
    const QString storedId = AppSettings::stringValue(AppSettings::listenMicrophoneUidKey);
    const auto addMicrophone = [this, microphones](const QString &title, const QString &id, bool checked) {
        QAction *item = microphones->addAction(title);
        item->setData(id);
        item->setCheckable(true);
        item->setChecked(checked);
        connect(item, &QAction::triggered, this, [this, item] { setListenMicrophoneFromMenu(item); });
    };
    addMicrophone(localized(QStringLiteral("System default microphone"), language), QString(),
                  storedId.isEmpty());
    microphones->addSeparator();
    for (const InputMicrophone &device : devices)
        addMicrophone(device.localizedName, device.uniqueId,
                      !storedId.isEmpty() && storedId == device.uniqueId);

    // The token items, their dialogs and what they tell are English in every language.
    menu->addSeparator();
    QAction *token = menu->addAction(QStringLiteral("Discogs API Token…"));
    connect(token, &QAction::triggered, this, [this] { promptDiscogsToken(); });
    QAction *recognitionToken = menu->addAction(QStringLiteral("AudD API Token…"));
    connect(recognitionToken, &QAction::triggered, this, [this] { promptRecognitionToken(); });
    return menu;
}

void MainSettingsMenu::showMainSettingsMenu(QAbstractButton *sender)
{
    QMenu *menu = makeMainSettingsMenu(m_microphonesForTesting ? *m_microphonesForTesting
                                                               : availableInputMicrophones());
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const QPoint at = sender ? sender->mapToGlobal(QPoint(0, 0)) : QCursor::pos();
    menu->popup(at);
}

void MainSettingsMenu::setLanguageFromMenu(QAction *item)
{
    const std::optional<LyrafoldLanguage> language =
        item ? LyrafoldLanguageService::languageFromRawValue(item->data().toString()) : std::nullopt;
    if (!language)
        return;
    LyrafoldLanguageService::setCurrent(*language);
    const QString name = languageName(*language);
    Q_EMIT statusChanged(localized(QStringLiteral("Language set to %1."), *language).arg(name));
}

void MainSettingsMenu::setListenMicrophoneFromMenu(QAction *item)
{
    const QVariant value = item ? item->data() : QVariant();
    const QString id = value.typeId() == QMetaType::QString ? value.toString() : QString();
    // English in every language, as song recognition's texts are.
    if (id.isEmpty()) {
        AppSettings::remove(AppSettings::listenMicrophoneUidKey);
        Q_EMIT statusChanged(QStringLiteral("Listen microphone set to system default."));
        return;
    }
    AppSettings::setValue(AppSettings::listenMicrophoneUidKey, id);
    Q_EMIT statusChanged(QStringLiteral("Listen microphone set to %1.").arg(item->text()));
}

void MainSettingsMenu::promptDiscogsToken()
{
    const AccessTokenDialog::Outcome outcome = AccessTokenDialog::run(
        m_window,
        {QStringLiteral("Discogs personal access token"),
         QStringLiteral("Create a token at https://www.discogs.com/settings/developers "
                        "— used for search API (genre/style)."),
         QStringLiteral("discogsToken")},
        DiscogsAuth::userToken().value_or(QString()));
    applyDiscogsTokenAnswer(outcome.answer, outcome.typedToken);
}

void MainSettingsMenu::applyDiscogsTokenAnswer(TokenAnswer answer, const QString &typedToken)
{
    if (const auto status =
            storeTokenAnswer(answer, typedToken, &DiscogsAuth::setUserToken, QStringLiteral("Discogs")))
        Q_EMIT statusChanged(*status);
}

void MainSettingsMenu::promptRecognitionToken()
{
    const AccessTokenDialog::Outcome outcome = AccessTokenDialog::run(
        m_window,
        {QStringLiteral("AudD API token"),
         QStringLiteral("Create a token at https://dashboard.audd.io — used for song recognition (Listen). "
                        "Without one, a demonstration token allows only a few requests."),
         QStringLiteral("recognitionToken")},
        AudDClipMatcher::userToken().value_or(QString()));
    applyRecognitionTokenAnswer(outcome.answer, outcome.typedToken);
}

void MainSettingsMenu::applyRecognitionTokenAnswer(TokenAnswer answer, const QString &typedToken)
{
    if (const auto status =
            storeTokenAnswer(answer, typedToken, &AudDClipMatcher::setUserToken, QStringLiteral("AudD")))
        Q_EMIT statusChanged(*status);
}
