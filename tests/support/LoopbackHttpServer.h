#pragma once

#include "core/common/SteadyClock.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QTcpServer>
#include <QUrl>

#include <chrono>
#include <functional>

class QTcpSocket;

// A small HTTP/1.1 server on 127.0.0.1 for network tests: it records every request with its arrival
// time, on the system's clock or the one the test gives it, and answers with what the test's handler
// returns. It runs in the test's own thread.
class LoopbackHttpServer : public QObject {
public:
    // One part of a multipart/form-data body.
    struct FormPart {
        QHash<QByteArray, QByteArray> headers; // names in lower case
        QByteArray body;
    };

    struct Request {
        QByteArray method;
        QByteArray target;                     // as sent: path and query, still percent-encoded
        QHash<QByteArray, QByteArray> headers; // names in lower case
        QByteArray body;                       // as long as its Content-Length says
        SteadyClock::TimePoint arrival;

        QByteArray path() const
        {
            const qsizetype query = target.indexOf('?');
            return query < 0 ? target : target.left(query);
        }
        // The decoded value of a query item, or a null text when it is missing.
        QString queryValue(const QString &key) const;
        // The parts of a multipart/form-data body by their field name.
        QHash<QByteArray, FormPart> formParts() const;
    };

    struct Response {
        int status = 200;
        QByteArray body;
        QByteArray contentType = "application/json";
        bool silent = false;                // never answer, so that the client times out
        std::chrono::milliseconds delay{0}; // answer this much later
        QByteArray location{};              // sent as the Location header when set (a redirect)
        QByteArray retryAfter{};            // sent as the Retry-After header when set
        bool hangUp = false;                // close the connection unanswered, as a host that went away
    };

    using Handler = std::function<Response(const Request &)>;

    explicit LoopbackHttpServer(QObject *parent = nullptr);

    // Listens on a free port of 127.0.0.1; false when that fails.
    bool listen();
    QUrl baseUrl() const;

    void setHandler(Handler handler) { m_handler = std::move(handler); }
    void setClock(const SteadyClock &clock) { m_clock = &clock; }
    const QList<Request> &requests() const { return m_requests; }
    // How many delayed answers were never sent because the client closed the connection first.
    int abandonedAnswers() const { return m_abandonedAnswers; }
    void clearRequests() { m_requests.clear(); }

    static Response json(QByteArray body, int status = 200) { return {status, std::move(body)}; }

private:
    void accept();
    void readFrom(QTcpSocket *socket);

    QTcpServer m_server;
    Handler m_handler;
    const SteadyClock *m_clock = &SteadyClock::system();
    QList<Request> m_requests;
    QHash<QTcpSocket *, QByteArray> m_buffers;
    QSet<QTcpSocket *> m_holdingAnswer;
    int m_abandonedAnswers = 0;
};
