#include "LoopbackHttpServer.h"

#include <QTcpSocket>

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
        buffer.remove(0, end + 4);

        Request request;
        request.arrival = std::chrono::steady_clock::now();
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        request.method = requestLine.value(0);
        request.target = requestLine.value(1);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon > 0)
                request.headers.insert(lines[i].left(colon).trimmed().toLower(),
                                       lines[i].mid(colon + 1).trimmed());
        }
        m_requests.append(request);

        const Response response = m_handler ? m_handler(request) : Response{404, {}};
        if (response.silent)
            continue;
        QByteArray reply =
            "HTTP/1.1 " + QByteArray::number(response.status) + (response.status < 300 ? " OK" : " Error") +
            "\r\nContent-Type: " + response.contentType +
            "\r\nContent-Length: " + QByteArray::number(response.body.size()) + "\r\n\r\n" + response.body;
        socket->write(reply);
    }
}
