#include "platform/desktop/SingleInstance.h"

#include "core/common/AppPaths.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QTimer>

namespace {

constexpr quint32 requestMagic = 0x4c59464c; // "LYFL"
constexpr char acknowledgement = 'k';
// A list of file paths; anything larger is not a launch of ours.
constexpr qint64 maxRequestSize = 4 * 1024 * 1024;
constexpr quint32 maxPaths = 100000;
constexpr int requestTimeoutMs = 5000;

QString basePath()
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    const QByteArray key = (runtime + QLatin1Char('\n') + AppPaths::dataHome()).toUtf8();
    const QByteArray hash = QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(16);
    return runtime + QStringLiteral("/lyrafold-") + QString::fromLatin1(hash);
}

} // namespace

SingleInstance::SingleInstance(QObject *parent) : QObject(parent) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::serverPath()
{
    return basePath() + QStringLiteral(".socket");
}

SingleInstance::Role SingleInstance::claim(const QStringList &paths, int timeoutMs)
{
    const QString server = serverPath();
    // Two launches at once must not both find no server and both listen: the lock lets one look and
    // listen at a time. A lock left by a crashed launch is taken over once its process is gone.
    QLockFile lock(basePath() + QStringLiteral(".lock"));
    if (!lock.tryLock(timeoutMs))
        return Role::NotAnswering;

    switch (forward(server, paths, timeoutMs)) {
    case Delivery::Delivered:
        return Role::Forwarded;
    case Delivery::NoAnswer:
        return Role::NotAnswering;
    case Delivery::NoServer:
        break;
    }

    // Nobody listens at the name, so a socket file there was left by an instance that crashed.
    QLocalServer::removeServer(server);
    auto *localServer = new QLocalServer(this);
    localServer->setSocketOptions(QLocalServer::UserAccessOption);
    if (!localServer->listen(server)) {
        delete localServer;
        return Role::Standalone;
    }
    m_server = localServer;
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
    return Role::Primary;
}

SingleInstance::Delivery SingleInstance::forward(const QString &serverPath, const QStringList &paths,
                                                 int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(serverPath);
    if (!socket.waitForConnected(timeoutMs))
        return Delivery::NoServer;

    QByteArray request;
    QDataStream out(&request, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << requestMagic << quint32(paths.size());
    for (const QString &path : paths)
        out << path;
    socket.write(request);
    // Only the answer tells that the files arrived; without it they would be lost with this process.
    char answer = 0;
    while (socket.bytesAvailable() == 0) {
        if (!socket.waitForReadyRead(timeoutMs))
            return Delivery::NoAnswer;
    }
    return socket.getChar(&answer) && answer == acknowledgement ? Delivery::Delivered : Delivery::NoAnswer;
}

void SingleInstance::acceptConnections()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequest(socket); });
        // A client that never completes its request is dropped.
        QTimer::singleShot(requestTimeoutMs, socket, [socket] { socket->abort(); });
    }
}

void SingleInstance::readRequest(QLocalSocket *socket)
{
    if (socket->bytesAvailable() > maxRequestSize) {
        socket->abort();
        return;
    }
    QDataStream in(socket);
    in.setVersion(QDataStream::Qt_6_0);
    in.startTransaction();
    quint32 magic = 0;
    quint32 count = 0;
    in >> magic >> count;
    // Checked before anything is read by the count, so a stranger's bytes never size an allocation.
    if (in.status() == QDataStream::Ok && (magic != requestMagic || count > maxPaths)) {
        socket->abort();
        return;
    }
    QStringList paths;
    for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        QString path;
        in >> path;
        paths.append(path);
    }
    if (!in.commitTransaction()) {
        if (in.status() == QDataStream::ReadCorruptData)
            socket->abort();
        return;
    }
    socket->putChar(acknowledgement);
    socket->flush();
    socket->disconnectFromServer();
    Q_EMIT launchedAgain(paths);
}
