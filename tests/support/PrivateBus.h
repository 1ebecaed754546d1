#pragma once

#include <QProcess>
#include <QString>

// A D-Bus daemon of a test's own, listening on a socket of the temporary home (see
// TestHarness::sessionBusSocket() and systemBusSocket()), without the activation of real services,
// so that only the fakes a test registers can answer. Stopped when it goes.
class PrivateBus {
public:
    PrivateBus() = default;
    ~PrivateBus();
    PrivateBus(const PrivateBus &) = delete;
    PrivateBus &operator=(const PrivateBus &) = delete;

    // False when dbus-daemon is not installed or does not start.
    bool start(const QString &socketPath);
    bool isRunning() const { return m_running; }
    QString address() const { return QStringLiteral("unix:path=") + m_socket; }
    void stop();

private:
    QProcess m_daemon;
    QString m_socket;
    bool m_running = false;
};
