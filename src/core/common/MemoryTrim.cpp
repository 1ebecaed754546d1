#include "core/common/MemoryTrim.h"

#include <QList>
#include <QThread>
#include <QThreadPool>

#include <atomic>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace MemoryTrim {

namespace {

// A trim waits for the work that asks for it to pause this long: in the middle of it, a trim would hold
// up its allocations and give back memory that it is about to take again.
constexpr unsigned long quietMilliseconds = 1000;

// One thread: the requests wait one after the other, holding up no other work.
QThreadPool &trimmer()
{
    static QThreadPool *const pool = [] {
        auto *made = new QThreadPool;
        made->setMaxThreadCount(1);
        return made;
    }();
    return *pool;
}

// Counts the requests: only the last one trims.
std::atomic<quint64> requests{0};

} // namespace

void configureAllocator()
{
#ifdef __GLIBC__
    // A fixed threshold keeps glibc from raising it to the size of every large block freed: the lists
    // and hash tables of a large library would then be taken from the arenas instead of mapped apart,
    // and the small allocations around them would keep their pages from ever going back.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
}

void release()
{
    const quint64 request = ++requests;
    trimmer().start([request] {
        // A later request waits and trims after this one: the requests queued behind each other must
        // not add their quiet seconds up.
        if (requests != request)
            return;
        QThread::msleep(quietMilliseconds);
        if (requests != request)
            return; // a later request trims after this one
#ifdef __GLIBC__
        malloc_trim(0);
#endif
    });
}

void keepReachable(std::shared_ptr<void> held)
{
    static auto *const kept = new QList<std::shared_ptr<void>>;
    kept->append(std::move(held));
}

void waitForPendingReleases()
{
    // What the workers still free asks for its release when it is done.
    while (trimmer().activeThreadCount() > 0 || QThreadPool::globalInstance()->activeThreadCount() > 0) {
        QThreadPool::globalInstance()->waitForDone();
        trimmer().waitForDone();
    }
}

} // namespace MemoryTrim
