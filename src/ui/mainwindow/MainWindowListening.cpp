// Song recognition from the main window: the Listen tile, the first run's consent and the result.

#include "ui/mainwindow/MainWindowController.h"

#include "core/common/AppSettings.h"
#include "core/text/TextUtils.h"
#include "platform/recognition/SongRecognizer.h"
#include "ui/common/LyrafoldAlert.h"
#include "ui/mainwindow/MainSettingsMenu.h"
#include "ui/services/LyrafoldLanguageService.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

void MainWindowController::setSongRecognizer(SongRecognizer *recognizer)
{
    delete m_songRecognizer;
    m_songRecognizer = recognizer;
    if (recognizer)
        recognizer->setParent(this);
}

void MainWindowController::startListening()
{
    // The tile takes presses even while its button is off; one run at a time.
    if (m_songRecognizer && m_songRecognizer->isRunning())
        return;
    if (!confirmAudioUpload())
        return;
    if (!m_songRecognizer)
        setSongRecognizer(new SongRecognizer);

    setListenTileEnabled(false);
    setStatus(QStringLiteral("Listening... hold your song near the microphone."));
    const QVariant storedId = AppSettings::value(AppSettings::listenMicrophoneUidKey);
    const std::optional<QString> deviceId =
        storedId.isValid() ? std::optional<QString>(storedId.toString()) : std::nullopt;
    m_songRecognizer->recognize(
        listenCaptureTime, deviceId,
        [window = QPointer<MainWindowController>(this)](const SongRecognitionResult &result) {
            if (window)
                window->showListenResult(result);
        });
}

void MainWindowController::showListenResult(const SongRecognitionResult &result)
{
    setListenTileEnabled(true);
    switch (result.kind) {
    case SongRecognitionResult::Kind::success: {
        const QString title = TextUtils::trimmed(result.title);
        const QString artist = TextUtils::trimmed(result.artist);
        if (!title.isEmpty()) {
            if (m_searchField)
                m_searchField->setText(title);
            searchChanged();
            QClipboard *clipboard = QGuiApplication::clipboard();
            clipboard->clear();
            clipboard->setText(title);
        }
        const QString song = artist.isEmpty() ? title : title + QStringLiteral(" — ") + artist;
        setStatus(song.isEmpty() ? QStringLiteral("Identified a match.")
                                 : QStringLiteral("Identified: ") + song);
        break;
    }
    case SongRecognitionResult::Kind::noMatch:
        setStatus(QStringLiteral("No match found. Try again with a clearer sample."));
        break;
    case SongRecognitionResult::Kind::failure: {
        setStatus(QStringLiteral("Listen failed: ") + result.message);
        if (!result.tokenNeeded) {
            LyrafoldAlert::run(alertParent(), LyrafoldAlert::Style::warning, QStringLiteral("Listen failed"),
                               result.message);
            break;
        }
        const int pressed =
            LyrafoldAlert::run(alertParent(), LyrafoldAlert::Style::warning, QStringLiteral("Listen failed"),
                               result.message, {QStringLiteral("Enter Token…"), QStringLiteral("OK")});
        if (pressed == 0)
            m_settingsMenu->promptRecognitionToken();
        break;
    }
    }
}

void MainWindowController::setListenTileEnabled(bool enabled)
{
    // The whole tile, so that it looks off and takes no presses.
    if (m_listenButton)
        m_listenButton->parentWidget()->setEnabled(enabled);
}

bool MainWindowController::confirmAudioUpload()
{
    if (AppSettings::boolValue(AppSettings::recognitionUploadConfirmedKey))
        return true;
    using LyrafoldLanguageService::pick;
    const LyrafoldLanguage language = LyrafoldLanguageService::current();
    const QString message = pick(language, QStringLiteral("Send a recording to identify the song?"),
                                 QStringLiteral("Şarkıyı tanımak için kayıt gönderilsin mi?"),
                                 QStringLiteral("¿Enviar una grabación para identificar la canción?"));
    const QString details = pick(
        language,
        QStringLiteral(
            "Listen records 8 seconds through the microphone and sends the recording to the AudD "
            "music recognition service (audd.io), which identifies the song. Lyrafold keeps nothing "
            "of the recording.\n\nYou are asked this only once."),
        QStringLiteral("Dinle, mikrofondan 8 saniye kaydeder ve kaydı şarkıyı tanıyan AudD müzik tanıma "
                       "hizmetine (audd.io) gönderir. Lyrafold kayıttan hiçbir şey saklamaz.\n\nBu soru "
                       "yalnızca bir kez sorulur."),
        QStringLiteral("Escuchar graba 8 segundos con el micrófono y envía la grabación al servicio de "
                       "reconocimiento musical AudD (audd.io), que identifica la canción. Lyrafold no guarda "
                       "nada de la grabación.\n\nSolo se pregunta una vez."));
    const QStringList buttons{
        pick(language, QStringLiteral("Send and Listen"), QStringLiteral("Gönder ve Dinle"),
             QStringLiteral("Enviar y escuchar")),
        pick(language, QStringLiteral("Cancel"), QStringLiteral("Vazgeç"), QStringLiteral("Cancelar"))};
    if (LyrafoldAlert::run(alertParent(), LyrafoldAlert::Style::informational, message, details, buttons) !=
        0)
        return false;
    AppSettings::setValue(AppSettings::recognitionUploadConfirmedKey, true);
    return true;
}
