#include "core/metadata/MetadataWebClient.h"

#include "core/metadata/NetworkThrottle.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>

#ifndef LYRAFOLD_VERSION
#define LYRAFOLD_VERSION "0"
#endif

using namespace std::chrono_literals;

namespace {

std::atomic<std::chrono::milliseconds> &retryCap()
{
    static std::atomic<std::chrono::milliseconds> cap{10000ms};
    return cap;
}

// A manager belongs to the thread that made it; each thread that asks gets its own, which lives as
// long as the thread (the main thread's until the application starts to go).
thread_local QPointer<QNetworkAccessManager> threadManagerInstance;

// Runs on the main thread, first thing in the application's destructor. Left as the application's
// child, the manager would go only after the application had cleared its instance, while the manager's
// HTTP thread could still be delivering an event (a kept-alive connection closing, say): that delivery
// then reads the cleared instance and the process crashes on its way out.
void deleteApplicationThreadManager()
{
    delete threadManagerInstance.data();
}

QNetworkAccessManager *threadManager()
{
    QPointer<QNetworkAccessManager> &manager = threadManagerInstance;
    if (!manager) {
        manager = new QNetworkAccessManager;
        QThread *thread = QThread::currentThread();
        QCoreApplication *app = QCoreApplication::instance();
        if (app && app->thread() == thread) {
            manager->setParent(app);
            qAddPostRoutine(deleteApplicationThreadManager);
        } else {
            QObject::connect(thread, &QThread::finished, manager.data(), &QObject::deleteLater);
        }
    }
    return manager;
}

WebResult resultOf(QNetworkReply *reply)
{
    using Kind = WebError::Kind;
    const auto failure = [](Kind kind, const QString &message, int status = 0) {
        return WebResult{std::nullopt, WebError{kind, status, message}, {}};
    };
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const int code = status.isValid() ? status.toInt() : 0;
    if (status.isValid() && (code == 429 || code == 503)) {
        WebResult busy = failure(Kind::httpStatus, QStringLiteral("HTTP status %1").arg(code), code);
        busy.retryAfter = reply->rawHeader("Retry-After");
        return busy;
    }
    if (reply->error() == QNetworkReply::OperationCanceledError ||
        reply->error() == QNetworkReply::TimeoutError)
        return failure(Kind::timeout, QStringLiteral("no answer in time"));
    if (status.isValid() && (code < 200 || code > 299))
        return failure(Kind::httpStatus, QStringLiteral("HTTP status %1").arg(code), code);
    if (reply->error() != QNetworkReply::NoError || !status.isValid())
        return failure(Kind::network, reply->errorString());
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(reply->readAll(), &error);
    if (error.error != QJsonParseError::NoError)
        return failure(Kind::unreadableAnswer,
                       QStringLiteral("the answer is not JSON: ") + error.errorString());
    if (!document.isObject())
        return failure(Kind::unreadableAnswer, QStringLiteral("the answer is not a JSON object"));
    return WebResult{document.object(), {}, {}};
}

void startRequest(const QUrl &url, const QList<MetadataWebClient::Header> &headers,
                  std::chrono::milliseconds timeout, QObject *context, MetadataWebClient::ObjectCallback done)
{
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, MetadataWebClient::userAgent());
    bool carriesToken = false;
    for (const auto &[name, value] : headers) {
        request.setRawHeader(name, value);
        carriesToken = carriesToken || name.compare("Authorization", Qt::CaseInsensitive) == 0;
    }
    // A redirect to another host never takes the user's token along.
    if (carriesToken)
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                             QNetworkRequest::SameOriginRedirectPolicy);
    request.setTransferTimeout(int(timeout.count()));

    QNetworkReply *reply = threadManager()->get(request);
    QObject::connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
    QObject::connect(context, &QObject::destroyed, reply, &QNetworkReply::abort);
    // The abort above finishes the reply while context is still connected, inside its destructor:
    // the guard, already cleared by then, keeps done from running for an owner that is going.
    QObject::connect(reply, &QNetworkReply::finished, context,
                     [reply, guard = QPointer<QObject>(context), done = std::move(done)] {
                         if (guard)
                             done(resultOf(reply));
                     });
}

} // namespace

namespace MetadataWebClient {

QByteArray userAgent()
{
    return QByteArrayLiteral("Lyrafold/" LYRAFOLD_VERSION " ( https://lyrafold.invalid/contact )");
}

std::chrono::milliseconds retryDelay(const QByteArray &retryAfter)
{
    bool number = false;
    const qint64 seconds = retryAfter.trimmed().toLongLong(&number);
    const std::chrono::milliseconds asked = number && seconds >= 0 ? std::chrono::seconds(seconds) : 1000ms;
    return std::min(asked, retryCap().load());
}

void setRetryDelayCapForTesting(std::chrono::milliseconds cap)
{
    retryCap() = cap;
}

void getObject(const QUrl &url, const QList<Header> &headers, std::chrono::milliseconds timeout,
               QObject *context, ObjectCallback done)
{
    // A busy server is asked once more after the wait it asks for; its second answer is the answer.
    auto retryOnce = [url, headers, timeout, guard = QPointer<QObject>(context),
                      done = std::move(done)](const WebResult &result) mutable {
        const bool busy = !result && result.error.kind == WebError::Kind::httpStatus &&
                          (result.error.httpStatus == 429 || result.error.httpStatus == 503);
        if (!busy || !guard) {
            done(result);
            return;
        }
        QTimer::singleShot(retryDelay(result.retryAfter), guard.data(),
                           [url, headers, timeout, guard, done = std::move(done)]() mutable {
                               NetworkThrottle::waitMusicBrainz(
                                   guard, [url, headers, timeout, guard, done = std::move(done)]() mutable {
                                       startRequest(url, headers, timeout, guard, std::move(done));
                                   });
                           });
    };
    NetworkThrottle::waitMusicBrainz(context,
                                     [url, headers, timeout, context, done = std::move(retryOnce)]() mutable {
                                         startRequest(url, headers, timeout, context, std::move(done));
                                     });
}

QString encodedQuery(const QList<std::pair<QString, QString>> &items)
{
    QByteArray query;
    for (const auto &[key, value] : items) {
        if (!query.isEmpty())
            query += '&';
        query += QUrl::toPercentEncoding(key) + '=' + QUrl::toPercentEncoding(value);
    }
    return QString::fromLatin1(query);
}

void deliverLater(QObject *context, std::function<void()> fn)
{
    QMetaObject::invokeMethod(context, std::move(fn), Qt::QueuedConnection);
}

} // namespace MetadataWebClient
