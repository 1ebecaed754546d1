#include "core/common/MemoryTrim.h"

#include <QThreadPool>

#include <atomic>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace MemoryTrim {

namespace {

// One thread: the requests run one after the other, and a wait in one holds up no other work.
QThreadPool &trimmer()
{
    static QThreadPool *const pool = [] {
        auto *made = new QThreadPool;
        made->setMaxThreadCount(1);
        return made;
    }();
    return *pool;
}

// Requests queued and not yet past their first().
std::atomic<int> pending{0};

} // namespace

void release(std::function<void()> first)
{
    ++pending;
    trimmer().start([first = std::move(first)] {
        if (first)
            first();
        // Only the last of a burst trims: whatever the others freed was freed before it.
        if (--pending > 0)
            return;
#ifdef __GLIBC__
        malloc_trim(0);
#endif
    });
}

void waitForPendingReleases()
{
    // What the workers still free asks for its release when it is done.
    while (pending > 0 || QThreadPool::globalInstance()->activeThreadCount() > 0) {
        trimmer().waitForDone();
        QThreadPool::globalInstance()->waitForDone();
    }
}

} // namespace MemoryTrim
