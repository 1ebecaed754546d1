#include "core/metadata/NetworkThrottle.h"

#include <QMutex>
#include <QPointer>
#include <QTimer>

namespace {

using Clock = std::chrono::steady_clock;

struct ThrottleState {
    QMutex lock;
    // The reserved start of the latest request; the distant past lets the first one pass at once.
    Clock::time_point lastStart = Clock::time_point::min();
    std::chrono::milliseconds gap = NetworkThrottle::defaultMinimumGap;
};

ThrottleState &state()
{
    static ThrottleState instance;
    return instance;
}

Clock::time_point reserveStart()
{
    ThrottleState &s = state();
    QMutexLocker locker(&s.lock);
    const Clock::time_point now = Clock::now();
    Clock::time_point start = now;
    if (s.lastStart != Clock::time_point::min() && s.lastStart + s.gap > now)
        start = s.lastStart + s.gap;
    s.lastStart = start;
    return start;
}

// A timer may wake a little early after rounding: it then waits for the rest.
void proceedAt(Clock::time_point start, QPointer<QObject> context, std::function<void()> proceed)
{
    if (!context)
        return;
    const auto remaining = std::chrono::ceil<std::chrono::milliseconds>(start - Clock::now());
    if (remaining.count() <= 0) {
        proceed();
        return;
    }
    QTimer::singleShot(remaining, Qt::PreciseTimer, context.data(),
                       [start, context, proceed = std::move(proceed)]() mutable {
                           proceedAt(start, context, std::move(proceed));
                       });
}

} // namespace

namespace NetworkThrottle {

void waitMusicBrainz(QObject *context, std::function<void()> proceed)
{
    const Clock::time_point start = reserveStart();
    // Queued even when no wait is needed, so that proceed never runs inside the caller.
    QMetaObject::invokeMethod(
        context,
        [start, context = QPointer<QObject>(context), proceed = std::move(proceed)]() mutable {
            proceedAt(start, context, std::move(proceed));
        },
        Qt::QueuedConnection);
}

std::chrono::milliseconds minimumGap()
{
    ThrottleState &s = state();
    QMutexLocker locker(&s.lock);
    return s.gap;
}

void setMinimumGapForTesting(std::chrono::milliseconds gap)
{
    ThrottleState &s = state();
    QMutexLocker locker(&s.lock);
    s.gap = gap;
}

void resetForTesting()
{
    ThrottleState &s = state();
    QMutexLocker locker(&s.lock);
    s.lastStart = Clock::time_point::min();
    s.gap = defaultMinimumGap;
}

} // namespace NetworkThrottle
