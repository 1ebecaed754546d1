#include "ManualClock.h"

#include <QThread>

#include <algorithm>

ManualClock::TimePoint ManualClock::now() const
{
    QMutexLocker locker(&m_lock);
    return m_now;
}

void ManualClock::callAfter(std::chrono::milliseconds delay, QObject *context, std::function<void()> fn)
{
    QMutexLocker locker(&m_lock);
    m_waits.append(
        Wait{m_now + std::max(delay, std::chrono::milliseconds(0)), m_order++, context, std::move(fn)});
}

void ManualClock::advance(std::chrono::milliseconds step)
{
    runUntil(now() + step, false);
}

void ManualClock::jump(std::chrono::milliseconds step)
{
    runUntil(now() + step, true);
}

bool ManualClock::advanceToNext()
{
    const std::optional<TimePoint> due = nextDue();
    if (!due)
        return false;
    runUntil(*due, false);
    return true;
}

std::optional<ManualClock::TimePoint> ManualClock::nextDue() const
{
    QMutexLocker locker(&m_lock);
    const auto earliest =
        std::min_element(m_waits.cbegin(), m_waits.cend(), [](const Wait &a, const Wait &b) {
            return a.due < b.due || (a.due == b.due && a.order < b.order);
        });
    if (earliest == m_waits.cend())
        return std::nullopt;
    return earliest->due;
}

qsizetype ManualClock::pending() const
{
    QMutexLocker locker(&m_lock);
    return m_waits.size();
}

qsizetype ManualClock::ran() const
{
    QMutexLocker locker(&m_lock);
    return m_ran;
}

void ManualClock::runUntil(TimePoint target, bool late)
{
    if (late) {
        QMutexLocker locker(&m_lock);
        m_now = std::max(m_now, target);
    }
    for (;;) {
        QMutexLocker locker(&m_lock);
        const auto earliest =
            std::min_element(m_waits.begin(), m_waits.end(), [](const Wait &a, const Wait &b) {
                return a.due < b.due || (a.due == b.due && a.order < b.order);
            });
        if (earliest == m_waits.end() || earliest->due > target) {
            m_now = std::max(m_now, target);
            return;
        }
        Wait wait = std::move(*earliest);
        m_waits.erase(earliest);
        m_now = std::max(m_now, wait.due);
        ++m_ran;
        locker.unlock();
        // What runs may wait on the clock again; it does so without the lock.
        if (!wait.context)
            continue;
        if (wait.context->thread() == QThread::currentThread())
            wait.fn();
        else
            QMetaObject::invokeMethod(wait.context.data(), std::move(wait.fn), Qt::QueuedConnection);
    }
}
