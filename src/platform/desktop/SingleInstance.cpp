#include "platform/desktop/SingleInstance.h"

#include "core/common/AppPaths.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTimer>

#include <sys/un.h>

#include <vector>

namespace {

constexpr quint32 requestMagic = 0x4c59464c; // "LYFL"
constexpr char acknowledgement = 'k';
constexpr char confirmation = 'c';
// A list of file paths; anything larger is not a launch of ours.
constexpr qint64 maxRequestSize = 4 * 1024 * 1024;
constexpr quint32 maxPaths = 100000;
constexpr int requestTimeoutMs = 5000;

QString baseName()
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    const QByteArray key = (runtime + QLatin1Char('\n') + AppPaths::dataHome()).toUtf8();
    const QByteArray hash = QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(16);
    return QStringLiteral("lyrafold-") + QString::fromLatin1(hash);
}

QString basePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + QLatin1Char('/') + baseName();
}

// What a lock file says of its holder, in QLockFile's lines: process, application, host, machine, boot.
struct LockHolder {
    qint64 pid = 0;
    QByteArray host; // empty when the file could not be read or names none
    QByteArray machine;
};

LockHolder lockHolder(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // A few lines, read within a bound.
    const QList<QByteArray> lines = file.read(4096).split('\n');
    if (lines.size() < 3)
        return {};
    return {lines.at(0).toLongLong(), lines.at(2), lines.value(3)};
}

// Whether the holder is on another computer: by the machine's identity where both know one, else by the
// host name (as the lock itself tells a process of this computer).
bool onAnotherComputer(const LockHolder &holder)
{
    const QByteArray ours = QSysInfo::machineUniqueId();
    if (!holder.machine.isEmpty() && !ours.isEmpty())
        return holder.machine != ours;
    return holder.host != QSysInfo::machineHostName().toUtf8();
}

bool lockedOnAnotherComputer(const QString &path)
{
    const LockHolder holder = lockHolder(path);
    return !holder.host.isEmpty() && onAnotherComputer(holder);
}

bool namesThisProcess(const QString &path)
{
    const LockHolder holder = lockHolder(path);
    return !holder.host.isEmpty() && holder.pid == QCoreApplication::applicationPid() &&
           !onAnotherComputer(holder);
}

// QLockFile removes its file when it lets go, whatever the file says by then; a lock that is no longer
// ours is let go by keeping it, open, until the process ends.
void keepUntilExit(std::unique_ptr<QLockFile> lock)
{
    static auto *const kept = new std::vector<std::unique_ptr<QLockFile>>;
    kept->push_back(std::move(lock));
}

// A data folder that a sync tool carries to the user's other computers carries the lock too: a lock
// another computer wrote names a process this one cannot see, so it never stops a start here (the
// files' guards keep the changes of writers on two computers). It is replaced by this start's own, so
// that a later start on this computer is refused while this one runs. Removed under Qt's own ".rmlock",
// so that two starts never remove each other's new lock.
bool takeOverForeignLock(const QString &path)
{
    QLockFile remover(path + QStringLiteral(".rmlock"));
    if (!remover.tryLock(1000) || !lockedOnAnotherComputer(path))
        return false;
    return QFile::remove(path);
}

// A socket's address holds a path of at most this many bytes, its terminating NUL included.
bool fitsSocketAddress(const QString &path)
{
    return QFile::encodeName(path).size() < qsizetype(sizeof(sockaddr_un::sun_path));
}

} // namespace

SingleInstance::SingleInstance(QObject *parent) : QObject(parent) {}

SingleInstance::~SingleInstance()
{
    releaseDataFolder();
}

// Another computer may have taken the lock over while this instance ran (a sync tool carries the data
// folder, and a start there replaces a lock it cannot check): it then names that computer's process,
// and removing it would let a second start run beside that one. Only a write that lands between the
// look and the removal, a moment later, is still lost: nothing removes a file by what it says.
void SingleInstance::releaseDataFolder()
{
    if (!m_dataLock)
        return;
    if (namesThisProcess(m_dataLockPath))
        m_dataLock.reset();
    else
        keepUntilExit(std::move(m_dataLock));
}

