#pragma once

#include <QObject>

#include <chrono>
#include <functional>

class SteadyClock;

// The process-wide gate that keeps the starts of web requests to the metadata services at least
// minimumGap() apart. Waiting uses a timer in the caller's thread; no thread ever sleeps.
namespace NetworkThrottle {

inline constexpr std::chrono::milliseconds defaultMinimumGap{1150};

// Calls proceed in context's thread once a request may start, and never before the current call
// returns. Each call reserves its own start time, so callers that wait at the same moment are spaced
// as well. Nothing is called when context is destroyed first. context must live in a thread that
// runs an event loop.
void waitMusicBrainz(QObject *context, std::function<void()> proceed);

std::chrono::milliseconds minimumGap();

// Tests shorten the gap, or keep the spacing on a clock of their own (nullptr: the system's again;
// either forgets the last start). The reset restores the usual gap and clock and forgets the last
// start, so that the next request passes at once. The application never calls these.
void setMinimumGapForTesting(std::chrono::milliseconds gap);
void setClockForTesting(SteadyClock *clock);
void resetForTesting();

} // namespace NetworkThrottle
