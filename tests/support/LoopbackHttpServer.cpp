#include "LoopbackHttpServer.h"

#include <QTcpSocket>
#include <QTimer>

QString LoopbackHttpServer::Request::queryValue(const QString &key) const
{
    const qsizetype mark = target.indexOf('?');
    if (mark < 0)
        return {};
    // Split by hand: QUrlQuery would turn an encoded "+" back into a raw one and so hide the encoding.
    for (const QByteArray &item : target.mid(mark + 1).split('&')) {
        const qsizetype equals = item.indexOf('=');
        if (QByteArray::fromPercentEncoding(item.left(equals)) == key.toUtf8())
            return QString::fromUtf8(QByteArray::fromPercentEncoding(item.mid(equals + 1)));
    }
    return {};
}

namespace {

QHash<QByteArray, QByteArray> headerLines(const QList<QByteArray> &lines)
{
    QHash<QByteArray, QByteArray> headers;
    for (const QByteArray &line : lines) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
    }
    return headers;
}

} // namespace

QHash<QByteArray, LoopbackHttpServer::FormPart> LoopbackHttpServer::Request::formParts() const
{
    QHash<QByteArray, FormPart> parts;
    const QByteArray contentType = headers.value("content-type");
    const qsizetype at = contentType.indexOf("boundary=");
    if (at < 0)
        return parts;
    QByteArray boundary = contentType.mid(at + 9);
    if (boundary.startsWith('"'))
        boundary = boundary.mid(1, boundary.indexOf('"', 1) - 1);
    const QByteArray delimiter = "--" + boundary;
    // Each part lies between "--boundary\r\n" and "\r\n--boundary".
    for (qsizetype start = body.indexOf(delimiter); start >= 0;) {
        start += delimiter.size();
        if (body.mid(start, 2) == "--")
            break;
        start += 2;
        const qsizetype end = body.indexOf("\r\n" + delimiter, start);
        if (end < 0)
            break;
        const qsizetype headerEnd = body.indexOf("\r\n\r\n", start);
        if (headerEnd < 0 || headerEnd > end)
            break;
        FormPart part;
        part.headers = headerLines(body.mid(start, headerEnd - start).split('\n'));
        part.body = body.mid(headerEnd + 4, end - headerEnd - 4);
        const QByteArray disposition = part.headers.value("content-disposition");
        const qsizetype name = disposition.indexOf("name=\"");
        if (name >= 0) {
            const qsizetype nameStart = name + 6;
            parts.insert(disposition.mid(nameStart, disposition.indexOf('"', nameStart) - nameStart), part);
        }
        start = end + 2;
    }
    return parts;
}

LoopbackHttpServer::LoopbackHttpServer(QObject *parent) : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &LoopbackHttpServer::accept);
}

bool LoopbackHttpServer::listen()
{
    return m_server.listen(QHostAddress::LocalHost, 0);
}

QUrl LoopbackHttpServer::baseUrl() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()));
}

void LoopbackHttpServer::accept()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_buffers.remove(socket);
            m_abandonedAnswers += m_holdingAnswer.remove(socket);
            socket->deleteLater();
        });
    }
}

void LoopbackHttpServer::readFrom(QTcpSocket *socket)
{
    QByteArray &buffer = m_buffers[socket];
    buffer += socket->readAll();
    qsizetype end;
    while ((end = buffer.indexOf("\r\n\r\n")) >= 0) {
        const QList<QByteArray> lines = buffer.left(end).split('\n');
        Request request;
        request.headers = headerLines(lines.mid(1));
        const qsizetype bodySize = request.headers.value("content-length").toLongLong();
        if (buffer.size() < end + 4 + bodySize)
            return; // the rest of the body is still on its way
        request.body = buffer.mid(end + 4, bodySize);
        buffer.remove(0, end + 4 + bodySize);

        request.arrival = m_clock->now();
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        request.method = requestLine.value(0);
        request.target = requestLine.value(1);
        m_requests.append(request);

        const Response response = m_handler ? m_handler(request) : Response{404, {}};
        if (response.silent)
            continue;
        if (response.hangUp) {
            socket->abort();
            return;
        }
        QByteArray reply =
            "HTTP/1.1 " + QByteArray::number(response.status) + (response.status < 300 ? " OK" : " Error") +
            "\r\nContent-Type: " + response.contentType +
            (response.location.isEmpty() ? QByteArray() : "\r\nLocation: " + response.location) +
            (response.retryAfter.isEmpty() ? QByteArray() : "\r\nRetry-After: " + response.retryAfter) +
            "\r\nContent-Length: " + QByteArray::number(response.body.size()) + "\r\n\r\n" + response.body;
        if (response.delay.count() > 0) {
            m_holdingAnswer.insert(socket);
            QTimer::singleShot(response.delay, socket, [this, socket, reply] {
                m_holdingAnswer.remove(socket);
                socket->write(reply);
            });
        } else
            socket->write(reply);
    }
}
