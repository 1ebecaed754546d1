// The main window's menus: "Slots" and "Tools" in the menu bar, and the settings menu of the gear.

#include "core/metadata/DiscogsAuth.h"
#include "ui/mainwindow/MainWindowController.h"

#include "core/common/AppSettings.h"
#include "platform/recognition/AudDClipMatcher.h"
#include "ui/common/AccessTokenDialog.h"
#include "ui/services/LyrafoldLanguageService.h"

#include <QAbstractButton>
#include <QAudioDevice>
#include <QMediaDevices>
#include <QMenu>
#include <QMenuBar>

namespace {

using LyrafoldLanguageService::pick;

QString languageName(LyrafoldLanguage language)
{
    return pick(language, QStringLiteral("English"), QStringLiteral("Türkçe"), QStringLiteral("Español"));
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

void MainWindowController::installAdvancedMenus()
{
    QMenuBar *bar = menuBar();
    using Method = void (MainWindowController::*)();
    const auto addItem = [this](QMenu *menu, const QString &title, Method method) {
        QAction *item = menu->addAction(title);
        item->setShortcut(QKeySequence());
        connect(item, &QAction::triggered, this, [this, method] { (this->*method)(); });
    };

    auto *slotsMenu = new QMenu(QStringLiteral("Slots"), bar);
    addItem(slotsMenu, QStringLiteral("Save Slot to Disk"), &MainWindowController::saveSlotNow);
    addItem(slotsMenu, QStringLiteral("Reload Slot from Disk"), &MainWindowController::reloadSlotNow);
    addItem(slotsMenu, QStringLiteral("Copy Slot to Another…"), &MainWindowController::copySlotToAnother);
    addItem(slotsMenu, QStringLiteral("Merge Slots into Current…"),
            &MainWindowController::mergeSlotsIntoCurrent);
    addItem(slotsMenu, QStringLiteral("Clear Current Slot…"), &MainWindowController::clearCurrentSlot);
    slotsMenu->addSeparator();
    addItem(slotsMenu, QStringLiteral("New Extraction (Clear Table)…"), &MainWindowController::newExtraction);

    auto *tools = new QMenu(QStringLiteral("Tools"), bar);
    addItem(tools, QStringLiteral("Edit Metadata for Selected Row…"),
            &MainWindowController::editSelectedMetadata);
    addItem(tools, QStringLiteral("Import Metadata File (CSV / JSON)…"),
            &MainWindowController::importMetadata);
    tools->addSeparator();
    addItem(tools, QStringLiteral("Auto-Tag All Bookmarks…"), &MainWindowController::runAutoTagAll);
    addItem(tools, QStringLiteral("Auto-Tag Selected Rows"), &MainWindowController::runAutoTagSelected);
    addItem(tools, QStringLiteral("Apply Bundled Metadata Only"),
            &MainWindowController::applyBundledMetadataToAll);
    tools->addSeparator();
    addItem(tools, QStringLiteral("Discogs API Token…"), &MainWindowController::promptDiscogsToken);

    // Right after the application menu, ahead of any menu that was already there.
    const QList<QAction *> existing = bar->actions();
    QAction *before = existing.size() > 1 ? existing.at(1) : nullptr;
    bar->insertMenu(before, slotsMenu);
    bar->insertMenu(before, tools);
}

QList<MainWindowController::InputMicrophone> MainWindowController::availableInputMicrophones()
{
    QList<InputMicrophone> devices;
    for (const QAudioDevice &device : QMediaDevices::audioInputs())
        devices.append({QString::fromUtf8(device.id()), device.description()});
    return devices;
}

QMenu *MainWindowController::makeMainSettingsMenu(const QList<InputMicrophone> &devices)
{
    const LyrafoldLanguage language = LyrafoldLanguageService::current();
    auto *menu = new QMenu(this);

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
    QAction *recognitionToken = menu->addAction(QStringLiteral("AudD API Token…"));
    connect(recognitionToken, &QAction::triggered, this, [this] { promptRecognitionToken(); });
    return menu;
}

void MainWindowController::showMainSettingsMenu(QAbstractButton *sender)
{
    QMenu *menu = makeMainSettingsMenu(availableInputMicrophones());
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const QPoint at = sender ? sender->mapToGlobal(QPoint(0, 0)) : QCursor::pos();
    menu->popup(at);
}

void MainWindowController::setLanguageFromMenu(QAction *item)
{
    const std::optional<LyrafoldLanguage> language =
        item ? LyrafoldLanguageService::languageFromRawValue(item->data().toString()) : std::nullopt;
    if (!language)
        return;
    LyrafoldLanguageService::setCurrent(*language);
    applyLocalizedText();
    const QString name = languageName(*language);
    setStatus(pick(*language, QStringLiteral("Language set to %1.").arg(name),
                   QStringLiteral("Dil %1 olarak ayarlandı.").arg(name),
                   QStringLiteral("Idioma cambiado a %1.").arg(name)));
}

void MainWindowController::setListenMicrophoneFromMenu(QAction *item)
{
    const QVariant value = item ? item->data() : QVariant();
    const QString id = value.typeId() == QMetaType::QString ? value.toString() : QString();
    if (id.isEmpty()) {
        AppSettings::remove(AppSettings::listenMicrophoneUidKey);
        setStatus(QStringLiteral("Listen microphone set to system default."));
        return;
    }
    AppSettings::setValue(AppSettings::listenMicrophoneUidKey, id);
    setStatus(QStringLiteral("Listen microphone set to %1.").arg(item->text()));
}

void MainWindowController::promptDiscogsToken()
{
    const AccessTokenDialog::Outcome outcome = AccessTokenDialog::run(
        this,
        {QStringLiteral("Discogs personal access token"),
         QStringLiteral("Create a token at https://www.discogs.com/settings/developers "
                        "— used for search API (genre/style)."),
         QStringLiteral("discogsToken")},
        DiscogsAuth::userToken().value_or(QString()));
    applyDiscogsTokenAnswer(outcome.answer, outcome.typedToken);
}

void MainWindowController::applyDiscogsTokenAnswer(TokenAnswer answer, const QString &typedToken)
{
    if (const auto status =
            storeTokenAnswer(answer, typedToken, &DiscogsAuth::setUserToken, QStringLiteral("Discogs")))
        setStatus(*status);
}

void MainWindowController::promptRecognitionToken()
{
    const AccessTokenDialog::Outcome outcome = AccessTokenDialog::run(
        this,
        {QStringLiteral("AudD API token"),
         QStringLiteral("Create a token at https://dashboard.audd.io — used for song recognition (Listen). "
                        "Without one, a demonstration token allows only a few requests."),
         QStringLiteral("recognitionToken")},
        AudDClipMatcher::userToken().value_or(QString()));
    applyRecognitionTokenAnswer(outcome.answer, outcome.typedToken);
}

void MainWindowController::applyRecognitionTokenAnswer(TokenAnswer answer, const QString &typedToken)
{
    if (const auto status =
            storeTokenAnswer(answer, typedToken, &AudDClipMatcher::setUserToken, QStringLiteral("AudD")))
        setStatus(*status);
}
