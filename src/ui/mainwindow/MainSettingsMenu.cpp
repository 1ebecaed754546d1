#include "ui/mainwindow/MainSettingsMenu.h"

#include "core/common/AppSettings.h"
#include "core/metadata/DiscogsAuth.h"
#include "ui/services/LyrafoldLanguageService.h"

#include <QAbstractButton>
#include <QAudioDevice>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMediaDevices>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

using LyrafoldLanguageService::pick;

QString languageName(LyrafoldLanguage language)
{
    return pick(language, QStringLiteral("English"), QStringLiteral("Türkçe"), QStringLiteral("Español"));
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

    QMenu *languages = menu->addMenu(
        pick(language, QStringLiteral("Language"), QStringLiteral("Dil"), QStringLiteral("Idioma")));
    for (LyrafoldLanguage option : {LyrafoldLanguage::en, LyrafoldLanguage::tr, LyrafoldLanguage::es}) {
        QAction *item = languages->addAction(languageName(option));
        item->setData(LyrafoldLanguageService::rawValue(option));
        item->setCheckable(true);
        item->setChecked(option == language);
        connect(item, &QAction::triggered, this, [this, item] { setLanguageFromMenu(item); });
    }

    QMenu *microphones =
        menu->addMenu(pick(language, QStringLiteral("Listen Microphone"), QStringLiteral("Dinleme Mikrofonu"),
                           QStringLiteral("Micrófono de escucha")));
    const QString storedId = AppSettings::stringValue(AppSettings::listenMicrophoneUidKey);
    const auto addMicrophone = [this, microphones](const QString &title, const QString &id, bool checked) {
        QAction *item = microphones->addAction(title);
        item->setData(id);
        item->setCheckable(true);
        item->setChecked(checked);
        connect(item, &QAction::triggered, this, [this, item] { setListenMicrophoneFromMenu(item); });
    };
    addMicrophone(pick(language, QStringLiteral("System default microphone"),
                       QStringLiteral("Sistem varsayılan mikrofonu"),
                       QStringLiteral("Micrófono predeterminado del sistema")),
                  QString(), storedId.isEmpty());
    microphones->addSeparator();
    for (const InputMicrophone &device : devices)
        addMicrophone(device.localizedName, device.uniqueId,
                      !storedId.isEmpty() && storedId == device.uniqueId);

    menu->addSeparator();
    QAction *token = menu->addAction(QStringLiteral("Discogs API Token…"));
    connect(token, &QAction::triggered, this, [this] { promptDiscogsToken(); });
    return menu;
}

void MainSettingsMenu::showMainSettingsMenu(QAbstractButton *sender)
{
    QMenu *menu = makeMainSettingsMenu(availableInputMicrophones());
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
    Q_EMIT statusChanged(pick(*language, QStringLiteral("Language set to %1.").arg(name),
                              QStringLiteral("Dil %1 olarak ayarlandı.").arg(name),
                              QStringLiteral("Idioma cambiado a %1.").arg(name)));
}

void MainSettingsMenu::setListenMicrophoneFromMenu(QAction *item)
{
    const QVariant value = item ? item->data() : QVariant();
    const QString id = value.typeId() == QMetaType::QString ? value.toString() : QString();
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
    QDialog dialog(m_window);
    dialog.setObjectName(QStringLiteral("discogsTokenDialog"));
    dialog.setWindowTitle(QStringLiteral("Discogs personal access token"));
    auto *layout = new QVBoxLayout(&dialog);
    auto *message = new QLabel(QStringLiteral("Discogs personal access token"));
    QFont bold = message->font();
    bold.setBold(true);
    message->setFont(bold);
    auto *informative =
        new QLabel(QStringLiteral("Create a token at https://www.discogs.com/settings/developers "
                                  "— used for search API (genre/style)."));
    informative->setWordWrap(true);
    auto *field = new QLineEdit(DiscogsAuth::userToken().value_or(QString()));
    field->setObjectName(QStringLiteral("discogsTokenField"));
    field->setFixedSize(280, 24);
    auto *buttons = new QDialogButtonBox;
    QPushButton *save = buttons->addButton(QStringLiteral("Save"), QDialogButtonBox::AcceptRole);
    QPushButton *clear = buttons->addButton(QStringLiteral("Clear"), QDialogButtonBox::DestructiveRole);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    save->setDefault(true);
    DiscogsTokenAnswer answer = DiscogsTokenAnswer::cancel;
    connect(save, &QPushButton::clicked, &dialog, [&] {
        answer = DiscogsTokenAnswer::save;
        dialog.accept();
    });
    connect(clear, &QPushButton::clicked, &dialog, [&] {
        answer = DiscogsTokenAnswer::clear;
        dialog.accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(message);
    layout->addWidget(informative);
    layout->addWidget(field);
    layout->addWidget(buttons);
    dialog.exec();
    applyDiscogsTokenAnswer(answer, field->text());
}

void MainSettingsMenu::applyDiscogsTokenAnswer(DiscogsTokenAnswer answer, const QString &typedToken)
{
    switch (answer) {
    case DiscogsTokenAnswer::save:
        DiscogsAuth::setUserToken(typedToken);
        Q_EMIT statusChanged(QStringLiteral("Discogs token saved."));
        break;
    case DiscogsTokenAnswer::clear:
        DiscogsAuth::setUserToken(std::nullopt);
        Q_EMIT statusChanged(QStringLiteral("Discogs token cleared."));
        break;
    case DiscogsTokenAnswer::cancel:
        break;
    }
}
