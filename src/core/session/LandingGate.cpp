#include "core/session/LandingGate.h"

#include "core/common/NotificationBus.h"

#include <QCoreApplication>

LandingGate::LandingGate(QObject *parent) : QObject(parent)
{
    // Made with the library, before any window: told of a quit before a window's field gives its text.
    connect(&NotificationBus::instance(), &NotificationBus::quitting, this, [this] { m_quitting = true; });
    connect(&NotificationBus::instance(), &NotificationBus::quitCancelled, this, [this] {
        m_quitting = false;
        landWaiting();
    });
    if (QCoreApplication *app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &LandingGate::dropWaiting);
}

LandingGate::~LandingGate() = default;

void LandingGate::fieldOpened()
{
    ++m_openFields;
}

void LandingGate::fieldClosed()
{
    if (m_openFields == 0)
        return;
    if (--m_openFields == 0)
        landWaiting();
}

bool LandingGate::holdsBack(AtQuit atQuit) const
{
    return m_openFields > 0 || (atQuit == AtQuit::drop && m_quitting);
}

void LandingGate::land(QObject *receiver, std::function<void()> landing, AtQuit atQuit,
                       std::function<void()> dropped)
{
    // While what waited lands, what arrives meanwhile (from a landing, or from the event loop of a
    // question one of them asks) lands after it.
    if (holdsBack(atQuit) || m_landing) {
        m_waiting.append({receiver, std::move(landing), atQuit, std::move(dropped)});
        return;
    }
    if (receiver)
        landing();
    else if (dropped)
        dropped();
}

void LandingGate::landWaiting()
{
    if (m_landing)
        return; // the loop below takes up what arrived
    m_landing = true;
    for (qsizetype i = 0; i < m_waiting.size();) {
        if (holdsBack(m_waiting.at(i).atQuit)) {
            ++i;
            continue;
        }
        const Waiting next = m_waiting.takeAt(i);
        if (next.receiver)
            next.landing();
        else if (next.dropped)
            next.dropped();
    }
    m_landing = false;
    if (m_waiting.isEmpty())
        Q_EMIT settled();
}

void LandingGate::dropWaiting()
{
    for (const Waiting &dropped : std::exchange(m_waiting, {})) {
        if (dropped.dropped)
            dropped.dropped();
    }
    Q_EMIT settled();
}
