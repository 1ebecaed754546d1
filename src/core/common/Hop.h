#pragma once

#include <QCoreApplication>
#include <QObject>
#include <QPointer>
#include <QThreadPool>

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
        QMetaObject::invokeMethod(
            app,
            [receiver = m_receiver, fn = std::move(fn)]() mutable {
                if (receiver)
                    fn();
            },
            Qt::QueuedConnection);
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
