#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <chrono>
#include <functional>
#include <optional>
#include <utility>

// Why a request gave no JSON object.
struct WebError {
    enum class Kind {
        network,          // no connection, refused, aborted, a TLS failure
        timeout,          // no answer within the request's time
        httpStatus,       // the server answered with a status outside 200-299
        unreadableAnswer, // a body that is not JSON, or whose top level is not an object
    };
    Kind kind = Kind::network;
    int httpStatus = 0; // for httpStatus
    QString message;    // for the log or a status line; English

    // The service could not be reached or would not serve: no connection, no answer in time, a busy
    // or failing server (429, 5xx). A bad answer from a reachable server is not.
    bool isUnreachable() const
    {
        return kind == Kind::network || kind == Kind::timeout ||
               (kind == Kind::httpStatus && (httpStatus == 429 || httpStatus >= 500));
    }
    bool operator==(const WebError &) const = default;
};

// The JSON object a request gave, or why it gave none.
struct WebResult {
    std::optional<QJsonObject> object;
    WebError error;        // meaningful only without an object
    QByteArray retryAfter; // the answer's Retry-After header, when it had one

    explicit operator bool() const { return object.has_value(); }
};

// The HTTP side of the metadata lookups: every GET waits on the shared NetworkThrottle, carries the
// application's User-Agent and a timeout, and yields a JSON object or the kind of failure (WebError).
// The enrichment service above it keeps its own rule: a failed lookup is an empty result toward the
// library, never an error.
namespace MetadataWebClient {

using Header = std::pair<QByteArray, QByteArray>;
using ObjectCallback = std::function<void(const WebResult &)>;

// "Lyrafold/<version> ( <contact address> )": the services ask every client to name itself and a
// way to reach its makers.
QByteArray userAgent();

// Waits on the throttle, then requests url with the extra headers; done runs in context's thread,
// never inside this call, and not at all when context is destroyed first (the request is then
// abandoned). A server that answers 429 or 503 is asked once more, after the wait its Retry-After
// asks for (see retryDelay()), again through the throttle.
void getObject(const QUrl &url, const QList<Header> &headers, std::chrono::milliseconds timeout,
               QObject *context, ObjectCallback done);

// A query string whose values are percent-encoded as query components: everything but letters,
// digits and "-._~" is escaped, "+", "&" and "=" included. QUrlQuery would leave "+" as it is, and
// servers read a raw "+" in a query as a blank.
QString encodedQuery(const QList<std::pair<QString, QString>> &items);

// The wait before the one retry: Retry-After's seconds, one second when it gives none or a date, and
// never more than ten seconds (or the cap tests set).
std::chrono::milliseconds retryDelay(const QByteArray &retryAfter);
void setRetryDelayCapForTesting(std::chrono::milliseconds cap);

// Runs fn in context's thread after the current call has returned, unless context is gone by then.
void deliverLater(QObject *context, std::function<void()> fn);

} // namespace MetadataWebClient
