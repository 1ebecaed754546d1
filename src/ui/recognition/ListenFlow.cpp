#include "ui/recognition/ListenFlow.h"

#include "core/common/AppSettings.h"
#include "core/text/TextUtils.h"
#include "platform/recognition/SongRecognizer.h"
#include "ui/common/LyrafoldAlert.h"
#include "ui/common/StatusSink.h"
#include "ui/services/LyrafoldLanguageService.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPointer>

using LyrafoldLanguageService::localized;

ListenFlow::ListenFlow(StatusSink &sink, QWidget *window) : QObject(window), m_sink(sink) {}

void ListenFlow::setSongRecognizer(SongRecognizer *recognizer)
{
    delete m_recognizer;
    m_recognizer = recognizer;
    if (recognizer)
        recognizer->setParent(this);
}

void ListenFlow::start()
{
    // The tile takes presses even while its button is off; one run at a time.
    if (m_recognizer && m_recognizer->isRunning())
        return;
    if (!confirmAudioUpload())
        return;
    if (!m_recognizer)
        setSongRecognizer(new SongRecognizer);

    Q_EMIT runningChanged(true);
    m_sink.showStatus(localized(QStringLiteral("Listening... hold your song near the microphone.")));
    const QVariant storedId = AppSettings::value(AppSettings::listenMicrophoneUidKey);
    const std::optional<QString> deviceId =
        storedId.isValid() ? std::optional<QString>(storedId.toString()) : std::nullopt;
    m_recognizer->recognize(captureTime, deviceId,
                            [flow = QPointer<ListenFlow>(this)](const SongRecognitionResult &result) {
                                if (flow)
                                    flow->showResult(result);
                            });
}

void ListenFlow::showResult(const SongRecognitionResult &result)
{
    Q_EMIT runningChanged(false);
    switch (result.kind) {
    case SongRecognitionResult::Kind::success: {
        const QString title = TextUtils::trimmed(result.title);
        const QString artist = TextUtils::trimmed(result.artist);
        if (!title.isEmpty()) {
            Q_EMIT songIdentified(title);
            QClipboard *clipboard = QGuiApplication::clipboard();
            clipboard->clear();
            clipboard->setText(title);
        }
        const QString song = artist.isEmpty() ? title : title + QStringLiteral(" — ") + artist;
        m_sink.showStatus(song.isEmpty() ? localized(QStringLiteral("Identified a match."))
                                         : localized(QStringLiteral("Identified: %1")).arg(song));
        break;
    }
    case SongRecognitionResult::Kind::noMatch:
        m_sink.showStatus(localized(QStringLiteral("No match found. Try again with a clearer sample.")));
        break;
    case SongRecognitionResult::Kind::failure: {
        m_sink.showStatus(localized(QStringLiteral("Listen failed: %1")).arg(result.message));
        if (!result.tokenNeeded) {
            LyrafoldAlert::run(m_sink.alertParent(), LyrafoldAlert::Style::warning,
                               QStringLiteral("Listen failed"), result.message);
            break;
        }
        const int pressed = LyrafoldAlert::run(m_sink.alertParent(), LyrafoldAlert::Style::warning,
                                               QStringLiteral("Listen failed"), result.message,
                                               {QStringLiteral("Enter Token…"), QStringLiteral("OK")});
        if (pressed == 0)
            Q_EMIT tokenRequested();
        break;
    }
    }
}

bool ListenFlow::confirmAudioUpload()
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
    if (LyrafoldAlert::run(m_sink.alertParent(), LyrafoldAlert::Style::informational, message, details,
                           buttons) != 0)
        return false;
    AppSettings::setValue(AppSettings::recognitionUploadConfirmedKey, true);
    return true;
}
