#include "core/common/SteadyClock.h"

#include <QTimer>

namespace {

class SystemClock final : public SteadyClock {
public:
    TimePoint now() const override { return std::chrono::steady_clock::now(); }

    void callAfter(std::chrono::milliseconds delay, QObject *context, std::function<void()> fn) override
    {
        QTimer::singleShot(std::max(delay, std::chrono::milliseconds(0)), Qt::PreciseTimer, context,
                           std::move(fn));
    }
};

} // namespace

SteadyClock &SteadyClock::system()
{
    static SystemClock clock;
    return clock;
}

ClockTimer::ClockTimer(SteadyClock &clock, QObject *parent) : QObject(parent), m_clock(clock) {}

void ClockTimer::start(std::chrono::milliseconds interval)
{
    const quint64 started = ++m_started;
    m_active = true;
    m_clock.callAfter(interval, this, [this, started] {
        if (!m_active || started != m_started)
            return;
        m_active = false;
        Q_EMIT timeout();
    });
}

void ClockTimer::stop()
{
    m_active = false;
}
