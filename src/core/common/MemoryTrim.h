#pragma once

#include <QThreadPool>

#include <chrono>
#include <memory>
#include <optional>
#include <tuple>
#include <utility>

// The memory a large free leaves with the allocator goes back to the system. glibc keeps freed memory
// for reuse: after a library of a million rows is replaced, or a metadata file of 100 MB is applied,
// the process would otherwise stay as large as it was at its peak.
namespace MemoryTrim {

// Sets the allocator up for large buffers taken again and again (page images, search results) and
// for large libraries that come and go; to be called first thing in main(), before any thread starts.
void configureAllocator();

// Gives the free memory of the allocator back to the system (malloc_trim on Linux), on a thread of its
// own, once no other request came for a second: a burst of work trims once, after it, and what a save
// still held is then mostly freed too (a later request, such as the one after the library's indexes are
// made again, catches the rest).
void release();

// Returns once every request made so far is done, with the work of the global thread pool that may
// still ask for one (tests and benchmarks).
void waitForPendingReleases();

// Tests that wait for the releases shorten the quiet second; the application never calls this.
void setQuietTimeForTesting(std::chrono::milliseconds quiet);

// While one lives, a free that leaves the end of an arena free gives that end back to the system at
// once, whatever its size; between them, up to 32 MB may stay with each arena for the next large block.
// For the leftovers of a large library, whose rows lie in the arenas of the several threads that read
// them.
class FreeingScope {
public:
    FreeingScope();
    ~FreeingScope();
    FreeingScope(const FreeingScope &) = delete;
    FreeingScope &operator=(const FreeingScope &) = delete;
};

// Frees leftovers on a worker, for what the UI thread should not spend its time freeing, and then asks
// for the memory back.
template <typename... Leftovers> void freeInBackground(Leftovers &&...leftovers)
{
    auto held = std::make_shared<std::optional<std::tuple<std::decay_t<Leftovers>...>>>(
        std::in_place, std::forward<Leftovers>(leftovers)...);
    QThreadPool::globalInstance()->start([held = std::move(held)] {
        {
            const FreeingScope freeing;
            held->reset();
        }
        release();
    });
}

// Keeps held reachable until the process ends (main thread only).
void keepReachable(std::shared_ptr<void> held);

// Leaves leftovers to the end of the process, whose end gives their memory back at once: for a quit,
// once every save is written, where freeing a million rows one by one would hold it for a second or
// two. They stay reachable, so that LeakSanitizer does not count them as leaked.
template <typename... Leftovers> void keepToTheEnd(Leftovers &&...leftovers)
{
    keepReachable(
        std::make_shared<std::tuple<std::decay_t<Leftovers>...>>(std::forward<Leftovers>(leftovers)...));
}

} // namespace MemoryTrim
