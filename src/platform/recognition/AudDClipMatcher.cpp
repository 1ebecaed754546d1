#include "platform/recognition/AudDClipMatcher.h"

#include "core/common/AppSettings.h"
#include "core/common/UiText.h"
#include "core/metadata/MetadataWebClient.h"
#include "core/text/TextUtils.h"

#include <QHostAddress>
#include <QHttpMultiPart>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace {

// The service's codes for a token it refuses (900) and for requests used up (901 without a token of
// one's own, 902 for a token).
constexpr int wrongTokenCode = 900;
constexpr int limitReachedCodes[] = {901, 902};

// Whether a reply's request carried the user's own token.
constexpr char ownTokenProperty[] = "lyrafoldOwnToken";

QString unreadableAnswer()
{
    return UiText::tr("The recognition service sent an answer that could not be read.");
}

bool mayCarryClip(const QUrl &url)
{
    if (url.scheme() == QLatin1String("https"))
        return true;
    if (url.scheme() != QLatin1String("http"))
        return false;
    const QHostAddress host(url.host());
    return url.host() == QLatin1String("localhost") || (!host.isNull() && host.isLoopback());
}

QHttpPart formField(const QByteArray &disposition, const QByteArray &body)
{
    QHttpPart part;
    part.setRawHeader("Content-Disposition", "form-data; " + disposition);
    part.setBody(body);
    return part;
}

SongRecognitionResult serviceError(const QJsonObject &error, bool ownToken)
{
    const int code = error.value(QLatin1String("error_code")).toInt();
    if (std::ranges::find(limitReachedCodes, code) != std::end(limitReachedCodes))
        return SongRecognitionResult::failure(
            ownToken ? UiText::tr("The requests of your AudD API token are used up. Check your plan at "
                                  "dashboard.audd.io or enter another token in the settings menu.")
                     : UiText::tr("The recognition service's free requests are used up. Enter an AudD API "
                                  "token of your own in the settings menu."),
            true);
    QString message = TextUtils::trimmed(error.value(QLatin1String("error_message")).toString());
    if (message.isEmpty())
        message = UiText::tr("The recognition service reported error %1.").arg(code);
    return SongRecognitionResult::failure(message, code == wrongTokenCode);
}

// What an answer of the service means; ownToken: the request carried the user's token, not the
// demonstration token. The service answers with HTTP status 200 for its errors as well.
SongRecognitionResult resultFromAnswer(const QByteArray &body, bool ownToken)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return SongRecognitionResult::failure(unreadableAnswer());
    const QJsonObject answer = document.object();
    const QString status = answer.value(QLatin1String("status")).toString();

    if (status == QLatin1String("error")) {
        const QJsonValue error = answer.value(QLatin1String("error"));
        return error.isObject() ? serviceError(error.toObject(), ownToken)
                                : SongRecognitionResult::failure(unreadableAnswer());
    }
    if (status != QLatin1String("success"))
        return SongRecognitionResult::failure(unreadableAnswer());

    const QJsonValue result = answer.value(QLatin1String("result"));
    if (result.isNull() || result.isUndefined())
        return SongRecognitionResult::noMatch();
    if (!result.isObject())
        return SongRecognitionResult::failure(unreadableAnswer());
    // A result may hold only where in the song the clip was found, with neither title nor artist.
    const QJsonObject song = result.toObject();
    return SongRecognitionResult::success(song.value(QLatin1String("title")).toString(),
                                          song.value(QLatin1String("artist")).toString());
}

} // namespace

AudDClipMatcher::AudDClipMatcher(QUrl endpoint, std::chrono::milliseconds timeout, QObject *parent)
    : ClipMatcher(parent), m_endpoint(std::move(endpoint)), m_timeout(timeout)
{
}

AudDClipMatcher::~AudDClipMatcher()
{
    cancel();
}

std::optional<QString> AudDClipMatcher::userToken()
{
    return AppSettings::trimmedText(AppSettings::recognitionTokenKey);
}

void AudDClipMatcher::setUserToken(const std::optional<QString> &token)
{
    AppSettings::setTrimmedText(AppSettings::recognitionTokenKey, token);
}

void AudDClipMatcher::match(const AudioClip &clip)
{
    cancel();
    if (!mayCarryClip(m_endpoint)) {
        answer(SongRecognitionResult::failure(
            QStringLiteral("The recognition service must be reached over https.")));
        return;
    }

    const std::optional<QString> ownToken = userToken();
    auto *form = new QHttpMultiPart(QHttpMultiPart::FormDataType);
    form->append(formField(R"(name="api_token")", ownToken.value_or(demonstrationToken).toUtf8()));
    QHttpPart file = formField(R"(name="file"; filename="clip.wav")", clip.wavFile());
    file.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("audio/wav"));
    form->append(file);

    QNetworkRequest request(m_endpoint);
    request.setHeader(QNetworkRequest::UserAgentHeader, MetadataWebClient::userAgent());
    request.setTransferTimeout(int(m_timeout.count()));
    // The form carries a token: a redirect to another host is not followed.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::SameOriginRedirectPolicy);
    QNetworkReply *reply = m_network.post(request, form);
    form->setParent(reply);
    reply->setProperty(ownTokenProperty, ownToken.has_value());
    m_reply = reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply] { replyFinished(reply); });
}

void AudDClipMatcher::cancel()
{
    if (QNetworkReply *reply = m_reply) {
        m_reply.clear();
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

void AudDClipMatcher::answer(const SongRecognitionResult &result)
{
    QMetaObject::invokeMethod(
        this, [this, result] { Q_EMIT answered(result); }, Qt::QueuedConnection);
}

void AudDClipMatcher::replyFinished(QNetworkReply *reply)
{
    reply->deleteLater();
    if (reply != m_reply)
        return;
    m_reply.clear();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && (status.toInt() < 200 || status.toInt() > 299)) {
        Q_EMIT answered(SongRecognitionResult::failure(
            UiText::tr("The recognition service answered with HTTP status %1.").arg(status.toInt())));
        return;
    }
    if (!status.isValid() || reply->error() != QNetworkReply::NoError) {
        Q_EMIT answered(SongRecognitionResult::failure(
            UiText::tr("Could not reach the recognition service (%1).").arg(reply->errorString())));
        return;
    }
    Q_EMIT answered(resultFromAnswer(reply->readAll(), reply->property(ownTokenProperty).toBool()));
}
