#include "platform/power/KeepAwake.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>

#include <unistd.h>

namespace {

KeepAwakeBackend *sharedOverride = nullptr;

QString busError(const QDBusConnection &bus, const char *name)
{
    const QString detail = bus.lastError().message();
    return QStringLiteral("no %1 bus").arg(QLatin1String(name)) +
           (detail.isEmpty() ? QString() : QStringLiteral(" (") + detail + QLatin1Char(')'));
}

QString replyError(const QDBusError &error)
{
    return error.name() + QStringLiteral(": ") + error.message();
}

QString applicationName()
{
    const QString name = QCoreApplication::applicationName();
    return name.isEmpty() ? QStringLiteral("Lyrafold") : name;
}

} // namespace

// ---- Backends

KeepAwakeBackend &KeepAwakeBackend::shared()
{
    if (sharedOverride)
        return *sharedOverride;
    static DBusKeepAwakeBackend *desktop = new DBusKeepAwakeBackend(QCoreApplication::instance());
    return *desktop;
}

void KeepAwakeBackend::setSharedForTesting(KeepAwakeBackend *backend)
{
    sharedOverride = backend;
}

DBusKeepAwakeBackend::DBusKeepAwakeBackend(QObject *parent) : QObject(parent) {}

DBusKeepAwakeBackend::~DBusKeepAwakeBackend()
{
    for (const int fd : std::as_const(m_sleepInhibitors))
        ::close(fd);
}

void DBusKeepAwakeBackend::acquire(KeepAwakeMeasure measure, const QString &reason, Granted done)
{
    const bool system = measure == KeepAwakeMeasure::systemSleep;
    QDBusConnection bus = system ? QDBusConnection::systemBus() : QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        done(std::nullopt, busError(bus, system ? "system" : "session"));
        return;
    }
    QDBusMessage call;
    if (system) {
        call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
        // Idle only: a suspend the user asks for (the lid, the Suspend menu entry) still happens.
        call << QStringLiteral("idle") << applicationName() << reason << QStringLiteral("block");
    } else {
        call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/org/freedesktop/ScreenSaver"),
            QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("Inhibit"));
        call << applicationName() << reason;
    }
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, callTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, system, done = std::move(done)](QDBusPendingCallWatcher *call) {
                call->deleteLater();
                if (system) {
                    const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *call;
                    if (reply.isError()) {
                        done(std::nullopt, replyError(reply.error()));
                        return;
                    }
                    // The reply closes its own copy; the inhibitor lives while ours is open.
                    const int fd = ::dup(reply.value().fileDescriptor());
                    if (fd < 0) {
                        done(std::nullopt, QStringLiteral("the inhibitor came without a file descriptor"));
                        return;
                    }
                    const Handle handle = m_nextHandle++;
                    m_sleepInhibitors.insert(handle, fd);
                    done(handle, QString());
                    return;
                }
                const QDBusPendingReply<uint> reply = *call;
                if (reply.isError())
                    done(std::nullopt, replyError(reply.error()));
                else
                    done(Handle(reply.value()), QString());
            });
}

void DBusKeepAwakeBackend::release(KeepAwakeMeasure measure, Handle handle, Released done)
{
    if (measure == KeepAwakeMeasure::systemSleep) {
        const auto found = m_sleepInhibitors.constFind(handle);
        if (found == m_sleepInhibitors.cend()) {
            done(QStringLiteral("no such inhibitor"));
            return;
        }
        const int fd = *found;
        m_sleepInhibitors.erase(found);
        done(::close(fd) == 0 ? QString() : QString::fromLocal8Bit(strerror(errno)));
        return;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        done(busError(bus, "session"));
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/org/freedesktop/ScreenSaver"),
        QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("UnInhibit"));
    call << uint(handle);
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, callTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [done = std::move(done)](QDBusPendingCallWatcher *call) {
                call->deleteLater();
                done(call->isError() ? replyError(call->error()) : QString());
            });
}

// ---- KeepAwake

