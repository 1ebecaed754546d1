#include "core/metadata/NetworkThrottle.h"

#include "core/common/SteadyClock.h"

#include <QMutex>
#include <QPointer>

#include <algorithm>

namespace {

using TimePoint = SteadyClock::TimePoint;

struct ThrottleState {
    QMutex lock;
    SteadyClock *clock = &SteadyClock::system();
    // The reserved start of the latest request, and the time the latest request went; the distant past
    // lets the first one pass at once.
    TimePoint lastStart = TimePoint::min();
    TimePoint lastWent = TimePoint::min();
    std::chrono::milliseconds gap = NetworkThrottle::defaultMinimumGap;
};

ThrottleState &state()
{
    static ThrottleState instance;
    return instance;
}

TimePoint gapAfter(TimePoint last, std::chrono::milliseconds gap)
{
    return last == TimePoint::min() ? last : last + gap;
}

TimePoint reserveStart()
{
    ThrottleState &s = state();
    QMutexLocker locker(&s.lock);
    const TimePoint start =
        std::max({s.clock->now(), gapAfter(s.lastStart, s.gap), gapAfter(s.lastWent, s.gap)});
    s.lastStart = start;
    return start;
}

// A request goes at its reserved start, and a gap after the one that went before it: timers that a
// busy event loop runs late, several in one pass, would otherwise let their requests go together. A
// timer that wakes a little early after rounding waits for the rest as well.
void proceedAt(TimePoint start, QPointer<QObject> context, std::function<void()> proceed)
{
    if (!context)
        return;
    ThrottleState &s = state();
    QMutexLocker locker(&s.lock);
    SteadyClock &clock = *s.clock;
    const TimePoint now = clock.now();
    const auto remaining =
        std::chrono::ceil<std::chrono::milliseconds>(std::max(start, gapAfter(s.lastWent, s.gap)) - now);
    if (remaining.count() <= 0) {
        s.lastWent = now;
        locker.unlock();
        proceed();
        return;
    }
    locker.unlock();
    clock.callAfter(remaining, context.data(), [start, context, proceed = std::move(proceed)]() mutable {
        proceedAt(start, context, std::move(proceed));
    });
}

} // namespace

namespace NetworkThrottle {

void waitMusicBrainz(QObject *context, std::function<void()> proceed)
{
    const TimePoint start = reserveStart();
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

void setClockForTesting(SteadyClock *clock)
{
    ThrottleState &s = state();
    QMutexLocker locker(&s.lock);
    s.clock = clock ? clock : &SteadyClock::system();
    s.lastStart = TimePoint::min();
    s.lastWent = TimePoint::min();
}

void resetForTesting()
{
    ThrottleState &s = state();
    QMutexLocker locker(&s.lock);
    s.clock = &SteadyClock::system();
    s.lastStart = TimePoint::min();
    s.lastWent = TimePoint::min();
    s.gap = defaultMinimumGap;
}

} // namespace NetworkThrottle
