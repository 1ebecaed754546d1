#pragma once

#include <QCoreApplication>
#include <QObject>
#include <QPointer>
#include <QThreadPool>

#include <atomic>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

// Work on a worker thread whose result comes back to the UI thread (the application object's thread)
// for an object that may be gone by then.
//
// The guard on the receiver is made on the UI thread, where the receiver lives and dies, and checked
// there again before the call; the result travels through the application object, which outlives
// every receiver. A receiver destroyed in between simply gets no call. (QFuture::then with a context
// object would cancel silently in release builds and assert inside Qt in debug builds when the
// context dies first.)
namespace Hop {

// For tests that do what a user does while work is in flight (open a field, type) and then let the
// work land: while held, every call that would come back to the UI thread waits, in order, until the
// release posts them.
void holdLandingsForTesting();
void releaseLandingsForTesting();
int heldLandingsForTesting();

namespace detail {
extern std::atomic<bool> landingsHeld;
// Takes the call while the landings are held; false, leaving it, once they are not.
bool keepLanding(std::function<void()> &call);
} // namespace detail

// Made on the UI thread for one receiver; posts calls back to it from any thread.
class Receiver {
public:
    explicit Receiver(QObject *receiver) : m_receiver(receiver) {}

    // Calls fn() on the UI thread if the receiver still exists then; never inside this call.
    template <typename Fn> void post(Fn fn) const
    {
        QCoreApplication *app = QCoreApplication::instance();
        if (!app)
            return;
        auto call = [receiver = m_receiver, fn = std::move(fn)]() mutable {
            if (receiver)
                fn();
        };
        if (detail::landingsHeld.load(std::memory_order_relaxed)) {
            auto kept = std::make_shared<decltype(call)>(std::move(call));
            std::function<void()> landing = [kept] { (*kept)(); };
            if (!detail::keepLanding(landing))
                QMetaObject::invokeMethod(app, std::move(landing), Qt::QueuedConnection);
            return;
        }
        QMetaObject::invokeMethod(app, std::move(call), Qt::QueuedConnection);
    }

private:
    QPointer<QObject> m_receiver;
};

// Runs work() on pool and then done(result) (done() for work without a result) on the UI thread, if
// receiver still exists. Call it on the UI thread.
template <typename Work, typename Done>
void run(QObject *receiver, Work work, Done done, QThreadPool *pool = QThreadPool::globalInstance())
{
    const Receiver back(receiver);
    pool->start([back, work = std::move(work), done = std::move(done)]() mutable {
        if constexpr (std::is_void_v<std::invoke_result_t<Work &>>) {
            work();
            back.post(std::move(done));
        } else {
            back.post([done = std::move(done), result = work()]() mutable { done(std::move(result)); });
        }
    });
}

} // namespace Hop
