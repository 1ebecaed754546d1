#pragma once

#include <QObject>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

// One Lyrafold per user profile. A later launch hands the files it was given to the running instance
// over a local socket and ends, so that opening a playlist file from the file manager reaches the
// window the user already has.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    enum class Role {
        Primary,     // no instance was running: this one now receives later launches
        Forwarded,   // a running instance took the files; this process should end
        Standalone,  // no instance runs, but no socket could be made: run alone
        NotAnswering // an instance runs (or starts) but did not answer: this one must not run beside it,
                     // writing the same files; ask again later or end
    };

    explicit SingleInstance(QObject *parent = nullptr);
    ~SingleInstance() override;

    // The socket lives in the user's private runtime folder, and its name depends on the runtime and
    // data folders in use, so a test or a separate profile never reaches the user's own instance.
    static QString serverPath();

    // Hands paths to a running instance, or becomes the instance that later launches reach.
    Role claim(const QStringList &paths, int timeoutMs = 3000);

Q_SIGNALS:
    // A later launch was started with these absolute paths (none when it was started plainly).
    void launchedAgain(const QStringList &paths);

private:
    enum class Delivery { Delivered, NoServer, NoAnswer };
    static Delivery forward(const QString &serverPath, const QStringList &paths, int timeoutMs);
    void acceptConnections();
    void readRequest(QLocalSocket *socket);

    QLocalServer *m_server = nullptr;
};