struct KeepAwake::Shared {
    struct Slot {
        State state = State::released;
        KeepAwakeBackend::Handle handle = 0;
        bool releaseWhenGranted = false;
    };

    KeepAwakeBackend *backend = nullptr;
    Reasons reasons;
    Log log;
    Slot system;
    Slot display;

    Slot &slot(KeepAwakeMeasure measure)
    {
        return measure == KeepAwakeMeasure::systemSleep ? system : display;
    }

    void write(const QString &line) const
    {
        if (log)
            log(line);
    }

    static QString name(KeepAwakeMeasure measure)
    {
        return measure == KeepAwakeMeasure::systemSleep ? QStringLiteral("System sleep assertion")
                                                        : QStringLiteral("Display sleep assertion");
    }

    static QString lowerName(KeepAwakeMeasure measure)
    {
        return measure == KeepAwakeMeasure::systemSleep ? QStringLiteral("system sleep assertion")
                                                        : QStringLiteral("display sleep assertion");
    }

    static void giveBack(const std::shared_ptr<Shared> &shared, KeepAwakeMeasure measure,
                         KeepAwakeBackend::Handle handle)
    {
        shared->backend->release(measure, handle, [shared, measure](const QString &error) {
            if (error.isEmpty())
                shared->write(name(measure) + QStringLiteral(" released"));
            else
                shared->write(QStringLiteral("Failed to release ") + lowerName(measure) +
                              QStringLiteral(": ") + error);
        });
    }
};

KeepAwake::KeepAwake(Reasons reasons, Log log, KeepAwakeBackend *backend)
    : m_shared(std::make_shared<Shared>())
{
    m_shared->backend = backend ? backend : &KeepAwakeBackend::shared();
    m_shared->reasons = std::move(reasons);
    m_shared->log = std::move(log);
}

KeepAwake::~KeepAwake()
{
    release();
}

void KeepAwake::hold()
{
    for (const KeepAwakeMeasure measure : {KeepAwakeMeasure::systemSleep, KeepAwakeMeasure::displaySleep}) {
        Shared::Slot &slot = m_shared->slot(measure);
        if (slot.state == State::requested)
            slot.releaseWhenGranted = false;
        if (slot.state != State::released)
            continue;
        slot.state = State::requested;
        slot.releaseWhenGranted = false;
        const QString &reason = measure == KeepAwakeMeasure::systemSleep ? m_shared->reasons.systemSleep
                                                                         : m_shared->reasons.displaySleep;
        // The answer keeps the state alive: a grant that comes after the owner has gone is given back.
        std::shared_ptr<Shared> shared = m_shared;
        m_shared->backend->acquire(
            measure, reason,
            [shared, measure](std::optional<KeepAwakeBackend::Handle> handle, const QString &error) {
                Shared::Slot &slot = shared->slot(measure);
                if (!handle) {
                    slot.state = State::released;
                    shared->write(QStringLiteral("Failed to create ") + Shared::lowerName(measure) +
                                  QStringLiteral(": ") + error);
                    return;
                }
                shared->write(Shared::name(measure) + QStringLiteral(" created"));
                if (slot.releaseWhenGranted) {
                    slot.state = State::released;
                    Shared::giveBack(shared, measure, *handle);
                    return;
                }
                slot.state = State::held;
                slot.handle = *handle;
            });
    }
}

void KeepAwake::release()
{
    for (const KeepAwakeMeasure measure : {KeepAwakeMeasure::systemSleep, KeepAwakeMeasure::displaySleep}) {
        Shared::Slot &slot = m_shared->slot(measure);
        if (slot.state == State::requested) {
            slot.releaseWhenGranted = true;
        } else if (slot.state == State::held) {
            slot.state = State::released;
            Shared::giveBack(m_shared, measure, slot.handle);
        }
    }
}

KeepAwake::State KeepAwake::stateForTesting(KeepAwakeMeasure measure) const
{
    return m_shared->slot(measure).state;
}
