#include "ui/recognition/ListenFlow.h"

#include "core/common/AppSettings.h"
#include "core/text/TextUtils.h"
#include "platform/recognition/SongRecognizer.h"
#include "ui/common/LyrafoldAlert.h"
#include "ui/common/StatusSink.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPointer>

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
    m_sink.showStatus(QStringLiteral("Listening... hold your song near the microphone."));
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
        m_sink.showStatus(song.isEmpty() ? QStringLiteral("Identified a match.")
                                         : QStringLiteral("Identified: %1").arg(song));
        break;
    }
    case SongRecognitionResult::Kind::noMatch:
        m_sink.showStatus(QStringLiteral("No match found. Try again with a clearer sample."));
        break;
    case SongRecognitionResult::Kind::failure: {
        m_sink.showStatus(QStringLiteral("Listen failed: %1").arg(result.message));
        // Told once the recording and the service's answer are over, whenever that is: its default is
        // OK, and keys typed meanwhile do not answer it.
        if (!result.tokenNeeded) {
            LyrafoldAlert::runUnasked(m_sink.alertParent(), LyrafoldAlert::Style::warning,
                                      QStringLiteral("Listen failed"), result.message);
            break;
        }
        const int pressed = LyrafoldAlert::runUnasked(m_sink.alertParent(), LyrafoldAlert::Style::warning,
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
    const QString message = QStringLiteral("Send a recording to identify the song?");
    const QString details = QStringLiteral(
        "Listen records 8 seconds through the microphone and sends the recording to the AudD music "
        "recognition service (audd.io), which identifies the song. Lyrafold keeps nothing of the "
        "recording.\n\nYou are asked this only once.");
    const QStringList buttons{QStringLiteral("Send and Listen"), QStringLiteral("Cancel")};
    if (LyrafoldAlert::run(m_sink.alertParent(), LyrafoldAlert::Style::informational, message, details,
                           buttons) != 0)
        return false;
    AppSettings::setValue(AppSettings::recognitionUploadConfirmedKey, true);
    return true;
}
