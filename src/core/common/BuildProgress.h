#pragma once

#include <QtGlobal>

#include <atomic>
#include <functional>

// The link between a long build running on a worker thread and the window waiting for it: the build
// reports how far it is, the window may ask it to stop. Both sides may call from any thread; the
// callback runs on the building thread.
class BuildProgress {
public:
    using Callback = std::function<void(qint64 done, qint64 total)>;

    explicit BuildProgress(Callback callback = {}) : m_callback(std::move(callback)) {}

    void cancel() { m_cancelled.store(true, std::memory_order_relaxed); }
    bool isCancelled() const { return m_cancelled.load(std::memory_order_relaxed); }

    void report(qint64 done, qint64 total) const
    {
        if (m_callback)
            m_callback(done, total);
    }

    // Builders of many titles also tell how many of the titles they will export are done, for a
    // count the user can follow. Set before the build starts.
    void setTitleCallback(Callback callback) { m_titleCallback = std::move(callback); }
    void reportTitles(qint64 done, qint64 total) const
    {
        if (m_titleCallback)
            m_titleCallback(done, total);
    }

private:
    Callback m_callback;
    Callback m_titleCallback;
    std::atomic<bool> m_cancelled{false};
};

// How many rows a builder of a library index works through between two looks at the cancel flag.
inline constexpr qsizetype cancelCheckRows = 4096;

// Builders take an optional BuildProgress; these spare them the null checks.
inline bool isCancelled(const BuildProgress *progress)
{
    return progress && progress->isCancelled();
}

inline void reportProgress(const BuildProgress *progress, qint64 done, qint64 total)
{
    if (progress)
        progress->report(done, total);
}

inline void reportTitles(const BuildProgress *progress, qint64 done, qint64 total)
{
    if (progress)
        progress->reportTitles(done, total);
}
