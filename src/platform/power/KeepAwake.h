#pragma once

#include <QHash>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

// What keeps the computer from idling: idle system sleep (the logind "idle" inhibitor on the system
// bus) and the screen saver with display sleep (org.freedesktop.ScreenSaver on the session bus).
enum class KeepAwakeMeasure { systemSleep, displaySleep };

// Grants and takes back the measures. Answers come on the caller's thread, through its event loop or
// at once; each callback runs exactly once.
class KeepAwakeBackend {
public:
    using Handle = quint64;
    // A handle on success, or the reason for the refusal.
    using Granted = std::function<void(std::optional<Handle> handle, const QString &error)>;
    // Nothing on success, else the reason.
    using Released = std::function<void(const QString &error)>;

    virtual ~KeepAwakeBackend() = default;
    virtual void acquire(KeepAwakeMeasure measure, const QString &reason, Granted done) = 0;
    virtual void release(KeepAwakeMeasure measure, Handle handle, Released done) = 0;

    // The backend every KeepAwake uses unless given one: the desktop's, over D-Bus.
    static KeepAwakeBackend &shared();
    // Puts another in its place (tests); nullptr restores the desktop's.
    static void setSharedForTesting(KeepAwakeBackend *backend);
};

// The desktop's measures over D-Bus. Without a bus (a build machine, a container) every request is
// refused at once with the bus's error.
class DBusKeepAwakeBackend : public QObject, public KeepAwakeBackend {
    Q_OBJECT

public:
    static constexpr int callTimeoutMs = 5000;

    explicit DBusKeepAwakeBackend(QObject *parent = nullptr);
    ~DBusKeepAwakeBackend() override;

    void acquire(KeepAwakeMeasure measure, const QString &reason, Granted done) override;
    void release(KeepAwakeMeasure measure, Handle handle, Released done) override;

private:
    // The logind inhibitor lasts as long as its file descriptor is open.
    QHash<Handle, int> m_sleepInhibitors;
    Handle m_nextHandle = 1;
};

// The measures one window holds while it is open. hold() asks for each measure that is neither held
// nor asked for already, so calling it again only retries what was refused; release() gives back what
// is held, and what is still being asked for is given back as soon as it is granted. Every step is
// reported to the log in the words of the viewer's trace.
class KeepAwake {
public:
    enum class State { released, requested, held };

    using Log = std::function<void(const QString &line)>;

    struct Reasons {
        QString systemSleep;
        QString displaySleep;
    };

    KeepAwake(Reasons reasons, Log log, KeepAwakeBackend *backend = nullptr);
    // Gives back what is held.
    ~KeepAwake();
    KeepAwake(const KeepAwake &) = delete;
    KeepAwake &operator=(const KeepAwake &) = delete;

    void hold();
    void release();

    // Where each measure stands, for tests of the hold and release.
    State stateForTesting(KeepAwakeMeasure measure) const;

private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
};
