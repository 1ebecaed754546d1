#pragma once

#include <QObject>

#include <array>
#include <csignal>

class QSocketNotifier;

// The signals with which the system asks a process to end (SIGTERM from a shutdown or a logout, SIGHUP
// when its terminal or session goes, SIGINT from Ctrl+C), told on the thread that made this object as
// quitRequested(), so that they end the program as its Quit does: what is being typed kept, the saves
// written. The handler only writes a byte to a pipe, which is all a signal handler may safely do.
// While it lives it holds those signals; the handlers that were there before come back when it goes.
class QuitSignals : public QObject {
    Q_OBJECT

public:
    explicit QuitSignals(QObject *parent = nullptr);
    ~QuitSignals() override;

Q_SIGNALS:
    void quitRequested();

private:
    static constexpr std::array<int, 3> handled{SIGTERM, SIGHUP, SIGINT};

    void readPipe();

    int m_readEnd = -1;
    int m_writeEnd = -1;
    // The pipe of the instance made before this one, which the handler writes to again once this goes.
    int m_previousWriteEnd = -1;
    std::array<struct sigaction, handled.size()> m_previousActions{};
    QSocketNotifier *m_notifier = nullptr;
};
