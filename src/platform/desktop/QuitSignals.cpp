#include "platform/desktop/QuitSignals.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace {

std::atomic<int> writeEnd{-1};

void requestQuit(int)
{
    const int saved = errno;
    const char byte = 1;
    // A full pipe already holds a request: the byte may go.
    [[maybe_unused]] const ssize_t written = ::write(writeEnd.load(), &byte, 1);
    errno = saved;
}

} // namespace

QuitSignals::QuitSignals(QObject *parent) : QObject(parent)
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        return; // the signals keep their defaults: they end the program at once, as they did
    m_readEnd = ends[0];
    m_writeEnd = ends[1];
    m_previousWriteEnd = writeEnd.exchange(m_writeEnd);
    m_notifier = new QSocketNotifier(m_readEnd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &QuitSignals::readPipe);
    struct sigaction action {};
    action.sa_handler = requestQuit;
    sigemptyset(&action.sa_mask);
    // Calls the signal cuts short are made again, so the rest of the program never sees it.
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < handled.size(); ++i)
        ::sigaction(handled[i], &action, &m_previousActions[i]);
}

QuitSignals::~QuitSignals()
{
    if (m_readEnd < 0)
        return;
    for (std::size_t i = 0; i < handled.size(); ++i)
        ::sigaction(handled[i], &m_previousActions[i], nullptr);
    writeEnd.store(m_previousWriteEnd);
    ::close(m_writeEnd);
    ::close(m_readEnd);
}

void QuitSignals::readPipe()
{
    char bytes[64];
    bool requested = false;
    while (::read(m_readEnd, bytes, sizeof bytes) > 0)
        requested = true;
    if (requested)
        Q_EMIT quitRequested();
}
