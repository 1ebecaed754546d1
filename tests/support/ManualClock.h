#pragma once

#include "core/common/SteadyClock.h"

#include <QList>
#include <QMutex>
#include <QPointer>

#include <optional>

// A clock that stands still until the test moves it. What waits on it runs as the test moves the time
// past its due time, in order, in the thread of its context (at once when that is the test's thread).
class ManualClock final : public SteadyClock {
public:
    // Any time will do but the steady clock's epoch, which code may take for "never".
    ManualClock() : m_now(std::chrono::hours(1)) {}

    TimePoint now() const override;
    void callAfter(std::chrono::milliseconds delay, QObject *context, std::function<void()> fn) override;

    // Moves the time on by step, running each wait that falls due on the way at its due time.
    void advance(std::chrono::milliseconds step);
    // Moves the time on by step at once, then runs what fell due, late, as a busy event loop does.
    void jump(std::chrono::milliseconds step);
    // Moves the time to the earliest pending wait and runs what is due then; false when none waits.
    bool advanceToNext();
    // The due time of the earliest pending wait, if any.
    std::optional<TimePoint> nextDue() const;
    qsizetype pending() const;
    // How many waits have run (or were dropped because their context had gone).
    qsizetype ran() const;

private:
    struct Wait {
        TimePoint due;
        quint64 order;
        QPointer<QObject> context;
        std::function<void()> fn;
    };
    void runUntil(TimePoint target, bool late);

    mutable QMutex m_lock;
    TimePoint m_now;
    QList<Wait> m_waits;
    quint64 m_order = 0;
    qsizetype m_ran = 0;
};
