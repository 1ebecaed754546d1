#include "core/common/MemoryTrim.h"

#include <QList>
#include <QThread>
#include <QThreadPool>

#include <atomic>
#include <mutex>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace MemoryTrim {

namespace {

// A trim waits for the work that asks for it to pause this long: in the middle of it, a trim would hold
// up its allocations and give back memory that it is about to take again.
std::atomic<unsigned long> quietMilliseconds{1000};

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

// The mmap and trim thresholds the allocator is set up with.
constexpr int threshold = 32 * 1024 * 1024;
std::atomic<bool> configured{false};

// The leftovers being freed now, under the lock that sets the threshold by them.
std::mutex freeingLock;
int freeing = 0;

} // namespace

FreeingScope::FreeingScope()
{
#ifdef __GLIBC__
    if (!configured)
        return;
    std::lock_guard lock(freeingLock);
    if (freeing++ == 0)
        mallopt(M_TRIM_THRESHOLD, 0);
#endif
}

FreeingScope::~FreeingScope()
{
#ifdef __GLIBC__
    if (!configured)
        return;
    std::lock_guard lock(freeingLock);
    if (--freeing == 0)
        mallopt(M_TRIM_THRESHOLD, threshold);
#endif
}

void configureAllocator()
{
#ifdef __GLIBC__
    // Both thresholds fixed at 32 MB, the largest mmap threshold glibc takes. A block below it (a page
    // image, a zoomed one, the rows of a search that matched 100,000) comes from the heap, and once freed
    // it is taken again without new pages, as glibc's adaptive thresholds would after their first free.
    // Those would also raise the trim threshold to twice the mmap threshold, up to 64 MB; what a thread's
    // arena has free at its end stays below it, and malloc_trim() does not give that back (it releases
    // the free pages inside every arena, but the end of the main one only), so that every arena a large
    // library passed through could keep 64 MB.
    mallopt(M_MMAP_THRESHOLD, threshold);
    mallopt(M_TRIM_THRESHOLD, threshold);
    configured = true;
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

void setQuietTimeForTesting(std::chrono::milliseconds quiet)
{
    quietMilliseconds = static_cast<unsigned long>(quiet.count());
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
