#include "PrivateBus.h"

#include "TestHarness.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

PrivateBus::~PrivateBus()
{
    stop();
}

bool PrivateBus::start(const QString &socketPath)
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (program.isEmpty())
        return false;
    m_socket = socketPath;
    const QString config = socketPath + QStringLiteral(".conf");
    TestHarness::writeFile(config,
                           "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
                           "1.0//EN\" \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">"
                           "<busconfig><type>session</type><listen>unix:path=" +
                               QFile::encodeName(socketPath) +
                               "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                               "<allow send_destination=\"*\"/><allow receive_sender=\"*\"/>"
                               "<allow own=\"*\"/></policy></busconfig>");
    m_daemon.start(program, {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                             QStringLiteral("--print-address")});
    m_running = m_daemon.waitForReadyRead(TestHarness::hangGuardMs);
    return m_running;
}

void PrivateBus::stop()
{
    if (m_daemon.state() == QProcess::NotRunning)
        return;
    m_daemon.kill();
    m_daemon.waitForFinished();
    m_running = false;
}
