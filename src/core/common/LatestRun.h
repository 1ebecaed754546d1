#pragma once

#include "core/common/Hop.h"

#include <functional>
#include <utility>

// A piece of work that is asked for again and again (a listing after each change of the library), run
// on a worker one at a time for a receiver on the UI thread: asked for while it runs, it runs once more
// afterwards and only that result is shown. A burst of changes costs two runs and never shows an
// outdated result. Owned by the receiver; main thread only.
template <typename T> class LatestRun {
public:
    // Makes the work when it is about to run, from the state of that moment; the work runs on a worker.
    using MakeWork = std::function<std::function<T()>()>;
    using Show = std::function<void(T)>;

    explicit LatestRun(QObject *receiver) : m_receiver(receiver) {}

    void start(MakeWork makeWork, Show show)
    {
        if (m_running) {
            m_next = {std::move(makeWork), std::move(show)};
            return;
        }
        m_running = true;
        Hop::run(m_receiver, makeWork(), [this, show = std::move(show)](T result) {
            m_running = false;
            if (m_next.first) {
                auto next = std::exchange(m_next, {});
                start(std::move(next.first), std::move(next.second));
                return;
            }
            show(std::move(result));
        });
    }

private:
    QObject *m_receiver;
    bool m_running = false;
    std::pair<MakeWork, Show> m_next;
};
