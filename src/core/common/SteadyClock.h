#pragma once

#include <QObject>

#include <chrono>
#include <functional>

// The time that the product's spacings and deadlines are kept on. The application runs on the steady
// clock and Qt's timers; a test puts in a clock of its own that moves only when the test moves it, so
// that a wait is checked to the millisecond and a slow machine cannot fail it.
class SteadyClock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    virtual ~SteadyClock() = default;

    virtual TimePoint now() const = 0;
    // Calls fn in context's thread once delay has passed on this clock, never inside this call, and
    // not at all when context is destroyed first. Any thread may ask; context's thread must run an event
    // loop.
    virtual void callAfter(std::chrono::milliseconds delay, QObject *context, std::function<void()> fn) = 0;

    // std::chrono::steady_clock with Qt's precise timers.
    static SteadyClock &system();
};

// A single-shot timer on a SteadyClock, for an object whose waits tests drive.
class ClockTimer : public QObject {
    Q_OBJECT

public:
    explicit ClockTimer(SteadyClock &clock, QObject *parent = nullptr);

    // Starts again when running: only the latest start times out.
    void start(std::chrono::milliseconds interval);
    void stop();
    bool isActive() const { return m_active; }

Q_SIGNALS:
    void timeout();

private:
    SteadyClock &m_clock;
    quint64 m_started = 0;
    bool m_active = false;
};
