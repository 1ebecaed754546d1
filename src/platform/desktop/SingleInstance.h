#pragma once

#include <QHash>
#include <QObject>
#include <QStringList>

#include <memory>

class QLocalServer;
class QLocalSocket;
class QLockFile;

// One Lyrafold per user profile. A later launch hands the files it was given to the running instance
// over a local socket and ends, so that opening a playlist file from the file manager reaches the
// window the user already has. Whatever happens to the socket, the running instance also holds a lock
// in the data folder for as long as it runs, so that no second process ever writes the same files.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    enum class Role {
        Primary,      // no instance was running: this one now receives later launches
        Forwarded,    // a running instance took the files; this process should end
        Standalone,   // no instance runs, but no socket could be made: run alone
        NotAnswering, // an instance runs (or starts) but did not answer: this one must not run beside
                      // it, writing the same files; ask again later or end
        DataInUse,    // no instance answers at the socket, yet another running process of this computer
                      // holds the data folder (one started with another runtime folder, or one that could
                      // make no socket): this one must not run; dataHolder() names it. A lock another
                      // computer left in the folder never gives this.
    };

    explicit SingleInstance(QObject *parent = nullptr);
    ~SingleInstance() override;

    // The socket's path, for tests that stand a server of their own there.
    static QString serverPathForTesting() { return serverPath(); }

    // Hands paths to a running instance, or becomes the instance that later launches reach.
    Role claim(const QStringList &paths, int timeoutMs = 3000);

    // The process that holds the data folder, after claim() gave DataInUse; 0 when it is not known.
    qint64 dataHolder() const { return m_dataHolder; }

Q_SIGNALS:
    // A later launch was started with these absolute paths (none when it was started plainly).
    void launchedAgain(const QStringList &paths);

private:
    // The socket lives in the user's private runtime folder, and its name depends on the runtime and
    // data folders in use, so a test or a separate profile never reaches the user's own instance. A
    // runtime folder too deep for a socket's address gives a private folder of ours under /tmp
    // instead; empty when neither can be used.
    static QString serverPath();

    enum class Delivery { Delivered, NoServer, NoAnswer };
    static Delivery forward(const QString &serverPath, const QStringList &paths, int timeoutMs);
    bool holdDataFolder();
    // On quit: the lock is removed only when it still names this process on this computer.
    void releaseDataFolder();
    void acceptConnections();
    void readRequest(QLocalSocket *socket);

    QLocalServer *m_server = nullptr;
    std::unique_ptr<QLockFile> m_dataLock;
    QString m_dataLockPath;
    qint64 m_dataHolder = 0;
    // Requests acknowledged and waiting for their sender's confirmation.
    QHash<QLocalSocket *, QStringList> m_unconfirmed;
};
