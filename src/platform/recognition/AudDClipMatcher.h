#pragma once

#include "platform/recognition/ClipMatcher.h"

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QPointer>
#include <QUrl>

#include <chrono>
#include <optional>

class QNetworkReply;

// Matches a clip with the AudD music recognition service: one multipart POST of the user's token and
// the clip as a WAV file to its standard endpoint, which takes clips of up to about 12 seconds.
// Without a token of the user's own, the service's demonstration token is sent, which allows only a
// few requests. The token travels in the body, never in the address, and the clip goes out only over
// https (or to this machine, for tests); nothing of either is written anywhere.
class AudDClipMatcher : public ClipMatcher {
    Q_OBJECT

public:
    static inline const QString demonstrationToken = QStringLiteral("test");
    static QUrl standardEndpoint() { return QUrl(QStringLiteral("https://api.audd.io/")); }

    explicit AudDClipMatcher(QUrl endpoint = standardEndpoint(),
                             std::chrono::milliseconds timeout = std::chrono::seconds(20),
                             QObject *parent = nullptr);
    ~AudDClipMatcher() override;

    void match(const AudioClip &clip) override;
    void cancel() override;

    // The user's token as stored, trimmed; nothing when none is stored or it is blank.
    static std::optional<QString> userToken();
    // Stores the token trimmed; a missing or blank token removes it.
    static void setUserToken(const std::optional<QString> &token);

private:
    void answer(const SongRecognitionResult &result);
    void replyFinished(QNetworkReply *reply);

    QUrl m_endpoint;
    std::chrono::milliseconds m_timeout;
    QNetworkAccessManager m_network;
    QPointer<QNetworkReply> m_reply;
};