QString SingleInstance::serverPath()
{
    const QString inRuntime = basePath() + QStringLiteral(".socket");
    if (fitsSocketAddress(inRuntime))
        return inRuntime;
    // A folder of someone else's, or a link planted under our name, must never receive the paths.
    const std::optional<QString> folder = AppPaths::privateFolderIn(QStringLiteral("/tmp"));
    const QString fallback =
        folder ? *folder + QLatin1Char('/') + baseName() + QStringLiteral(".socket") : QString();
    return fitsSocketAddress(fallback) ? fallback : QString();
}

SingleInstance::Role SingleInstance::claim(const QStringList &paths, int timeoutMs)
{
    const QString server = serverPath();
    // Two launches at once must not both find no server and both listen: the lock lets one look and
    // listen at a time. A lock left by a crashed launch is taken over once its process is gone.
    QLockFile lock(basePath() + QStringLiteral(".lock"));
    if (!lock.tryLock(timeoutMs))
        return Role::NotAnswering;

    switch (server.isEmpty() ? Delivery::NoServer : forward(server, paths, timeoutMs)) {
    case Delivery::Delivered:
        return Role::Forwarded;
    case Delivery::NoAnswer:
        return Role::NotAnswering;
    case Delivery::NoServer:
        break;
    }
    // No instance answers at this socket, yet one may run that this start cannot reach.
    if (!holdDataFolder())
        return Role::DataInUse;

    if (server.isEmpty())
        return Role::Standalone;
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

bool SingleInstance::holdDataFolder()
{
    QDir().mkpath(AppPaths::applicationSupportDir());
    const QString path = AppPaths::instanceLockPath();
    auto dataLock = std::make_unique<QLockFile>(path);
    // An instance holds the lock for as long as it runs: only one whose process is gone is stale (which
    // the lock tells of a process of this computer only).
    dataLock->setStaleLockTime(0);
    bool locked = dataLock->tryLock(0);
    if (!locked && dataLock->error() == QLockFile::LockFailedError && takeOverForeignLock(path))
        locked = dataLock->tryLock(0);
    if (locked) {
        m_dataLock = std::move(dataLock);
        m_dataLockPath = path;
        return true;
    }
    if (dataLock->error() != QLockFile::LockFailedError)
        return true; // a folder that holds no lock file cannot be written by anyone either
    qint64 pid = 0;
    QString host;
    QString application;
    m_dataHolder = dataLock->getLockInfo(&pid, &host, &application) ? pid : 0;
    return false;
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
    if (!socket.getChar(&answer) || answer != acknowledgement)
        return Delivery::NoAnswer;
    // The instance acts on the files only once told that this launch is still here and ends now: a
    // request whose sender gave up (the instance was stopped and came back late) is dropped, so that
    // the files are not opened again when the user asks once more.
    socket.putChar(confirmation);
    return socket.waitForBytesWritten(timeoutMs) || socket.bytesToWrite() == 0 ? Delivery::Delivered
                                                                               : Delivery::NoAnswer;
}

void SingleInstance::acceptConnections()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
            m_unconfirmed.remove(socket);
            socket->deleteLater();
        });
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequest(socket); });
        // A client that never completes its request is dropped; what it did send is read first, since an
        // instance that was stopped for a while wakes to the bytes and the timeout at once.
        QTimer::singleShot(requestTimeoutMs, socket, [this, socket] {
            if (socket->bytesAvailable() > 0)
                readRequest(socket);
            socket->abort();
        });
    }
}

void SingleInstance::readRequest(QLocalSocket *socket)
{
    if (const auto unconfirmed = m_unconfirmed.constFind(socket); unconfirmed != m_unconfirmed.cend()) {
        char answer = 0;
        if (!socket->getChar(&answer))
            return;
        const QStringList paths = *unconfirmed;
        m_unconfirmed.remove(socket);
        socket->disconnectFromServer();
        if (answer == confirmation)
            Q_EMIT launchedAgain(paths);
        return;
    }
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
    m_unconfirmed.insert(socket, paths);
    socket->putChar(acknowledgement);
    socket->flush();
}
